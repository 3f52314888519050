// Unattended install and removal: switches, exit codes, the switches' box,
// the product's lock and the silent install.
#include "setup/unattended.h"
#include "setup/installlog.h"
#include "setup/install.h"
#include "setup/main.h"
#include "setup/unzipper.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/winmisc.h"
#include <commctrl.h>

BOOL UNATTENDED::Silent = FALSE;
BOOL UNATTENDED::Progress = FALSE;
BOOL UNATTENDED::AcceptLicence = FALSE;
BOOL UNATTENDED::NoShortcuts = FALSE;
BOOL UNATTENDED::RemoveAll = FALSE;
int UNATTENDED::Desktop = -1;
int UNATTENDED::AllUsers = -1;
STRING UNATTENDED::Dir;
STRING UNATTENDED::Group;
STRING UNATTENDED::LogFile;

static HANDLE ProductLock = NULL;

static STRING Res(int id)
{
    return OSYS::GetStringFromResource(id, APP::ResourceModule());
}

// ---------------------------------------------------------------- switches

// The switch text of an entry ("/x" or "-x" gives "x"), or NULL.
static const char* SwitchText(const STRING& entry)
{
    const char* a = entry.Str();
    return a && (a[0] == '/' || a[0] == '-') ? a + 1 : NULL;
}

BOOL UNATTENDED::Switch(const char* name, STRING* value)
{
    size_t len = strlen(name);
    for (int i = 1; i < APP::ArgCount(); i++) {
        const char* s = SwitchText(APP::Arg(i));
        if (!s || _strnicmp(s, name, len) != 0 || (s[len] != 0 && s[len] != ':'))
            continue;
        if (!value)
            return TRUE;
        if (s[len] == ':') {
            // A value in quotes may hold blanks, which split it into entries.
            STRING v(s + len + 1);
            if (v.Len() > 0 && v[0] == '"') {
                for (int j = i + 1; (v.Len() < 2 || v[v.Len() - 1] != '"') && j < APP::ArgCount(); j++)
                    v = v || " " || APP::Arg(j);
                v.Strip('B', "\"");
            }
            *value = v;
        } else if (APP::Arg(i)[0] == '-' && i + 1 < APP::ArgCount()) {
            *value = APP::Arg(i + 1);
        } else {
            *value = "";
        }
        return TRUE;
    }
    return FALSE;
}

STRING UNATTENDED::RemoveKey()
{
    // The n-th switch that begins with REMOVE is the one GetArgValue finds.
    int n = 0;
    for (int i = 1; i < APP::ArgCount(); i++) {
        const char* s = SwitchText(APP::Arg(i));
        if (!s || _strnicmp(s, "REMOVE", 6) != 0)
            continue;
        if (_stricmp(s, "REMOVEALL") != 0)
            return GetArgValue("REMOVE", n);
        n++;
    }
    return STRING();
}

// The switches of an unattended run; those with a value take it after ":".
static const struct { const char* name; BOOL value; } Ours[] = {
    {"SILENT", FALSE}, {"PROGRESS", FALSE}, {"ACCEPTLICENCE", FALSE}, {"ACCEPTLICENSE", FALSE},
    {"NOSHORTCUTS", FALSE}, {"DESKTOP", FALSE}, {"NODESKTOP", FALSE}, {"ALLUSERS", FALSE},
    {"CURRENTUSER", FALSE}, {"REMOVEALL", FALSE}, {"DIR", TRUE}, {"GROUP", TRUE}, {"INSTALLLOG", TRUE},
};

// The program's other switches, which begin like some of ours.
static const char* const Others[] = {"REMOVE", "ORDER", "FINAL", "AUTODIR", "SCRIPT", "NOASSERT", "LANG", "LOG"};

// A switch that is almost one of ours (one begins with the other) is a typing
// error that a silent run must not ignore.
static BOOL Misspelt(const char* s)
{
    STRING name(s);
    int colon = name.Pos(":");
    if (colon >= 0)
        name.Truncate(colon);
    for (const char* other : Others)
        if (_strnicmp(name, other, strlen(other)) == 0)
            return FALSE;
    BOOL alike = FALSE;
    for (const auto& o : Ours) {
        if (_stricmp(name, o.name) == 0)
            return FALSE;
        size_t n = name.Len() < (int)strlen(o.name) ? name.Len() : strlen(o.name);
        if (n > 0 && _strnicmp(name, o.name, n) == 0)
            alike = TRUE;
    }
    return alike;
}

