// Debug log and assertions. Everything here works with fixed buffers and plain
// Windows calls, so that it can run before the string pool exists, while it
// creates its lock, and after it has been shut down.
#include "brisel/halvo.h"
#include "brisel/clock.h"
#include <commctrl.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <ctime>

namespace {

enum OPENMODE { OPEN_NEW, OPEN_KEEP, OPEN_HARD };

// The log's process-wide state; all of it zero at start unless noted.
HANDLE hLogFile = INVALID_HANDLE_VALUE;
char LogFileName[MAX_PATH];         // up to 259 characters
BOOL Logging;                       // a log file is open
BOOL DebugOutput;                   // lines also go to OutputDebugStringA
BOOL HardFlag;                      // the log file was opened with write-through
BOOL KeepFlag;                      // the log file was opened for appending
int LevelMask;                      // low 4 bits: highest level; higher bits: categories
BOOL NoAssert;                      // assertion boxes off
HANDLE hLogMutex;                   // created on the first log line
volatile LONG TimeBase = -1;        // ms since midnight of the first log line
char AppTitle[256] = "Halvo Application";
int Language;                       // 7: German assertion texts

const char DefaultLog[] = "logit.log";

HANDLE LogMutex()
{
    if (hLogMutex == NULL) {
        HANDLE h = CreateMutexA(NULL, FALSE, NULL);
        if (h != NULL && InterlockedCompareExchangePointer(&hLogMutex, h, NULL) != NULL)
            CloseHandle(h);          // another thread was first
    }
    return hLogMutex;
}

LONG MillisecondsOfDay(const SYSTEMTIME& st)
{
    return ((st.wHour * 60L + st.wMinute) * 60L + st.wSecond) * 1000L + st.wMilliseconds;
}

BOOL LevelPasses(int level)
{
    if ((level & 15) > (LevelMask & 15))
        return FALSE;
    int categories = level & ~15;
    return categories == 0 || (categories & LevelMask) != 0;
}

// Formats and writes one line; the caller has checked the level.
BOOL LogitV(const char* format, va_list args)
{
    HANDLE mutex = LogMutex();
    SYSTEMTIME st;
    CLOCK::LocalTime(st);
    LONG now = MillisecondsOfDay(st);
    InterlockedCompareExchange(&TimeBase, now, -1);
    if (!Logging && !DebugOutput)
        return FALSE;
    if (mutex == NULL)
        return FALSE;
    WaitForSingleObject(mutex, INFINITE);   // an abandoned mutex is ours as well

    LONG t = now - TimeBase;
    if (t < 0)
        t += 24L * 3600L * 1000L;           // the run went past midnight
    char buf[LOGIT_LINE_MAX];
    int prefix = _snprintf(buf, sizeof buf, "[%04ld.%02ld:%03lx] ", t / 1000, (t % 1000) / 10,
                           GetCurrentThreadId() & 0xFFFUL);
    size_t howmany = prefix;                 // bytes the whole line wants
    if (format == NULL)
        format = "<null>";
    if (strchr(format, '%') != NULL) {
        int rc = vsnprintf(buf + prefix, sizeof buf - prefix, format, args);
        if (rc < 0)
            howmany = sizeof buf;            // truncated (old runtimes say -1)
        else
            howmany += rc;
    } else {
        howmany += strlen(format);
        size_t n = howmany < sizeof buf - 1 ? howmany - prefix : sizeof buf - 1 - prefix;
        memcpy(buf + prefix, format, n);
        buf[prefix + n] = 0;
    }
    if (howmany < sizeof buf && howmany > 0 && buf[howmany - 1] == '\n') {
        if (howmany + 1 < sizeof buf && (howmany < 2 || buf[howmany - 2] != '\r') ) {
            buf[howmany - 1] = '\r';
            buf[howmany++] = '\n';
            buf[howmany] = 0;
        } else if (howmany + 1 >= sizeof buf) {
            howmany = sizeof buf;            // no room for the CR
        }
    }
    BOOL fits = howmany < sizeof buf;
    size_t len = howmany;
    if (!fits) {
        // Cut the line and still end it, so the file stays one line per trace.
        len = sizeof buf - 1;
        buf[len - 2] = '\r';
        buf[len - 1] = '\n';
        buf[len] = 0;
    }
    if (hLogFile != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(hLogFile, buf, (DWORD)len, &written, NULL);
    }
    if (DebugOutput)
        OutputDebugStringA(buf);
    // The line is out before the report, so that it survives a "No".
    ASSERT(howmany < sizeof(buf));
    BOOL ok = ReleaseMutex(mutex);
    ASSERT(ok);
    return TRUE;
}

BOOL LogitF(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    BOOL rc = LogitV(format, args);
    va_end(args);
    return rc;
}

void CloseLog()
{
    HANDLE mutex = hLogMutex;
    if (mutex)
        WaitForSingleObject(mutex, INFINITE);
    if (hLogFile != INVALID_HANDLE_VALUE)
        CloseHandle(hLogFile);
    hLogFile = INVALID_HANDLE_VALUE;
    Logging = FALSE;
    LogFileName[0] = 0;
    if (mutex)
        ReleaseMutex(mutex);
}

void OpenLog(OPENMODE mode, const char* name)
{
    SYSTEMTIME st;
    CLOCK::LocalTime(st);
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, self, sizeof self);
    if (n >= sizeof self)
        n = 0;
    self[n] = 0;
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExA(self, GetFileExInfoStandard, &info))
        memset(&info, 0, sizeof info);

    char unique[64];
    if (name == NULL || *name == 0)
        name = DefaultLog;
    else if (_stricmp(name, "UNIQUE") == 0) {
        _snprintf(unique, sizeof unique, "LOGIT_%lu_%d.log", (unsigned long)CLOCK::Time(), (int)st.wMilliseconds);
        unique[sizeof unique - 1] = 0;
        name = unique;
    }

    CloseLog();
    if (strlen(name) >= sizeof LogFileName)
        return;                              // too long for a file name: logging stays off
    HANDLE h = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, NULL,
                           mode == OPEN_KEEP ? OPEN_ALWAYS : CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | (mode == OPEN_HARD ? FILE_FLAG_WRITE_THROUGH : 0), NULL);
    if (h == INVALID_HANDLE_VALUE)
        return;
    strcpy(LogFileName, name);
    hLogFile = h;
    HardFlag = mode == OPEN_HARD;
    KeepFlag = mode == OPEN_KEEP;
    Logging = TRUE;
    if (KeepFlag) {
        SetFilePointer(h, 0, NULL, FILE_END);
        LogitF("\n");                        // separator: the prefix alone
    }
    char date[64], time[64];
    CLOCK::DateText(st, date, sizeof date);
    CLOCK::TimeText(st, time, sizeof time);
    LogitF("START LOGGING at %s %s\n", date, time);

    ULARGE_INTEGER size, stamp;
    size.LowPart = info.nFileSizeLow;
    size.HighPart = info.nFileSizeHigh;
    stamp.LowPart = info.ftLastWriteTime.dwLowDateTime;
    stamp.HighPart = info.ftLastWriteTime.dwHighDateTime;
    time_t modified = stamp.QuadPart > 116444736000000000ULL
                    ? (time_t)((stamp.QuadPart - 116444736000000000ULL) / 10000000ULL) : 0;
    const char* when = ctime(&modified);
    LogitF("Running as %s %ld bytes, %s", self, (long)size.QuadPart, when ? when : "\n");
}

