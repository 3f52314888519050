// Step 4: the product's files, unpacked from its ZIP payload.
#include "setup/install.h"
#include "setup/main.h"

int INSTALL::FilesPage(SETUPDIALOG* frame, DATADIALOG*)
{
    return frame->Run();
}
