// Operating-system services.
#include "brisel/osys.h"
#include "brisel/clock.h"
#include "brisel/halvo.h"
#include "brisel/registry.h"
#include "brisel/strings.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

volatile LONGLONG StopwatchBase = -1;

unsigned Low32(const void* p)
{
    return (unsigned)(UINT_PTR)p;
}

const char ShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

struct SHELLFOLDER
{
    int Type;
    HKEY hRoot;
    const char* Key;
    const char* Value;
};

const SHELLFOLDER ShellFolders[] = {
    { SYSFOLDER_PROGRAMS, HKEY_CURRENT_USER, ShellFoldersKey, "Programs" },
    { SYSFOLDER_STARTUP, HKEY_CURRENT_USER, ShellFoldersKey, "Startup" },
    { SYSFOLDER_PROGRAMFILES, HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir" },
    { SYSFOLDER_APPDATA, HKEY_CURRENT_USER, ShellFoldersKey, "AppData" },
    { SYSFOLDER_PERSONAL, HKEY_CURRENT_USER, ShellFoldersKey, "Personal" },
    { SYSFOLDER_PICTURES, HKEY_CURRENT_USER, ShellFoldersKey, "My Pictures" },
    { SYSFOLDER_DESKTOP, HKEY_CURRENT_USER, ShellFoldersKey, "Desktop" },
    { SYSFOLDER_COMMONPROGRAMS, HKEY_LOCAL_MACHINE, ShellFoldersKey, "Common Programs" },
    { SYSFOLDER_COMMONSTARTMENU, HKEY_LOCAL_MACHINE, ShellFoldersKey, "Common Start Menu" },
};

// The value of a shell folder, environment variables expanded, with a
// trailing "\"; the Windows result.
LONG ReadShellFolder(const SHELLFOLDER& folder, STRING& path)
{
    HKEY key;
    LONG rc = RegOpenKeyExA(folder.hRoot, folder.Key, 0, KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    DWORD type = 0;
    std::string value;
    rc = REGISTRY::QueryValue(key, folder.Value, type, value);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_INVALID_DATA;
    if (value.c_str()[0] == 0)
        return ERROR_FILE_NOT_FOUND;         // an empty folder name is no folder
    DWORD need = ExpandEnvironmentStringsA(value.c_str(), NULL, 0);
    std::string expanded(need + 2, '\0');
    if (need == 0 || ExpandEnvironmentStringsA(value.c_str(), &expanded[0], need + 1) == 0)
        return ERROR_NOT_ENOUGH_MEMORY;
    expanded.resize(strlen(expanded.c_str()));
    if (expanded.empty() || expanded.back() != '\\')
        expanded += '\\';
    path = STRING(expanded.c_str());
    return ERROR_SUCCESS;
}

} // namespace

// ---- texts and errors ----

STRING OSYS::GetStringFromResource(int id, HINSTANCE module)
{
    char small[256];
    int n = LoadStringA(module, id, small, sizeof small);
    STRING result;
    if (n >= (int)sizeof small - 1) {
        // The buffer may have cut the text: ask again with room to spare.
        for (int size = 1024; size <= 65536; size *= 4) {
            char* big = (char*)malloc(size);
            if (big == NULL)
                break;
            n = LoadStringA(module, id, big, size);
            if (n < size - 1 || size == 65536)
                result = STRING(big);
            free(big);
            if (!result.IsNull())
                break;
        }
    }
    if (result.IsNull())
        result = STRING(n > 0 ? small : "<STR-ERR>");
    LogitLevel(12, "OSYS::GetStringFromResource %d returns %s\n", id, result.Str());
    return result;
}

STRING OSYS::ErrorText(int code)
{
    char text[256];
    HalvoErrorText(code == -4711 ? GetLastError() : (DWORD)code, text, sizeof text, "<no error>");
    return STRING(text);
}

// ---- shell folders ----

STRING OSYS::GetWin32SystemPath(int type)
{
    const SHELLFOLDER* folder = NULL;
    for (const SHELLFOLDER& f : ShellFolders)
        if (f.Type == type)
            folder = &f;
    if (folder == NULL) {
        ASSERT(FALSE);
        return STRING();
    }
    STRING result;
    LONG rc = ReadShellFolder(*folder, result);
    if (rc != ERROR_SUCCESS) {
        char info[48];
        _snprintf(info, sizeof info, "GetWin32SystemPath %d", type);
        info[sizeof info - 1] = 0;
        SetLastError(rc);
        ASSERTSILENT(rc==ERROR_SUCCESS, info);
        return STRING();
    }
    return result;
}

// ---- version ----

int OSYS::WindowsVersion()
{
    OSVERSIONINFOA vi;
    memset(&vi, 0, sizeof vi);
    vi.dwOSVersionInfoSize = sizeof vi;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&vi);
#pragma GCC diagnostic pop
    if (vi.dwPlatformId != VER_PLATFORM_WIN32_NT)
        return 0;
    return vi.dwMajorVersion == 5 ? 2 : 1;
}

