// The install run: setup.cfg, the seven-page wizard, and what follows it.
#include "setup/install/install.h"
#include "setup/frame/hooks.h"
#include "setup/frame/settings.h"
#include "setup/frame/unattended.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/registry.h"
#include "brisel/winmisc.h"
#include <shellapi.h>

int INSTALL::Mode = MODE_FRESH;
STRING INSTALL::DisplayName("");
STRING INSTALL::InstallDir("");
STRING INSTALL::ProgramGroup("");
JOURNAL INSTALL::Journal;
BOOL INSTALL::FilesIn = FALSE;

STRING INSTALL::DefaultInstallDir(const STRING& installpath, const STRING& appname)
{
    if (installpath.Len() > 0 && installpath[0] == '*')
        return installpath.Mid(1, installpath.Len() - 1);
    STRING below = installpath.Len() > 0 ? installpath : appname;
    if (below.Len() == 0)
        return STRING("");
    return OSYS::GetWin32SystemPath(SYSFOLDER_PROGRAMFILES) || below;
}

STRING INSTALL::FinalMessage()
{
    return SETUP::ReplaceAll(SETUP::Text(IDS_INSTALLDONE), "$PROGRAM",
                             SETUP::Settings["AppName"]);
}

const SETUPSTEP* INSTALL::Steps()
{
    static const SETUPSTEP steps[INSTALL_STEPS] = {
        {STEP_WELCOME, IDS_WELCOMEHEAD, IDS_WELCOMEDESC, IDD_INSTWELCOME, NULL, INSTALL::WelcomePage, 0},
        {STEP_LICENCE, IDS_LICENCEHEAD, IDS_LICENCEDESC, IDD_INSTLICENCE, NULL, INSTALL::LicencePage, 0},
        {STEP_DESTINATION, IDS_DESTHEAD, IDS_DESTDESC, IDD_INSTDEST, NULL, INSTALL::DestinationPage, 0},
        {STEP_FILES, IDS_FILESHEAD, IDS_FILESDESC, IDD_INSTFILES, NULL, INSTALL::FilesPage, 0},
        {STEP_SHORTCUTS, IDS_SHORTCUTSHEAD, IDS_SHORTCUTSDESC, IDD_INSTSHORTCUTS, NULL, INSTALL::ShortcutsPage, 0},
        {STEP_ADVERT, IDS_ADVERTHEAD, IDS_ADVERTDESC, IDD_INSTADVERT, NULL, INSTALL::AdvertPage, 0},
        {STEP_FINISH, IDS_FINISHHEAD, IDS_FINISHDESC, IDD_INSTFINISH, NULL, INSTALL::FinishPage, 0},
    };
    return steps;
}

// Cancel after the files are in: the user may keep the product or have it
// removed again, as if this run had never started.
static void KeepOrUndo(HWND owner)
{
    if (!INSTALL::FilesIn || INSTALL::Journal.Empty())
        return;
    STRING question = SETUP::ReplaceAll(SETUP::Text(IDS_ASKKEEP),
                                        "$PROGRAM", SETUP::Settings["AppName"]);
    if (MessageYesNo(owner, SETUP::Caption(SETUP::Settings), question))
        return;
    SETUP::Failures.Clear();
    INSTALL::Journal.Undo(SETUP::Failures);
    INSTALL::FilesIn = FALSE;
}

BOOL INSTALL::ReadSettings()
{
    KEYTABLE& cfg = SETUP::Settings;
    HINSTANCE res = APP::ResourceModule();
    if (!cfg.LoadFromFile("setup.cfg"))
        return FALSE;
    STRING& appname = cfg["AppName"];
    if (appname.IsNull())
        appname = "";
    if (_stricmp(appname, "Vantor") == 0 && HOOKS::fpNewSetupHook == HOOKS::NewSetupHookDummy)
        HOOKS::fpNewSetupHook = INSTALL::NewSetupHookVantor;

    HOOKS::CallSetupHook(HOOK_START, NULL);
    HOOKS::CallNewSetupHook(HOOK_START, APP::Language(), NULL, NULL, 0, (INT_PTR)&cfg);
    SETUP::ApplyLanguageVariants(cfg, OSYS::GetStringFromResource(IDS_LANGSUFFIX, res));
    STRING name = cfg["AppName"];
    INSTALL::DisplayName = (name.IsNull() ? STRING("") : name) || " " || cfg["AppVersion"];
    static const char* const texts[] = {"Advertise", "AskOverwrite", "ProtectedFiles"};
    for (const char* key : texts)
        if (cfg[key].IsNull())
            cfg[key] = "";
    return TRUE;
}

