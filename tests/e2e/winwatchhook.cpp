// The hook library of winwatch: reports each window created in a process
// that WINWATCH_REPORT names a report file for.
#include <windows.h>
#include <cstdio>

extern "C" __declspec(dllexport) LRESULT CALLBACK WinWatchCbt(int code, WPARAM wparam, LPARAM lparam)
{
    if (code == HCBT_CREATEWND) {
        char report[MAX_PATH];
        DWORD n = GetEnvironmentVariableA("WINWATCH_REPORT", report, sizeof report);
        if (n > 0 && n < sizeof report) {
            CBT_CREATEWNDA* cw = (CBT_CREATEWNDA*)lparam;
            char cls[256] = "";
            GetClassNameA((HWND)wparam, cls, sizeof cls);
            BOOL messageonly = cw && cw->lpcs && cw->lpcs->hwndParent == HWND_MESSAGE;
            FILE* f = fopen(report, "ab");
            if (f) {
                fprintf(f, "%lu %s%s\n", GetCurrentProcessId(), cls, messageonly ? " message-only" : "");
                fclose(f);
            }
        }
    }
    return CallNextHookEx(NULL, code, wparam, lparam);
}
