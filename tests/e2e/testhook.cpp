// A product hook library for the end-to-end tests: appends every event to
// "hooklog.txt" in the current folder (or the file BRISEL_HOOKLOG names), one line each.
#include <windows.h>
#include <cstdio>
#include <cstdlib>

static void Line(const char* text)
{
    // BRISEL_HOOKLOG names the log when the current folder may go away (uninstall).
    const char* log = getenv("BRISEL_HOOKLOG");
    FILE* f = fopen(log && *log ? log : "hooklog.txt", "ab");
    if (f) {
        fputs(text, f);
        fclose(f);
    }
}

extern "C" __declspec(dllexport) int WINAPI SetupHook(int event, const char* text)
{
    char line[1024];
    snprintf(line, sizeof line, "S %d %s\n", event, text ? text : "(null)");
    Line(line);
    // BRISEL_HOOKSLEEP: the uninstall's removal takes that many ms longer (tests of its page).
    const char* sleep = getenv("BRISEL_HOOKSLEEP");
    if (event == 2 && sleep)
        Sleep(atoi(sleep));
    return 0;
}

// Windows and addresses are written as set (1) or not (0); the data argument
// as a number, except for event 0, where it is the settings table's address.
extern "C" __declspec(dllexport) int WINAPI NewSetupHook(int event, int value, HWND first, HWND second,
                                                         INT_PTR address, INT_PTR data)
{
    char line[512];
    if (event == 2)   // the uninstall key name
        snprintf(line, sizeof line, "N %d %d %d %d %d %s\n", event, value, first != NULL, second != NULL,
                 address != 0, data ? (const char*)data : "(null)");
    else
        snprintf(line, sizeof line, "N %d %d %d %d %d %lld\n", event, value, first != NULL, second != NULL,
                 address != 0, event == 0 ? (long long)(data != 0) : (long long)data);
    Line(line);
    return 0;
}
