// setup.exe: the process entry and setup main, which chooses the program.
#include "setup/main.h"
#include "setup/install/install.h"
#include "setup/uninstall/uninstall.h"
#include "setup/order/order.h"
#include "setup/frame/hooks.h"
#include "brisel/app.h"
#include "brisel/automate/automate.h"
#include "brisel/osysfile.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR parm, int show)
{
    AutomateRegister();
    return APP::WinMain(instance, previous, parm, show);
}

// ---------------------------------------------------------------- setup main

int AppMain(int /*argc*/, char** argv)
{
    LoadLanguageModule(argv[0], SETUP_APPNAME, SETUP_APPVERSION);
    if (TestArg("AUTODIR"))
        SetCurrentDirectoryA(DirectoryOf(argv[0]));
    HMODULE hooks = HOOKS::LoadHookLibrary(argv[0]);

    int rc = 0;
    if (TestArgValue("ORDER", 0)) {
        rc = ORDER::OrderMain();
    } else if (TestArgValue("REMOVE", 0)) {
        UninstallMain(argv[0]);
    } else {
        INSTALL::Main();
    }
    HOOKS::UnloadHookLibrary(hooks);
    return rc;
}
