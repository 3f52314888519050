// setup.exe: setup main, which chooses the program the command line asks for
// (install, uninstall with REMOVE, order form with ORDER).
#pragma once

// Name and version under which setup loads its language module ("setup" + "english.dll" ...).
#define SETUP_APPNAME    "setup"
#define SETUP_APPVERSION "1.00"
