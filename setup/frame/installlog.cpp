// The install log.
#include "setup/frame/installlog.h"
#include "brisel/clock.h"
#include "brisel/locks.h"
#include "brisel/osys.h"
#include "brisel/strings.h"
#include <cstdarg>
#include <cstdio>
#include <map>
#include <string>

namespace {

HANDLE LogHandle = INVALID_HANDLE_VALUE;

// Workers write too: one line at a time.
CRITSECT& Lock()
{
    static CRITSECT lock;
    return lock;
}

} // namespace

BOOL INSTALLLOG::Open(const char* path)
{
    Close();
    if (!path || !*path)
        return FALSE;
    HANDLE h = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return FALSE;
    Lock().Enter();
    LogHandle = h;
    Lock().Leave();
    return TRUE;
}

void INSTALLLOG::Close()
{
    Lock().Enter();
    if (LogHandle != INVALID_HANDLE_VALUE)
        CloseHandle(LogHandle);
    LogHandle = INVALID_HANDLE_VALUE;
    Lock().Leave();
}

BOOL INSTALLLOG::IsOpen()
{
    return LogHandle != INVALID_HANDLE_VALUE;
}

void INSTALLLOG::Line(const char* format, ...)
{
    if (!IsOpen())
        return;
    char text[2048];
    SYSTEMTIME st;
    CLOCK::LocalTime(st);
    int n = snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u ", st.wYear, st.wMonth, st.wDay, st.wHour,
                     st.wMinute, st.wSecond);
    va_list args;
    va_start(args, format);
    int m = vsnprintf(text + n, sizeof text - n - 2, format, args);
    va_end(args);
    n += m < 0 ? 0 : m < (int)(sizeof text - n - 2) ? m : (int)(sizeof text - n - 3);
    // One line each, whatever the text holds.
    for (int i = 0; i < n; i++)
        if (text[i] == '\r' || text[i] == '\n')
            text[i] = ' ';
    text[n++] = '\r';
    text[n++] = '\n';
    Lock().Enter();
    DWORD written = 0;
    if (LogHandle != INVALID_HANDLE_VALUE)
        WriteFile(LogHandle, text, (DWORD)n, &written, NULL);
    Lock().Leave();
}

void INSTALLLOG::Folder(const char* path)
{
    Line("Folder created: %s", path);
}

void INSTALLLOG::File(const char* path, BOOL existed, BOOL written, const char* why)
{
    if (!written)
        Line("File kept: %s%s%s%s", path, why ? " (" : "", why ? why : "", why ? ")" : "");
    else
        Line("File %s: %s", existed ? "replaced" : "installed", path);
}

void INSTALLLOG::Value(const char* key, const char* name, const char* value)
{
    // A value written again (the uninstall entry is, after each archive) is
    // logged only when it changed.
    static std::map<std::string, std::string> logged;
    std::string where = std::string(key) + "\\" + name, what = value ? value : "";
    Lock().Enter();
    auto it = logged.find(where);
    BOOL same = it != logged.end() && it->second == what;
    logged[where] = what;
    Lock().Leave();
    if (!same)
        Line("Registry value: %s = %s", where.c_str(), what.c_str());
}

void INSTALLLOG::Shortcut(const char* path)
{
    Line("Shortcut created: %s", path);
}

void INSTALLLOG::Failure(const char* what, DWORD error)
{
    STRING text = OSYS::ErrorText((int)error);
    text.Strip('B', " \r\n");
    Line("FAILED: %s: error %lu %s", what ? what : "", (unsigned long)error, text.Str() ? text.Str() : "");
}

void INSTALLLOG::Default(const char* question, const char* answer)
{
    Line("Default taken: %s: %s", question, answer);
}