BOOL UNATTENDED::ReadSwitches(STRING& why)
{
    Silent = Switch("SILENT");
    Progress = Switch("PROGRESS");
    AcceptLicence = Switch("ACCEPTLICENCE") || Switch("ACCEPTLICENSE");
    NoShortcuts = Switch("NOSHORTCUTS");
    RemoveAll = Switch("REMOVEALL");
    BOOL desktop = Switch("DESKTOP"), nodesktop = Switch("NODESKTOP");
    BOOL allusers = Switch("ALLUSERS"), currentuser = Switch("CURRENTUSER");
    Desktop = desktop ? 1 : nodesktop ? 0 : -1;
    AllUsers = allusers ? 1 : currentuser ? 0 : -1;
    Dir = STRING();
    Group = STRING();
    LogFile = STRING();
    why = "";
    const struct { const char* name; STRING* value; } values[] = {
        {"DIR", &Dir}, {"GROUP", &Group}, {"INSTALLLOG", &LogFile}};
    for (const auto& v : values) {
        if (Switch(v.name, v.value) && v.value->Len() == 0) {
            why = STRING("/") || v.name || " needs a value, as in /" || v.name || ":\"...\"";
            *v.value = STRING();
        }
    }
    if (why.Len() > 0)
        return FALSE;
    // A relative log file is meant where the administrator started setup,
    // not in the program's folder that start-up made current.
    if (LogFile.Len() > 0 && LogFile[0] != '\\' && LogFile[0] != '/' && LogFile.Pos(":") < 0)
        LogFile = APP::StartDirectory() || "\\" || LogFile;
    if (desktop && nodesktop)
        why = "/DESKTOP and /NODESKTOP contradict each other";
    else if (allusers && currentuser)
        why = "/ALLUSERS and /CURRENTUSER contradict each other";
    else if (Progress && !Silent)
        why = "/PROGRESS is for a silent run: /SILENT is missing";
    if (why.Len() > 0)
        return FALSE;
    for (int i = 1; i < APP::ArgCount(); i++) {
        const char* s = SwitchText(APP::Arg(i));
        if (s && Misspelt(s)) {
            why = STRING("unknown switch ") || APP::Arg(i);
            return FALSE;
        }
    }
    return TRUE;
}

STRING UNATTENDED::Forwarded()
{
    STRING more(" /SILENT");
    if (RemoveAll)
        more.Append(" /REMOVEALL");
    char lang[32];
    wsprintfA(lang, " /LANG:%d", APP::Language());
    more.Append(lang);
    if (LogFile.Len() > 0)
        more = more || " \"/INSTALLLOG:" || LogFile || "\"";
    return more;
}

void UNATTENDED::CheckLanguage()
{
    STRING lang = GetArgValue("LANG", 0);
    if (lang.IsNull())
        return;
    int code = APP::LanguageFromText(lang, 0);
    if (code != 7 && code != 9 && code != 12 && code != 14)
        INSTALLLOG::Line("Language %s is not known: English is used", lang.Str());
}

void UNATTENDED::ShowHelp()
{
    STRING text;
    for (int id = IDS_HELPFIRST; id <= IDS_HELPLAST; id++)
        text = text || Res(id);
    text.Replace("\\n", "\n", TRUE);
    MessageInfo(NULL, Res(IDS_SETUPCAPTION), text);
}

BOOL UNATTENDED::ReplaceOlder(uint32_t dostime, const char* file, const char* question)
{
    FILETIME local, archive;
    WIN32_FILE_ATTRIBUTE_DATA there;
    BOOL replace = TRUE;
    // DOS times are local times.
    if (DosDateTimeToFileTime(HIWORD(dostime), LOWORD(dostime), &local) && LocalFileTimeToFileTime(&local, &archive) &&
        GetFileAttributesExA(file, GetFileExInfoStandard, &there))
        replace = CompareFileTime(&there.ftLastWriteTime, &archive) <= 0;
    INSTALLLOG::Default(question, replace ? "Yes, the file there is not newer" : "No, the file there is newer");
    return replace;
}

// ---------------------------------------------------------------- the lock

