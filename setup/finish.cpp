// Steps 6 and 7: the advertising page and the finish page.
#include "setup/install.h"
#include "setup/main.h"

int INSTALL::AdvertPage(SETUPDIALOG* frame, DATADIALOG*)
{
    return frame->Run();
}

int INSTALL::FinishPage(SETUPDIALOG* frame, DATADIALOG*)
{
    return frame->Run();
}
