// Step 5: program group and desktop shortcuts.
#include "setup/install.h"
#include "setup/main.h"

int INSTALL::ShortcutsPage(SETUPDIALOG* frame, DATADIALOG*)
{
    return frame->Run();
}
