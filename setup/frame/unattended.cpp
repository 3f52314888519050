// Unattended install and removal: switches, exit codes, the switches' box
// and the product's lock.
#include "setup/frame/unattended.h"
#include "setup/frame/installlog.h"
#include "setup/frame/settings.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/winmisc.h"

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
        text = text || SETUP::Text(id);
    text.Replace("\\n", "\n", TRUE);
    MessageInfo(NULL, SETUP::Text(IDS_SETUPCAPTION), text);
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
    STRING text = SETUP::ReplaceAll(SETUP::Text(IDS_ALREADYRUNNING), "$PROGRAM", product && *product ? product : key);
    INSTALLLOG::Line("%s", text.Str());
    if (!Silent)
        MessageError(NULL, SETUP::Text(IDS_SETUPCAPTION), text);
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