STRING INSTALL::InstallFolder()
{
    KEYTABLE& cfg = SETUP::Settings;
    STRING previous;
    STRING inikey = cfg["IniKey"];
    if (inikey.Len() > 0) {
        REGISTRY reg(inikey, SETUP::UninstallBase(), REGROOT_LOCALMACHINE);
        char buffer[513] = "";
        DWORD size = 512;
        if (reg.Read("UninstallPath", buffer, size) && size > 0) {
            buffer[size < 512 ? size : 512] = 0;
            previous = buffer;
        }
    }
    if (previous.Len() > 0 && IsDirectory(previous))
        return previous;
    STRING name = cfg["AppName"];
    return INSTALL::DefaultInstallDir(cfg["InstallPath"], name.IsNull() ? STRING("") : name);
}

void INSTALL::EndInstall(BOOL completed)
{
    KEYTABLE& cfg = SETUP::Settings;
    if (completed)
        HOOKS::CallSetupHook(HOOK_INSTALLED, INSTALL::InstallDir);
    HOOKS::CallNewSetupHook(HOOK_INSTALLED, completed, NULL, NULL, 0, SETUP::Failures.Count());
    STRINGARRAY deletes = SETUP::ListEntries(cfg["DeleteAfterExtract"]);
    for (int i = 0; i < deletes.Count(); i++) {
        STRING file = INSTALL::InstallDir || "\\" || *deletes.Get(i);
        if (completed)
            SETUP::Failures.Delete(file);
        else
            DeletePath(file);
    }
}

// After the wizard, with the frame hidden: the failed writes in one box.
static void EndWizard(HWND frame, BOOL completed, const STRING& caption)
{
    KEYTABLE& cfg = SETUP::Settings;
    INSTALL::EndInstall(completed);
    ShowWindow(frame, SW_HIDE);
    HINSTANCE res = APP::ResourceModule();
    if (!completed && !INSTALL::FilesIn)
        SETUP::Failures.Show(NULL, caption, OSYS::GetStringFromResource(IDS_UNDOFAILED, res));
    else
        SETUP::Failures.Show(NULL, caption, SETUP::ReplaceAll(OSYS::GetStringFromResource(IDS_INSTALLINCOMPLETE, res),
                                                              "$PROGRAM", cfg["AppName"]));
}

int INSTALL::Main()
{
    HINSTANCE res = APP::ResourceModule();
    if (!ReadSettings()) {
        MessageError(NULL, OSYS::GetStringFromResource(IDS_SETUPCAPTION, res),
                     OSYS::GetStringFromResource(IDS_NOSETUPCFG, res));
        return 0;
    }
    STRING name = SETUP::Settings["AppName"];
    STRING inikey = SETUP::Settings["IniKey"];
    if (!UNATTENDED::Lock(inikey.Len() > 0 ? inikey : name, 0, name))
        return 0;
    InstallDir = InstallFolder();
    SETUPDIALOG frame(OSYS::GetStringFromResource(IDS_SETUPCAPTION, res),
                      OSYS::GetStringFromResource(IDS_ASKCONTINUESETUP, res), -1);
    STRING caption = SETUP::Caption(SETUP::Settings);
    frame.SetText(caption);
    frame.SetSetupHook(HOOKS::fpNewSetupHook);
    BOOL completed = frame.RunSteps(Steps(), INSTALL_STEPS, STEP_FINISH);
    if (!completed)
        KeepOrUndo(frame.Hwnd());
    EndWizard(frame.Hwnd(), completed, caption);
    UNATTENDED::Result(completed ? (SETUP::Failures.Count() > 0 ? EXIT_NOTWRITTEN : EXIT_DONE) : EXIT_REFUSED);
    if (completed) {
        if (SETUP::Failures.Count() == 0 && SETUP::Settings["NoFinalPopup"].Atoi() == 0)
            MessageInfo(NULL, caption, FinalMessage());
        if (ProgramGroup.Len() > 0 && IsDirectory(ProgramGroup))
            ShellExecuteA(NULL, "open", ProgramGroup, NULL, ProgramGroup, SW_SHOW);
    }
    Journal.Clear();
    return 0;
}
