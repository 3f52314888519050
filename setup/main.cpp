// setup.exe: the process entry, setup main, the install run and the hooks.
#include "setup/main.h"
#include "setup/install.h"
#include "setup/uninstall.h"
#include "setup/order.h"
#include "setup/unattended.h"
#include "setup/installlog.h"
#include "setup/lang/resource.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/winmisc.h"
#include <shellapi.h>

KEYTABLE SETUP::Settings;
STRING SETUP::InstallMode("0");
STRING SETUP::DisplayName("");
STRING SETUP::InstallDir("");
STRING SETUP::ProgramGroup("");
FAILURES SETUP::Failures;
JOURNAL SETUP::Journal;
BOOL SETUP::FilesIn = FALSE;
SETUPHOOKFN SETUP::fpSetupHook = SETUP::SetupHookDefault;
NEWSETUPHOOK SETUP::fpNewSetupHook = SETUP::NewSetupHookDummy;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR parm, int show)
{
    return APP::WinMain(instance, previous, parm, show);
}

// ---------------------------------------------------------------- hooks

int WINAPI SETUP::SetupHookDefault(int, const char*)
{
    return 1;
}

int WINAPI SETUP::NewSetupHookDummy(int event, int value, HWND, HWND, INT_PTR, INT_PTR data)
{
    Logit("SETUP::NewSetupHookDummy %d %d %08x\n", event, value, (unsigned)(data & 0xFFFFFFFF));
    return 1;
}

void SETUP::CallSetupHook(int event, const char* text)
{
    if (fpSetupHook)
        fpSetupHook(event, text);
}

void SETUP::CallNewSetupHook(int event, int value, HWND first, HWND second, INT_PTR address, INT_PTR data)
{
    if (fpNewSetupHook)
        fpNewSetupHook(event, value, first, second, address, data);
}

HMODULE SETUP::LoadHookLibrary(const char* programpath)
{
    // Only the file beside the program: never the search path or the current folder.
    FILENAME file(DirectoryOf(programpath), "SETUPHOOK.DLL");
    if (!file.FileExists())
        return NULL;
    HMODULE library = LoadLibraryExA(file, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library)
        return NULL;
    SETUPHOOKFN old = (SETUPHOOKFN)(void*)GetProcAddress(library, "SetupHook");
    Assert(old ? TRUE : FALSE, "fpSetupHook", "setup/main", 74, NULL, FALSE);
    fpSetupHook = old;
    fpNewSetupHook = (NEWSETUPHOOK)(void*)GetProcAddress(library, "NewSetupHook");
    return library;
}

void SETUP::UnloadHookLibrary(HMODULE library)
{
    if (!library)
        return;
    FreeLibrary(library);
    fpSetupHook = NULL;
    fpNewSetupHook = NULL;
}

// ---------------------------------------------------------------- settings

void SETUP::ApplyLanguageVariants(KEYTABLE& table, const char* suffix)
{
    int n = suffix ? (int)strlen(suffix) : 0;
    STRINGARRAY* keys = table.GetKeys();
    if (!keys)
        return;
    for (int i = 0; i < keys->Count(); i++) {
        STRING key = *keys->Get(i);
        if (key.Pos(".") < 0)
            continue;
        if (n > 0 && key.Len() > n && key.Right(n) == suffix) {
            STRING value = table[key];
            table[key.Left(key.Len() - n)] = value;
        }
        table.Remove(key);
    }
    delete keys;
}

STRING SETUP::ReplaceAll(const STRING& text, const char* placeholder, const char* value)
{
    STRING s(text);
    if (s.IsNull())
        s = "";
    s.Replace(placeholder, value ? value : "", TRUE);
    return s;
}

STRINGARRAY SETUP::ListEntries(const STRING& list)
{
    STRINGARRAY entries;
    for (int i = 0;; i++) {
        STRING e = list.Word(i, "|");
        if (e.IsNull())
            break;
        if (e.Len() > 0)
            entries.Add(e);
    }
    return entries;
}