// "/LOGIT", "/LOGIT:" name: the word alone or followed by a colon.
BOOL MatchOpen(const char* text, const char* word, const char** name)
{
    size_t n = strlen(word);
    if (_strnicmp(text, word, n) != 0)
        return FALSE;
    if (text[n] == 0) {
        *name = NULL;
        return TRUE;
    }
    if (text[n] == ':') {
        *name = text + n + 1;
        return TRUE;
    }
    return FALSE;
}

// Frequency/duration pairs with 10 ms between them; a zero frequency is a pause.
void Beeps(const DWORD (*tones)[2], int count)
{
    for (int i = 0; i < count; i++) {
        if (i > 0)
            Sleep(10);
        if (tones[i][0] == 0)
            Sleep(tones[i][1]);
        else
            Beep(tones[i][0], tones[i][1]);
    }
}

} // namespace

BOOL Logit(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    BOOL rc = LogitV(format, args);
    va_end(args);
    return rc;
}

BOOL LogitLevel(int level, const char* format, ...)
{
    if (!LevelPasses(level))
        return FALSE;
    va_list args;
    va_start(args, format);
    BOOL rc = LogitV(format, args);
    va_end(args);
    return rc;
}

BOOL LogitSwitch(const char* text)
{
    if (text == NULL)
        return FALSE;
    const char* name;
    if (_stricmp(text, "/LOGITCLOSE") == 0) {
        CloseLog();
        return TRUE;
    }
    if (_stricmp(text, "/NOASSERT") == 0) {
        NoAssert = !NoAssert;
        return TRUE;
    }
    if (_stricmp(text, "/LOGDEBUG") == 0 || _stricmp(text, "/LOGDBG") == 0) {
        DebugOutput = TRUE;
        return TRUE;
    }
    if (_strnicmp(text, "/LOG:", 5) == 0) {
        LevelMask |= atoi(text + 5);
        if (!Logging)
            OpenLog(OPEN_NEW, NULL);
        return TRUE;
    }
    if (MatchOpen(text, "/LOGITKEEP", &name)) {
        OpenLog(OPEN_KEEP, name);
        return TRUE;
    }
    if (MatchOpen(text, "/LOGITHARD", &name)) {
        OpenLog(OPEN_HARD, name);
        return TRUE;
    }
    if (MatchOpen(text, "/LOGIT", &name)) {
        OpenLog(OPEN_NEW, name);
        return TRUE;
    }
    return FALSE;
}

