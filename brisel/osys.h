// Operating-system services: texts from string tables, system error texts,
// shell folders, the Windows version, clocks and dates, and threads.
#pragma once
#include <windows.h>
#include <ctime>

class STRING;

// Shell folders of GetWin32SystemPath.
enum SYSFOLDER
{
    SYSFOLDER_PROGRAMS = 0,            // the user's start-menu programs
    SYSFOLDER_STARTUP = 1,
    SYSFOLDER_PROGRAMFILES = 2,
    SYSFOLDER_APPDATA = 5,
    SYSFOLDER_PERSONAL = 6,
    SYSFOLDER_PICTURES = 7,
    SYSFOLDER_DESKTOP = 8,
    SYSFOLDER_COMMONPROGRAMS = 10,     // the start-menu programs of all users
    SYSFOLDER_COMMONSTARTMENU = 11,
};

class OSYS
{
public:
    // Texts and errors
    static STRING GetStringFromResource(int id, HINSTANCE module);
    static STRING ErrorText(int code);                 // -4711: the thread's last error

    // The folder of a SYSFOLDER kind, with a trailing "\"; null when unknown.
    static STRING GetWin32SystemPath(int type);

    // 0: Windows 95 family, 2: NT 5.x, 1: any other NT
    static int WindowsVersion();

    // Clocks and dates, on the program's clock (brisel/clock).
    static LONGLONG Milliseconds(BOOL reset);          // stopwatch in ms
    static time_t Time();                              // seconds since 1970
    static STRING DateIso();
    static STRING DateText();
    static STRING TimeText();

    // Threads
    static HANDLE CreateThread(LPTHREAD_START_ROUTINE function, LPVOID parameter);
    static BOOL WaitThread(HANDLE thread, int timeout);  // 0: just test, -1: no limit
    static void Sleep(DWORD milliseconds);
};
