// A product hook library for the end-to-end tests: appends every event to
// "hooklog.txt" in the current folder (or the file BRISEL_HOOKLOG names), one line
// each. When the welcome page ends, "iconlog.txt" gets which of setup.exe's icons
// the header shows.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
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

// Records every position the progress bar of event 6 is given, one a line in
// "progress.txt", by subclassing the bar.
static WNDPROC BarProc = NULL;

static LRESULT CALLBACK RecordingBarProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == PBM_SETPOS) {
        FILE* f = fopen("progress.txt", "ab");
        if (f) {
            fprintf(f, "%d\n", (int)wparam);
            fclose(f);
        }
    }
    return CallWindowProcA(BarProc, hwnd, message, wparam, lparam);
}

// 0: none, 1 to 3: that icon of setup.exe, -1: another one.
static void LogHeaderIcon(HWND frame)
{
    HICON shown = (HICON)SendDlgItemMessageA(frame, 10793, STM_GETICON, 0, 0);
    int which = shown ? -1 : 0;
    for (int id = 1; id <= 3 && shown; id++)
        if (LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(id)) == shown)
            which = id;
    FILE* f = fopen("iconlog.txt", "ab");
    if (f) {
        fprintf(f, "%d\n", which);
        fclose(f);
    }
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
    if (event == 6 || event == 7) {
        // When the file installation starts and ends, and the peak memory at
        // its end, for the install benchmark.
        LARGE_INTEGER now, freq;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&freq);
        FILE* f = fopen("timing.txt", "ab");
        if (f) {
            fprintf(f, "%d %.6f\n", event, (double)now.QuadPart / (double)freq.QuadPart);
            PROCESS_MEMORY_COUNTERS pmc;
            if (event == 7 && GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc))
                fprintf(f, "peak %llu\n", (unsigned long long)pmc.PeakWorkingSetSize);
            fclose(f);
        }
    }
    if (event == 6 && second && !BarProc)
        BarProc = (WNDPROC)SetWindowLongPtrA(second, GWLP_WNDPROC, (LONG_PTR)RecordingBarProc);
    if (event == 5 && value == 1 && first)
        LogHeaderIcon(first);
    return 0;
}
