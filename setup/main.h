// setup.exe: entry and main function.
#pragma once
#include "brisel/app.h"

// Name and version under which setup loads its language module ("setup" + "english.dll" ...).
#define SETUP_APPNAME    "setup"
#define SETUP_APPVERSION "1.00"