STRING SETUP::DefaultInstallDir(const STRING& installpath, const STRING& appname)
{
    if (installpath.Len() > 0 && installpath[0] == '*')
        return installpath.Mid(1, installpath.Len() - 1);
    STRING below = installpath.Len() > 0 ? installpath : appname;
    if (below.Len() == 0)
        return STRING("");
    return OSYS::GetWin32SystemPath(2) || below;
}

STRING SETUP::Caption(KEYTABLE& cfg)
{
    return ReplaceAll(OSYS::GetStringFromResource(IDS_SETUPCAPTION, APP::ResourceModule()), "Halvo",
                      cfg["AppName"]);
}

STRING SETUP::FinalMessage()
{
    return ReplaceAll(OSYS::GetStringFromResource(IDS_INSTALLDONE, APP::ResourceModule()), "$PROGRAM",
                      Settings["AppName"]);
}

STRING SETUP::UninstallBase()
{
    return STRING("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");
}

// ---------------------------------------------------------------- install run

const SETUPSTEP* SETUP::InstallSteps()
{
    static const SETUPSTEP steps[INSTALL_STEPS] = {
        {1, IDS_WELCOMEHEAD, IDS_WELCOMEDESC, IDD_INSTWELCOME, NULL, INSTALL::WelcomePage, 0},
        {2, IDS_LICENCEHEAD, IDS_LICENCEDESC, IDD_INSTLICENCE, NULL, INSTALL::LicencePage, 0},
        {3, IDS_DESTHEAD, IDS_DESTDESC, IDD_INSTDEST, NULL, INSTALL::DestinationPage, 0},
        {4, IDS_FILESHEAD, IDS_FILESDESC, IDD_INSTFILES, NULL, INSTALL::FilesPage, 0},
        {5, IDS_SHORTCUTSHEAD, IDS_SHORTCUTSDESC, IDD_INSTSHORTCUTS, NULL, INSTALL::ShortcutsPage, 0},
        {6, IDS_ADVERTHEAD, IDS_ADVERTDESC, IDD_INSTADVERT, NULL, INSTALL::AdvertPage, 0},
        {7, IDS_FINISHHEAD, IDS_FINISHDESC, IDD_INSTFINISH, NULL, INSTALL::FinishPage, 0},
    };
    return steps;
}

// Cancel after the files are in: the user may keep the product or have it
// removed again, as if this run had never started.
static void KeepOrUndo(HWND owner)
{
    if (!SETUP::FilesIn || SETUP::Journal.Empty())
        return;
    STRING question = SETUP::ReplaceAll(OSYS::GetStringFromResource(IDS_ASKKEEP, APP::ResourceModule()),
                                        "$PROGRAM", SETUP::Settings["AppName"]);
    if (MessageYesNo(owner, SETUP::Caption(SETUP::Settings), question))
        return;
    SETUP::Failures.Clear();
    SETUP::Journal.Undo(SETUP::Failures);
    SETUP::FilesIn = FALSE;
}

BOOL SETUP::ReadSettings()
{
    if (!Settings.LoadFromFile("setup.cfg"))
        return FALSE;
    STRING& appname = Settings["AppName"];
    if (appname.IsNull())
        appname = "";
    if (_stricmp(appname, "Vantor") == 0 && fpNewSetupHook == NewSetupHookDummy)
        fpNewSetupHook = NewSetupHookVantor;

    CallSetupHook(0, NULL);
    CallNewSetupHook(0, APP::Language(), NULL, NULL, 0, (INT_PTR)&Settings);
    ApplyLanguageVariants(Settings, OSYS::GetStringFromResource(IDS_LANGSUFFIX, APP::ResourceModule()));
    if (Settings["AppName"].IsNull())
        Settings["AppName"] = "";
    DisplayName = Settings["AppName"] || " " || Settings["AppVersion"];
    static const char* const texts[] = {"Advertise", "AskOverwrite", "ProtectedFiles"};
    for (const char* key : texts)
        if (Settings[key].IsNull())
            Settings[key] = "";
    return TRUE;
}

