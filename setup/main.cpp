// setup.exe: the process entry and setup main, which chooses the program.
#include "setup/main.h"
#include "setup/install/install.h"
#include "setup/uninstall/uninstall.h"
#include "setup/order/order.h"
#include "setup/frame/hooks.h"
#include "setup/frame/installlog.h"
#include "setup/frame/unattended.h"
#include "brisel/app.h"
#include "brisel/automate/automate.h"
#include "brisel/halvo.h"
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
    if (TestArg("?")) {
        UNATTENDED::ShowHelp();
        return 0;
    }
    STRING why;
    BOOL usable = UNATTENDED::ReadSwitches(why);
    if (UNATTENDED::Silent)
        LogitSwitch("/NOASSERT");               // no box, ever
    if (!UNATTENDED::LogFile.IsNull())
        INSTALLLOG::Open(UNATTENDED::LogFile);
    UNATTENDED::CheckLanguage();
    if (!usable && UNATTENDED::Silent) {
        INSTALLLOG::Line("Bad command line: %s", why.Str());
        return UNATTENDED::Result(EXIT_BADCOMMANDLINE);
    }
    HMODULE hooks = HOOKS::LoadHookLibrary(argv[0]);

    int rc = 0;
    if (TestArgValue("ORDER", 0)) {
        rc = ORDER::OrderMain();
    } else if (!UNATTENDED::RemoveKey().IsNull() || TestArgValue("REMOVE", 0)) {
        rc = UninstallMain(argv[0]);
    } else if (UNATTENDED::Silent) {
        rc = INSTALL::Silent();
    } else {
        INSTALL::Main();
    }
    HOOKS::UnloadHookLibrary(hooks);
    UNATTENDED::Unlock();
    INSTALLLOG::Close();
    return rc;
}