BOOL UNATTENDED::Lock(const char* key, DWORD wait, const char* product)
{
    Unlock();
    // Every session of the machine: one install per product, whoever runs it.
    STRING name = STRING("Global\\Halvo Setup ") || (key ? key : "");
    name.Replace("\\", "/", TRUE);
    name.At(6) = '\\';
    HANDLE h = CreateMutexA(NULL, FALSE, name);
    if (!h)
        h = CreateMutexA(NULL, FALSE, name.Mid(7, name.Len() - 7));
    DWORD w = h ? WaitForSingleObject(h, wait) : WAIT_FAILED;
    Logit("UNATTENDED::Lock %s wait=%lu rc=%lu\n", name.Str(), (unsigned long)wait, (unsigned long)w);
    if (w == WAIT_OBJECT_0 || w == WAIT_ABANDONED) {
        ProductLock = h;
        return TRUE;
    }
    if (h)
        CloseHandle(h);
    STRING text = SETUP::ReplaceAll(Res(IDS_ALREADYRUNNING), "$PROGRAM", product && *product ? product : key);
    INSTALLLOG::Line("%s", text.Str());
    if (!Silent)
        MessageError(NULL, Res(IDS_SETUPCAPTION), text);
    return FALSE;
}

void UNATTENDED::Unlock()
{
    if (!ProductLock)
        return;
    ReleaseMutex(ProductLock);
    CloseHandle(ProductLock);
    ProductLock = NULL;
}

// ---------------------------------------------------------------- processes