// ---- clocks and dates ----

LONGLONG OSYS::Milliseconds(BOOL reset)
{
    SYSTEMTIME st;
    CLOCK::LocalTime(st);
    // Milliseconds since the start of the month; 64 bits, since day 25 and
    // later no longer fit in 32 signed bits.
    LONGLONG now = st.wDay * 86400000LL + st.wHour * 3600000LL + st.wMinute * 60000LL
                 + st.wSecond * 1000LL + st.wMilliseconds;
    LONGLONG base = StopwatchBase;
    if (reset || base < 0) {
        InterlockedExchange64(&StopwatchBase, now);
        return 0;
    }
    return now - base;
}

time_t OSYS::Time()
{
    return CLOCK::Time();
}

STRING OSYS::DateIso()
{
    SYSTEMTIME st;
    CLOCK::LocalTime(st);
    char buf[32];
    _snprintf(buf, sizeof buf, "%04d-%02d-%02d", st.wYear, st.wMonth, st.wDay);
    buf[sizeof buf - 1] = 0;
    return STRING(buf);
}

STRING OSYS::DateText()
{
    SYSTEMTIME st;
    CLOCK::LocalTime(st);
    char buf[64];
    CLOCK::DateText(st, buf, sizeof buf);
    return STRING(buf);
}

STRING OSYS::TimeText()
{
    SYSTEMTIME st;
    CLOCK::LocalTime(st);
    char buf[64];
    CLOCK::TimeText(st, buf, sizeof buf);
    return STRING(buf);
}

// ---- threads ----

HANDLE OSYS::CreateThread(LPTHREAD_START_ROUTINE function, LPVOID parameter)
{
    DWORD id;
    HANDLE h = ::CreateThread(NULL, 0x8000, function, parameter, 0, &id);
    Logit("OSYS::CreateThread returned %08x\n", Low32(h));
    return h;
}

BOOL OSYS::WaitThread(HANDLE hThread, int timeout)
{
    if (!ASSERT(hThread!=NULL))
        return FALSE;
    if (hThread == NULL)
        return FALSE;
    if (timeout != 0)
        Logit("OSYS::WaitThread hThread=%08x, timeout= %d\n", Low32(hThread), timeout);
    DWORD rc = WaitForSingleObject(hThread, timeout < 0 ? INFINITE : (DWORD)timeout);
    if (rc == WAIT_OBJECT_0) {
        CloseHandle(hThread);
        return TRUE;
    }
    if (timeout != 0)
        Logit("OSYS::WaitThread hThread=%08x timeout= %d failed\n", Low32(hThread), timeout);
    return FALSE;
}

void OSYS::Sleep(DWORD milliseconds)
{
    ::Sleep(milliseconds);
}
