// Operating-system services, semaphores, critical sections and the registry.
#include "brisel/osys.h"
#include "brisel/halvo.h"
#include "brisel/strings.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The clock every local-time read goes through; tests and scripted runs replace it.
struct CLOCK
{
    volatile LONG mode;          // 0 system, 1 frozen, 2 running from an offset
    SYSTEMTIME fixed;
    LONGLONG offset;             // 100 ns units, for the running clock
} Clock;

volatile LONGLONG llStopwatchBase = -1;

LONGLONG FileTimeValue(const FILETIME& ft)
{
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    return (LONGLONG)u.QuadPart;
}

FILETIME FileTimeOf(LONGLONG v)
{
    ULARGE_INTEGER u;
    u.QuadPart = (ULONGLONG)v;
    FILETIME ft = { u.LowPart, u.HighPart };
    return ft;
}

unsigned Low32(const void* p)
{
    return (unsigned)(UINT_PTR)p;
}

const char szShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

struct SHELLFOLDER
{
    int type;
    HKEY root;
    const char* key;
    const char* value;
};

const SHELLFOLDER ShellFolders[] = {
    { 0, HKEY_CURRENT_USER, szShellFolders, "Programs" },
    { 1, HKEY_CURRENT_USER, szShellFolders, "Startup" },
    { 2, HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir" },
    { 5, HKEY_CURRENT_USER, szShellFolders, "AppData" },
    { 6, HKEY_CURRENT_USER, szShellFolders, "Personal" },
    { 7, HKEY_CURRENT_USER, szShellFolders, "My Pictures" },
    { 8, HKEY_CURRENT_USER, szShellFolders, "Desktop" },
    { 10, HKEY_LOCAL_MACHINE, szShellFolders, "Common Programs" },
    { 11, HKEY_LOCAL_MACHINE, szShellFolders, "Common Start Menu" },
};

// Reads a whole value of any size into fresh heap memory (free() it); NULL when missing.
BYTE* QueryValue(HKEY key, const char* name, DWORD* type, DWORD* size, LONG* error)
{
    DWORD need = 0;
    LONG rc = RegQueryValueExA(key, name, NULL, type, NULL, &need);
    for (int tries = 0; rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA; tries++) {
        if (tries > 8)
            break;
        BYTE* data = (BYTE*)malloc(need + 2);
        if (data == NULL) {
            rc = ERROR_NOT_ENOUGH_MEMORY;
            break;
        }
        DWORD got = need + 1;            // one spare byte tells a value that grew meanwhile
        rc = RegQueryValueExA(key, name, NULL, type, data, &got);
        if (rc == ERROR_SUCCESS && got <= need) {
            data[got] = 0;
            data[got + 1] = 0;
            *size = got;
            *error = rc;
            return data;
        }
        free(data);
        if (rc == ERROR_SUCCESS)
            rc = ERROR_MORE_DATA;
        need = got > need ? got : need * 2 + 64;
    }
    *size = 0;
    *error = rc;
    return NULL;
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

void OSYS::ErrorTextBuf(DWORD code, char* buf, int size, const char* none)
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

STRING OSYS::ErrorText(int code)
{
    DWORD error = code == -4711 ? GetLastError() : (DWORD)code;
    char* text = NULL;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             NULL, error, 0, (LPSTR)&text, 0, NULL);
    if (n == 0 || text == NULL)
        return STRING("<no error>");
    STRING result;
    result.Make((int)n, text);
    LocalFree(text);
    result.Strip('R', "\r\n");
    return result;
}

// ---- shell folders ----

STRING OSYS::GetWin32SystemPath(int type)
{
    const SHELLFOLDER* folder = NULL;
    for (const SHELLFOLDER& f : ShellFolders)
        if (f.type == type)
            folder = &f;
    if (folder == NULL) {
        ASSERT(FALSE);
        return STRING();
    }
    STRING result;
    HKEY key;
    LONG rc = RegOpenKeyExA(folder->root, folder->key, 0, KEY_QUERY_VALUE, &key);
    if (rc == ERROR_SUCCESS) {
        DWORD vtype = 0, size = 0;
        BYTE* value = QueryValue(key, folder->value, &vtype, &size, &rc);
        RegCloseKey(key);
        if (value != NULL && (vtype != REG_SZ && vtype != REG_EXPAND_SZ))
            rc = ERROR_INVALID_DATA;
        else if (value != NULL && value[0] == 0)
            rc = ERROR_FILE_NOT_FOUND;       // an empty folder name is no folder
        if (rc == ERROR_SUCCESS) {
            DWORD need = ExpandEnvironmentStringsA((const char*)value, NULL, 0);
            char* expanded = need ? (char*)malloc(need + 2) : NULL;
            if (expanded != NULL && ExpandEnvironmentStringsA((const char*)value, expanded, need + 1) != 0) {
                size_t len = strlen(expanded);
                if (len == 0 || expanded[len - 1] != '\\') {
                    expanded[len] = '\\';
                    expanded[len + 1] = 0;
                }
                result = STRING(expanded);
            } else {
                rc = ERROR_NOT_ENOUGH_MEMORY;
            }
            free(expanded);
        }
        free(value);
    }
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

void OSYS::LocalTime(SYSTEMTIME& st)
{
    LONG mode = Clock.mode;
    if (mode == 1) {
        st = Clock.fixed;
        return;
    }
    GetLocalTime(&st);
    if (mode == 2) {
        FILETIME ft;
        SystemTimeToFileTime(&st, &ft);
        FILETIME moved = FileTimeOf(FileTimeValue(ft) + Clock.offset);
        FileTimeToSystemTime(&moved, &st);
    }
}

void OSYS::SetClock(const SYSTEMTIME* start, BOOL running)
{
    if (start == NULL) {
        Clock.mode = 0;
        return;
    }
    Clock.mode = 0;
    Clock.fixed = *start;
    if (running) {
        SYSTEMTIME now;
        FILETIME a, b;
        GetLocalTime(&now);
        SystemTimeToFileTime(&now, &a);
        SystemTimeToFileTime(start, &b);
        Clock.offset = FileTimeValue(b) - FileTimeValue(a);
        Clock.mode = 2;
    } else {
        Clock.mode = 1;
    }
}

BOOL OSYS::SetClockText(const char* text)
{
    if (text == NULL)
        return FALSE;
    int year, month, day, hour, minute, second;
    char end;
    if (sscanf(text, "%4d-%2d-%2d %2d:%2d:%2d%c", &year, &month, &day, &hour, &minute, &second, &end) != 6)
        return FALSE;
    SYSTEMTIME st = {};
    st.wYear = (WORD)year;
    st.wMonth = (WORD)month;
    st.wDay = (WORD)day;
    st.wHour = (WORD)hour;
    st.wMinute = (WORD)minute;
    st.wSecond = (WORD)second;
    FILETIME check;
    SYSTEMTIME back;
    // Out-of-range fields (month 13, 31 April) do not survive the round trip.
    if (year < 1601 || year > 30827 || !SystemTimeToFileTime(&st, &check) || !FileTimeToSystemTime(&check, &back)
        || back.wDay != st.wDay || back.wMonth != st.wMonth)
        return FALSE;
    SetClock(&st, TRUE);
    return TRUE;
}

LONGLONG OSYS::Milliseconds(BOOL reset)
{
    SYSTEMTIME st;
    LocalTime(st);
    // Milliseconds since the start of the month; 64 bits, since day 25 and
    // later no longer fit in 32 signed bits.
    LONGLONG now = st.wDay * 86400000LL + st.wHour * 3600000LL + st.wMinute * 60000LL
                 + st.wSecond * 1000LL + st.wMilliseconds;
    LONGLONG base = llStopwatchBase;
    if (reset || base < 0) {
        InterlockedExchange64(&llStopwatchBase, now);
        return 0;
    }
    return now - base;
}

time_t OSYS::Time()
{
    if (Clock.mode == 0)
        return time(NULL);
    SYSTEMTIME local, utc;
    LocalTime(local);
    if (!TzSpecificLocalTimeToSystemTime(NULL, &local, &utc))
        utc = local;
    FILETIME ft;
    SystemTimeToFileTime(&utc, &ft);
    return (time_t)((FileTimeValue(ft) - 116444736000000000LL) / 10000000LL);
}

void OSYS::DateTextBuf(const SYSTEMTIME& st, char* buf, int size)
{
    if (size <= 0)
        return;
    if (GetDateFormatA(LOCALE_USER_DEFAULT, 0, &st, NULL, buf, size) == 0)
        buf[0] = 0;
}

void OSYS::TimeTextBuf(const SYSTEMTIME& st, char* buf, int size)
{
    if (size <= 0)
        return;
    if (GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, "HH:mm:ss", buf, size) == 0)
        buf[0] = 0;
}

STRING OSYS::DateIso()
{
    SYSTEMTIME st;
    LocalTime(st);
    char buf[32];
    _snprintf(buf, sizeof buf, "%04d-%02d-%02d", st.wYear, st.wMonth, st.wDay);
    buf[sizeof buf - 1] = 0;
    return STRING(buf);
}

STRING OSYS::DateText()
{
    SYSTEMTIME st;
    LocalTime(st);
    char buf[64];
    DateTextBuf(st, buf, sizeof buf);
    return STRING(buf);
}

STRING OSYS::TimeText()
{
    SYSTEMTIME st;
    LocalTime(st);
    char buf[64];
    TimeTextBuf(st, buf, sizeof buf);
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

// ---- EVENTSEM ----

EVENTSEM::EVENTSEM(BOOL initiallySet)
{
    hev = CreateEventA(NULL, TRUE, initiallySet, NULL);
    LogitLevel(7, "EVENTSEM::EVENTSEM created %08x\n", Low32(hev));
    ASSERT(this->hev);
}

EVENTSEM::~EVENTSEM()
{
    HANDLE h = hev;
    BOOL ok = h != NULL && CloseHandle(h);
    hev = NULL;
    LogitLevel(12, "EVENTSEM::~EVENTSEM deleted %08x\n", Low32(h));
    ASSERT(ok);
}

BOOL EVENTSEM::Set()
{
    BOOL ok = hev != NULL && SetEvent(hev);
    LogitLevel(12, "EVENTSEM::Set %08x\n", Low32(hev));
    ASSERT(ok);
    return ok;
}

BOOL EVENTSEM::Reset()
{
    BOOL ok = hev != NULL && ResetEvent(hev);
    LogitLevel(12, "EVENTSEM::Reset %08x\n", Low32(hev));
    ASSERT(ok);
    return ok;
}

BOOL EVENTSEM::Wait(int milliseconds)
{
    DWORD rc = hev != NULL ? WaitForSingleObject(hev, milliseconds < 0 ? INFINITE : (DWORD)milliseconds)
                           : WAIT_FAILED;
    LogitLevel(12, "EVENTSEM::Wait %08x rc=%d\n", Low32(hev), (int)rc);
    if (!ASSERT(rc!=WAIT_FAILED) || rc == WAIT_FAILED)
        return FALSE;
    return rc == WAIT_OBJECT_0;
}

// ---- MUTEXSEM ----

MUTEXSEM::MUTEXSEM(BOOL initiallyOwned, const char* name)
{
    hmux = CreateMutexA(NULL, initiallyOwned, name);
    LogitLevel(11, "MUTEXSEM::MUTEXSEM created %08x, name= %s\n", Low32(hmux), name ? name : "<null>");
    ASSERT(this->hmux);
}

MUTEXSEM::~MUTEXSEM()
{
    LogitLevel(11, "MUTEXSEM::MUTEXSEM delete %08x\n", Low32(hmux));
    BOOL ok = hmux != NULL && CloseHandle(hmux);
    hmux = NULL;
    ASSERT(ok);
}

BOOL MUTEXSEM::Request(int milliseconds)
{
    DWORD rc = hmux != NULL ? WaitForSingleObject(hmux, milliseconds < 0 ? INFINITE : (DWORD)milliseconds)
                            : WAIT_FAILED;
    if (rc == WAIT_FAILED) {
        ASSERT(rc!=WAIT_FAILED);
        LogitLevel(11, "MUTEXSEM::MUTEXSEM obtained %08x rc= %d\n", Low32(hmux), -1);
        return FALSE;
    }
    LogitLevel(11, "MUTEXSEM::MUTEXSEM obtained %08x rc= %d\n", Low32(hmux), (int)rc);
    if (rc == WAIT_ABANDONED) {
        // The data it guards may be half-written: report failure, but do not keep
        // the mutex, or every other waiter would hang behind a caller that never releases.
        ReleaseMutex(hmux);
        return FALSE;
    }
    return rc == WAIT_OBJECT_0;
}

BOOL MUTEXSEM::Release()
{
    BOOL ok = hmux != NULL && ReleaseMutex(hmux);
    LogitLevel(11, "MUTEXSEM::MUTEXSEM released %08x rc= %d\n", Low32(hmux), ok);
    ASSERT(ok);
    return ok;
}

// ---- CRITSECT ----

CRITSECT::CRITSECT()
{
    pCritSect = (CRITICAL_SECTION*)HeapAlloc(GetProcessHeap(), 0, sizeof(CRITICAL_SECTION));
    if (pCritSect != NULL)
        InitializeCriticalSection(pCritSect);
    ASSERT(this->pCritSect);
}

CRITSECT::~CRITSECT()
{
    if (pCritSect != NULL) {
        DeleteCriticalSection(pCritSect);
        HeapFree(GetProcessHeap(), 0, pCritSect);
        pCritSect = NULL;
    }
}

void CRITSECT::Enter()
{
    if (pCritSect != NULL)
        EnterCriticalSection(pCritSect);
}

void CRITSECT::Leave()
{
    if (pCritSect != NULL)
        LeaveCriticalSection(pCritSect);
}

// ---- REGISTRY ----

REGISTRY::REGISTRY(const char* application, const char* base, INT_PTR root)
{
    hkApp = NULL;
    HKEY hroot = root == 1 ? HKEY_CURRENT_USER : root == 0 ? HKEY_LOCAL_MACHINE : (HKEY)root;
    if (base == NULL)
        base = "";
    if (application != NULL && _strnicmp(application, "Fernwall", 8) == 0
        && (_stricmp(base, "Software\\Halvo\\") == 0 || _stricmp(base, "Software\\Halvo") == 0))
        base = "Software\\Tessaly";

    STRING path(base);
    if (application != NULL) {
        size_t n = strlen(base);
        if (n == 0 || base[n - 1] != '\\')
            path.Append("\\", 1);
        path.Append(application, -1);
    }
    HKEY key = NULL;
    if (RegCreateKeyA(hroot, path.Str(), &key) == ERROR_SUCCESS)
        hkApp = key;
    if (hkApp == NULL) {
        STRING info(application ? application : "<null>");
        info.Append("/", 1);
        info.Append(base, -1);
        char number[32];
        _snprintf(number, sizeof number, "/%lld", (long long)root);
        number[sizeof number - 1] = 0;
        info.Append(number, -1);
        ASSERTSILENT(this->hkApp!=NULL, info.Str());
    }
}

REGISTRY::~REGISTRY()
{
    Close();
}

void REGISTRY::Close()
{
    if (hkApp != NULL)
        RegCloseKey(hkApp);
    hkApp = NULL;
}

BOOL REGISTRY::Write(const char* name, const char* text)
{
    if (text == NULL)
        text = "";
    LONG rc = RegSetValueExA(hkApp, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
    LogitLevel(2, "REGISTRY::Write String value= %s; data=%s, error=%08x\n", name ? name : "<null>", text, (unsigned)rc);
    SetLastError((DWORD)rc);
    return rc == ERROR_SUCCESS;
}

BOOL REGISTRY::Read(const char* name, void* buffer, DWORD& size)
{
    DWORD type;
    LONG rc = RegQueryValueExA(hkApp, name, NULL, &type, (BYTE*)buffer, &size);
    BOOL ok = rc == ERROR_SUCCESS;
    if (!ok)
        size = 0;
    LogitLevel(2, "REGISTRY::Read key=%s, ok=%d, error=%d\n", name ? name : "<null>", ok, (int)rc);
    return ok;
}

STRING REGISTRY::ReadString(const char* name)
{
    DWORD type = 0, size = 0;
    LONG rc = ERROR_INVALID_HANDLE;
    BYTE* data = hkApp != NULL ? QueryValue(hkApp, name, &type, &size, &rc) : NULL;
    LogitLevel(2, "REGISTRY::Read key=%s, ok=%d, error=%d\n", name ? name : "<null>", data != NULL, (int)rc);
    if (data == NULL)
        return STRING();
    // A string loses its terminator, but only one that is really there.
    if (type == REG_SZ && size > 1 && data[size - 1] == 0)
        size--;
    STRING result;
    result.Make((int)size, (const char*)data);
    free(data);
    return result;
}

BOOL REGISTRY::DeleteKey(const char* name)
{
    LONG rc = RegDeleteKeyA(hkApp, name);
    LogitLevel(2, "REGISTRY::delete key= %s, error=%d\n", name ? name : "<null>", (int)rc);
    SetLastError((DWORD)rc);
    return rc == ERROR_SUCCESS;
}

int REGISTRY::EnumValues(STRING& names)
{
    names = STRING("");
    // Value names can have up to 16383 characters.
    const DWORD room = 16384;
    char* name = (char*)malloc(room);
    if (name == NULL)
        return 0;
    int count = 0;
    for (;;) {
        DWORD len = room;
        if (RegEnumValueA(hkApp, count, name, &len, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        if (count > 0)
            names.Append("|", 1);
        names.Append(name, (int)len);
        count++;
    }
    free(name);
    LogitLevel(2, "REGISTRY::EnumValues count=%d\n", count);
    return count;
}

BOOL REGISTRY::Autostart(const char* name, const char* command)
{
    HKEY key;
    LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                            KEY_SET_VALUE | KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) {
        LogitLevel(2, "REGISTRY::Autostart open error=%d\n", (int)rc);
        SetLastError((DWORD)rc);
        return FALSE;
    }
    char* self = NULL;
    if (command == NULL) {
        rc = RegDeleteValueA(key, name);
    } else {
        if (_stricmp(command, "<self>") == 0) {
            // The program's own path, however long it is.
            for (DWORD size = MAX_PATH; size <= 65536 && command != self; size *= 4) {
                free(self);
                self = (char*)malloc(size);
                if (self == NULL)
                    break;
                DWORD n = GetModuleFileNameA(NULL, self, size);
                if (n > 0 && n < size)
                    command = self;
            }
        }
        if (command == NULL || _stricmp(command, "<self>") == 0)
            rc = ERROR_NOT_ENOUGH_MEMORY;
        else
            rc = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)command, (DWORD)strlen(command) + 1);
    }
    LogitLevel(2, "REGISTRY::Autostart name= %s, command= %s, error=%d\n", name ? name : "<null>",
               command ? command : "<remove>", (int)rc);
    free(self);
    RegCloseKey(key);
    SetLastError((DWORD)rc);
    return rc == ERROR_SUCCESS;
}
