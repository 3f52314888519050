// Operating-system services: texts from string tables, system error texts,
// shell folders, clocks and dates, threads, events, mutexes, critical sections,
// and the registry.
#pragma once
#include <windows.h>
#include <ctime>

class STRING;

class OSYS
{
public:
    // Texts and errors
    static STRING GetStringFromResource(int id, HINSTANCE module);
    static STRING ErrorText(int code);                 // -4711: the thread's last error
    // The same into a caller's buffer (no STRING involved; used by the assertion).
    static void ErrorTextBuf(DWORD code, char* buf, int size, const char* none);

    // Shell folders (0 Programs, 1 Startup, 2 ProgramFilesDir, 5 AppData, 6 Personal,
    // 7 My Pictures, 8 Desktop, 10 Common Programs, 11 Common Start Menu).
    static STRING GetWin32SystemPath(int type);

    // 0: Windows 95 family, 2: NT 5.x, 1: any other NT
    static int WindowsVersion();

    // Clocks and dates. Every read of the local time goes through LocalTime.
    static void LocalTime(SYSTEMTIME& st);
    // Replaces the clock: NULL restores the system clock; otherwise the clock
    // shows *start, frozen there, or running on from it when running is TRUE.
    static void SetClock(const SYSTEMTIME* start, BOOL running);
    // The same from the text "YYYY-MM-DD HH:MM:SS" (the clock runs on from it);
    // FALSE, and the clock unchanged, when the text is not such a time.
    static BOOL SetClockText(const char* text);
    static LONGLONG Milliseconds(BOOL reset);          // stopwatch in ms
    static time_t Time();                              // seconds since 1970
    static STRING DateIso();
    static STRING DateText();
    static STRING TimeText();
    // The date and time texts into a caller's buffer (no STRING involved).
    static void DateTextBuf(const SYSTEMTIME& st, char* buf, int size);
    static void TimeTextBuf(const SYSTEMTIME& st, char* buf, int size);

    // Threads
    static HANDLE CreateThread(LPTHREAD_START_ROUTINE function, LPVOID parameter);
    static BOOL WaitThread(HANDLE thread, int timeout);  // 0: just test, -1: no limit
    static void Sleep(DWORD milliseconds);
};

// Manual-reset event without name.
class EVENTSEM
{
public:
    explicit EVENTSEM(BOOL initiallySet = FALSE);
    ~EVENTSEM();
    BOOL Set();
    BOOL Reset();
    BOOL Wait(int milliseconds);                       // -1: no limit
    EVENTSEM(const EVENTSEM&) = delete;
    EVENTSEM& operator=(const EVENTSEM&) = delete;
private:
    HANDLE hev;
};

// Mutex, named or not. Request fails on time-out and on an abandoned mutex.
class MUTEXSEM
{
public:
    explicit MUTEXSEM(BOOL initiallyOwned = FALSE, const char* name = NULL);
    ~MUTEXSEM();
    BOOL Request(int milliseconds);                    // -1: no limit
    BOOL Release();
    MUTEXSEM(const MUTEXSEM&) = delete;
    MUTEXSEM& operator=(const MUTEXSEM&) = delete;
private:
    HANDLE hmux;
};

// Re-entrant critical section.
class CRITSECT
{
public:
    CRITSECT();
    ~CRITSECT();
    void Enter();
    void Leave();
    CRITSECT(const CRITSECT&) = delete;
    CRITSECT& operator=(const CRITSECT&) = delete;
private:
    CRITICAL_SECTION* pCritSect;
};

// One application key, opened (and created when missing) at construction.
// root: 1 = HKEY_CURRENT_USER, 0 = HKEY_LOCAL_MACHINE, anything else a root key
// handle, e.g. (INT_PTR)HKEY_CLASSES_ROOT. Write, DeleteKey and Autostart leave
// the registry's result as the thread's last error.
class REGISTRY
{
public:
    REGISTRY(const char* application, const char* base, INT_PTR root);
    ~REGISTRY();
    BOOL Write(const char* name, const char* text);
    // Raw data of a value; size: capacity in, bytes read out (0 on failure).
    BOOL Read(const char* name, void* buffer, DWORD& size);
    STRING ReadString(const char* name);               // null string when missing
    BOOL DeleteKey(const char* name);
    int EnumValues(STRING& names);                     // names joined by "|"
    void Close();
    HKEY Key() const { return hkApp; }
    // The current user's Run entry: command NULL removes it, "<self>" stores
    // this program's path.
    static BOOL Autostart(const char* name, const char* command);
    REGISTRY(const REGISTRY&) = delete;
    REGISTRY& operator=(const REGISTRY&) = delete;
private:
    HKEY hkApp;
};