STRING SETUP::InstallFolder()
{
    // Opening creates the product's (empty) uninstall key.
    STRING previous;
    STRING inikey = Settings["IniKey"];
    if (inikey.Len() > 0) {
        REGISTRY reg(inikey, UninstallBase(), 0);
        char buffer[513] = "";
        DWORD size = 512;
        if (reg.Read("UninstallPath", buffer, size) && size > 0) {
            buffer[size < 512 ? size : 512] = 0;
            previous = buffer;
        }
    }
    if (previous.Len() > 0 && IsDirectory(previous))
        return previous;
    return DefaultInstallDir(Settings["InstallPath"], Settings["AppName"]);
}

void SETUP::EndInstall(BOOL completed)
{
    if (completed)
        CallSetupHook(1, InstallDir);
    CallNewSetupHook(1, completed, NULL, NULL, 0, Failures.Count());
    STRINGARRAY deletes = ListEntries(Settings["DeleteAfterExtract"]);
    for (int i = 0; i < deletes.Count(); i++) {
        STRING file = InstallDir || "\\" || *deletes.Get(i);
        if (completed)
            Failures.Delete(file);
        else
            DeletePath(file);
    }
}

int SETUP::InstallRun()
{
    const SETUPSTEP* steps = InstallSteps();
    HINSTANCE res = APP::ResourceModule();
    STRING caption = OSYS::GetStringFromResource(IDS_SETUPCAPTION, res);

    if (!ReadSettings()) {
        MessageError(NULL, caption, OSYS::GetStringFromResource(IDS_NOSETUPCFG, res));
        return 0;
    }
    STRING name = Settings["AppName"];
    STRING inikey = Settings["IniKey"];
    if (!UNATTENDED::Lock(inikey.Len() > 0 ? inikey : name, 0, name))
        return 0;
    InstallDir = InstallFolder();

    SETUPDIALOG* frame = new SETUPDIALOG(caption, OSYS::GetStringFromResource(IDS_ASKCONTINUESETUP, res), -1);
    caption = Caption(Settings);
    frame->SetText(caption);

    frame->SetSetupHook(fpNewSetupHook);
    int completed = frame->RunSteps(steps, INSTALL_STEPS, 7);
    if (!completed)
        KeepOrUndo(frame->Hwnd());
    EndInstall(completed);

    ShowWindow(frame->Hwnd(), SW_HIDE);
    // One box at the end for what could not be written or undone.
    if (!completed && !FilesIn)
        Failures.Show(NULL, caption, OSYS::GetStringFromResource(IDS_UNDOFAILED, res));
    else
        Failures.Show(NULL, caption, ReplaceAll(OSYS::GetStringFromResource(IDS_INSTALLINCOMPLETE, res),
                                                "$PROGRAM", name));
    UNATTENDED::Result(completed ? (Failures.Count() > 0 ? EXIT_NOTWRITTEN : EXIT_DONE) : EXIT_REFUSED);
    if (completed) {
        if (Failures.Count() == 0 && Settings["NoFinalPopup"].Atoi() == 0)
            MessageInfo(NULL, caption, FinalMessage());
        if (ProgramGroup.Len() > 0 && IsDirectory(ProgramGroup))
            ShellExecuteA(NULL, "open", ProgramGroup, NULL, ProgramGroup, SW_SHOW);
    }
    Journal.Clear();
    delete frame;
    return 0;
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
    HMODULE hooks = SETUP::LoadHookLibrary(argv[0]);

    int rc = 0;
    if (TestArgValue("ORDER", 0)) {
        rc = ORDER::OrderMain();
    } else if (!UNATTENDED::RemoveKey().IsNull() || TestArgValue("REMOVE", 0)) {
        rc = UninstallMain(argv[0]);
    } else if (UNATTENDED::Silent) {
        rc = UNATTENDED::Install();
    } else {
        SETUP::InstallRun();
    }
    SETUP::UnloadHookLibrary(hooks);
    UNATTENDED::Unlock();
    INSTALLLOG::Close();
    return rc;
}