void LogitHotkey(UINT message, WPARAM wparam, LPARAM lparam)
{
    (void)wparam;
    if (message != WM_NOTIFY || lparam == 0)
        return;
    const NMHDR* hdr = (const NMHDR*)lparam;
    if (hdr->code != LVN_KEYDOWN)
        return;
    if (GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_SHIFT) >= 0)
        return;
    static const DWORD rising[][2] = { {440, 200}, {660, 100}, {880, 100} };
    static const DWORD risingHard[][2] = { {440, 200}, {660, 100}, {880, 100}, {0, 100}, {880, 100} };
    static const DWORD falling[][2] = { {880, 100}, {660, 100}, {440, 100} };
    switch (((const NMLVKEYDOWN*)lparam)->wVKey) {
    case VK_F5:
        LogitSwitch("/LOGIT");
        Beeps(rising, 3);
        break;
    case VK_F6:
        LogitSwitch("/LOGITHARD");
        Beeps(risingHard, 5);
        break;
    case VK_F8:
        LogitSwitch("/LOGITCLOSE");
        Beeps(falling, 3);
        break;
    }
}

// The report's detail lines (at most 511 characters) in the language of the texts.
static void AssertDetail(char (&detail)[512], const char* text, const char* file, int line, DWORD error,
                         const char* info)
{
    char errtext[256] = "";
    if (error != 0)
        HalvoErrorText(error, errtext, sizeof errtext, "<no error>");
    if (file == NULL)
        file = "<null>";
    for (const char* p = file; *p; p++)
        if (*p == '/' || *p == ':' || *p == '\\')
            file = p + 1;
    int n = _snprintf(detail, sizeof detail,
        Language == 7 ? "    Bedingung: %s\r\n    Datei: %s Zeile %d\r\n    Code : %dL (%s)\r\n    Info : %s\r\n"
                      : "    Condition: %s\r\n    Location : %s line %d\r\n    Last Err.: %dL (%s)\r\n    Add. Info: %s\r\n",
        text ? text : "<null>", file, line, (int)error, errtext, info ? info : "<null>");
    if (n < 0 || n >= (int)sizeof detail) {
        // Cut, but keep the report's line end visible.
        strcpy(detail + sizeof detail - 6, "...\r\n");
    }
}