int UNATTENDED::RunAndWait(const char* program, const char* arguments, const char* folder)
{
    STRING line = STRING("\"") || program || "\" " || arguments;
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    Logit("UNATTENDED::RunAndWait %s\n", line.Str());
    if (!CreateProcessA(NULL, &line.At(0), NULL, NULL, FALSE, 0, NULL, folder, &si, &pi)) {
        INSTALLLOG::Failure(program, GetLastError());
        return EXIT_NOTWRITTEN;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = EXIT_NOTWRITTEN;
    GetExitCodeProcess(pi.hProcess, &code);
    Logit("UNATTENDED::RunAndWait exit code %lu\n", (unsigned long)code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return (int)code;
}

int UNATTENDED::Result(int code)
{
    static const char* const meaning[] = {
        "done", "cancelled or refused", "bad command line", "settings missing or unreadable",
        "destination not usable", "installation files missing or damaged", "some files or settings not written",
        "another setup of the product is running"};
    INSTALLLOG::Line("Result: %d, %s", code, code >= 0 && code <= EXIT_RUNNING ? meaning[code] : "");
    return code;
}

// ---------------------------------------------------------------- silent install

// The small window of /PROGRESS: a caption, a line of text and the bar.
class PROGRESSWINDOW
{
public:
    explicit PROGRESSWINDOW(const char* caption)
        : Frame(WS_POPUP | WS_CAPTION, caption, 0, 0, 360, 96, NULL, 0), Text(NULL), Bar(NULL)
    {
        RECT r = Frame.GetClientRect();
        Text = CreateWindowExA(0, "STATIC", Res(IDS_FILESBUSY), WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 12, 10,
                               r.right - 24, 16, Frame, NULL, NULL, NULL);
        SendMessageA(Text, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), 0);
        Bar = new PROGRESSBAR(Frame, IDC_PLACEHOLDER);
        Bar->Move(12, 34, r.right - 24, 18);
        RECT w = Frame.GetRect();
        SetWindowPos(Frame, HWND_TOP, (GetSystemMetrics(SM_CXSCREEN) - (w.right - w.left)) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - (w.bottom - w.top)) / 2, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    }
    ~PROGRESSWINDOW() { delete Bar; }
    PROGRESSWINDOW(const PROGRESSWINDOW&) = delete;
    PROGRESSWINDOW& operator=(const PROGRESSWINDOW&) = delete;

    WINDOW Frame;
    HWND Text;
    PROGRESSBAR* Bar;
};

struct SILENTFILES
{
    PROGRESSBAR* bar;
    int failure;
};

static DWORD WINAPI SilentFiles(LPVOID parameter)
{
    SILENTFILES* job = (SILENTFILES*)parameter;
    job->failure = INSTALL::InstallFilesUnattended(job->bar);
    return 0;
}

// The files step on its worker; the progress window (when there is one) is
// kept alive meanwhile. The adapter's failure, FAIL_NONE when installed.
static int InstallFiles(PROGRESSWINDOW* window)
{
    SILENTFILES job = {window ? window->Bar : NULL, 0};
    HANDLE worker = OSYS::CreateThread(SilentFiles, &job);
    if (!worker)
        return INSTALL::InstallFilesUnattended(job.bar);
    for (;;) {
        DWORD rc = MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT);
        if (rc != WAIT_OBJECT_0 + 1)
            break;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    OSYS::WaitThread(worker, -1);
    return job.failure;
}

// The shortcuts page's choices: the wizard's presets unless a switch says otherwise.
static void MakeShortcuts(KEYTABLE& cfg)
{
    if (UNATTENDED::NoShortcuts) {
        INSTALLLOG::Line("No shortcuts: /NOSHORTCUTS");
        return;
    }
    BOOL reinstall = SETUP::InstallMode == "1";
    STRING offered;
    int setting = INSTALL::DesktopCandidate(cfg["StartmenuOpts"], cfg["DesktopIcon"], offered);
    BOOL startmenu = UNATTENDED::AllUsers >= 0 || !reinstall;
    if (UNATTENDED::AllUsers < 0)
        INSTALLLOG::Default("Shortcuts in the start menu", startmenu ? "for the current user" : "none, as for a reinstall");
    BOOL desktop = setting >= 2 && !reinstall;
    if (UNATTENDED::Desktop >= 0)
        desktop = UNATTENDED::Desktop == 1 && setting != 0;
    else if (setting != 0)
        INSTALLLOG::Default("Desktop shortcut", desktop ? "yes" : "no");
    if (UNATTENDED::Desktop == 1 && setting == 0)
        INSTALLLOG::Line("/DESKTOP: the product offers no desktop shortcut");
    STRING group = UNATTENDED::Group.IsNull() ? cfg["StartmenuName"] : UNATTENDED::Group;
    INSTALL::MakeShortcuts(group, startmenu, UNATTENDED::AllUsers == 1, desktop);
}

int UNATTENDED::Install()
{
    INSTALLLOG::Line("Silent install: %s", GetCommandLineA());
    if (!AcceptLicence) {
        INSTALLLOG::Line("The licence was not accepted: /ACCEPTLICENCE must be given with /SILENT");
        return Result(EXIT_REFUSED);
    }
    if (!SETUP::ReadSettings()) {
        INSTALLLOG::Line("setup.cfg is missing or unreadable in %s", CurrentDirectory().Str());
        return Result(EXIT_NOSETTINGS);
    }
    KEYTABLE& cfg = SETUP::Settings;
    STRING name = cfg["AppName"], key = cfg["IniKey"];
    if (!Lock(key.Len() > 0 ? key : name, 0, name))
        return Result(EXIT_RUNNING);
    INSTALLLOG::Line("Product: %s", SETUP::DisplayName.Str());

    // The welcome page's decision: an earlier installation of the product.
    STRING path, installed;
    if (key.Len() > 0) {
        REGISTRY reg(key, SETUP::UninstallBase(), 0);
        path = reg.ReadString("UninstallPath");
        installed = reg.ReadString("DisplayVersion");
    }
    BOOL enable222, enable223;
    SETUP::InstallMode = INSTALL::DecideMode(path, installed, cfg["AppVersion"], "0", &enable222, &enable223);
    int mode = SETUP::InstallMode.Atoi();
    if (mode > 0)
        INSTALLLOG::Line("%s %s is installed: %s", name.Str(), installed.Str(), mode == 1 ? "reinstall" : "update");

    // The destination page's: an update or reinstall stays where the earlier installation is.
    SETUP::InstallDir = SETUP::InstallFolder();
    if (mode == 0 && !Dir.IsNull())
        SETUP::InstallDir = Dir;
    else if (!Dir.IsNull() && _stricmp(Dir, SETUP::InstallDir) != 0)
        INSTALLLOG::Line("/DIR is not used: the earlier installation's folder is kept");
    STRING& dir = SETUP::InstallDir;
    while (dir.Len() > 0 && dir[dir.Len() - 1] == '\\')
        dir.Truncate(dir.Len() - 1);
    INSTALLLOG::Line("Destination: %s", dir.Str());
    STRING folder;
    int why = INSTALL::CheckDestination(dir, folder);
    if (why != 0) {
        STRING text = SETUP::ReplaceAll(SETUP::ReplaceAll(Res(why), "$FOLDER", folder), "$PROGRAM", name);
        INSTALLLOG::Line("The destination cannot be used: %s", text.Str());
        return Result(EXIT_BADDESTINATION);
    }
    if (mode != 1)
        INSTALLLOG::Line("Licence accepted on the command line");

    PROGRESSWINDOW* window = Progress ? new PROGRESSWINDOW(SETUP::Caption(cfg)) : NULL;
    int failure = InstallFiles(window);
    delete window;
    if (failure != 0) {
        SETUP::EndInstall(FALSE);
        SETUP::Journal.Clear();
        return Result(failure == UNZIPPER::FAIL_CANNOTWRITE ? EXIT_NOTWRITTEN : EXIT_BADPAYLOAD);
    }
    MakeShortcuts(cfg);
    SETUP::EndInstall(TRUE);
    SETUP::Journal.Clear();
    return Result(SETUP::Failures.Count() > 0 ? EXIT_NOTWRITTEN : EXIT_DONE);
}