// Appends the report to "assert.log" in one write, so that reports of several
// threads do not interleave; left out when the file cannot be opened.
static void AppendAssertLog(const char* date, const char* time, const char* detail)
{
    HANDLE h = CreateFileA("assert.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return;
    char record[1024];
    int len = _snprintf(record, sizeof record, "--- %s --- %s %s ---\r\n\r\n%s\r\n\r\n", AppTitle, date, time, detail);
    if (len < 0 || len >= (int)sizeof record)
        len = sizeof record - 1;
    DWORD written;
    WriteFile(h, record, (DWORD)len, &written, NULL);
    CloseHandle(h);
}

// The question to the user; TRUE when the program may go on.
static BOOL AskGoOn(const char* time, const char* detail)
{
    char question[1536];
    _snprintf(question, sizeof question,
        Language == 7 ? "Es ist eine unerwartete Situation aufgetreten!\n\nBitte melden Sie die Umst\xE4nde des Fehlers und die folgenden\nInformationen an Halvo (siehe auch Datei assert.log):\n\n%s\nWollen Sie jetzt versuchen mit dem Programm fortzufahren?"
                      : "Unexpected condition encountered!\n\nPlease contact Halvo and provide the \nfollowing information (see assert.log):\n\n%s\nDo you want to try to continue with the program?",
        detail);
    question[sizeof question - 1] = 0;
    char caption[320];
    _snprintf(caption, sizeof caption, "%s / %s", AppTitle, time);
    caption[sizeof caption - 1] = 0;
    return MessageBoxA(NULL, question, caption, MB_ICONERROR | MB_YESNO) != IDNO;
}

BOOL Assert(BOOL condition, const char* text, const char* file, int line, const char* info, BOOL silent)
{
    if (condition)
        return TRUE;
    DWORD error = GetLastError();      // before anything else can change it
    char detail[512];
    AssertDetail(detail, text, file, line, error, info);
    Logit("*** ASSERTION FAILED: \r\n%s\n", detail);

    SYSTEMTIME st;
    CLOCK::LocalTime(st);
    char date[64], time[64];
    CLOCK::DateText(st, date, sizeof date);
    CLOCK::TimeText(st, time, sizeof time);
    AppendAssertLog(date, time, detail);

    if (NoAssert || silent || AskGoOn(time, detail))
        return TRUE;
    // "No" stops the program here: a debugger gets control, otherwise the process ends.
    if (IsDebuggerPresent())
        DebugBreak();
    TerminateProcess(GetCurrentProcess(), 3);
    return FALSE;
}

void HalvoErrorText(DWORD code, char* buf, int size, const char* none)
{
    if (size <= 0)
        return;
    char* text = NULL;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             NULL, code, 0, (LPSTR)&text, 0, NULL);
    if (n == 0 || text == NULL) {
        _snprintf(buf, size, "%s", none ? none : "");
        buf[size - 1] = 0;
        return;
    }
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n'))
        n--;
    if ((int)n >= size)
        n = size - 1;
    memcpy(buf, text, n);
    buf[n] = 0;
    LocalFree(text);
}

void HalvoSetAppTitle(const char* title)
{
    if (title == NULL)
        title = "";
    size_t n = strlen(title);
    if (n >= sizeof AppTitle)
        n = sizeof AppTitle - 1;
    memcpy(AppTitle, title, n);
    AppTitle[n] = 0;
}

const char* HalvoAppTitle() { return AppTitle; }
void HalvoSetLanguage(int language) { Language = language; }
int HalvoLanguage() { return Language; }
const char* HalvoLogFileName() { return LogFileName; }
BOOL HalvoLogging() { return Logging; }
int HalvoLevelMask() { return LevelMask; }
BOOL HalvoAssertBoxesOff() { return NoAssert; }

void HalvoResetState()
{
    CloseLog();
    DebugOutput = FALSE;
    HardFlag = FALSE;
    KeepFlag = FALSE;
    LevelMask = 0;
    NoAssert = FALSE;
    TimeBase = -1;
    HalvoSetAppTitle("Halvo Application");
    Language = 0;
}
