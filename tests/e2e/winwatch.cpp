// Test helper: runs a command line with a system-wide CBT hook in place and
// reports every window that the command's processes (and the processes they
// start) create. The hook library, loaded by Windows into each process that
// creates a window, appends one line per window ("pid class") to the report
// file that WINWATCH_REPORT names in the environment, which only the command
// and its children inherit.
//   winwatch REPORT-FILE COMMAND-LINE...   returns the command's exit code,
//   or 201 to 203 when it cannot watch or start it
#include <windows.h>
#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: winwatch REPORT-FILE COMMAND-LINE...\n");
        return 201;
    }
    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, MAX_PATH);
    std::string dll(self);
    dll = dll.substr(0, dll.find_last_of("\\/") + 1) + "winwatchhook.dll";
    HMODULE module = LoadLibraryA(dll.c_str());
    HOOKPROC proc = module ? (HOOKPROC)(void*)GetProcAddress(module, "WinWatchCbt") : NULL;
    HHOOK hook = proc ? SetWindowsHookExA(WH_CBT, proc, module, 0) : NULL;
    if (!hook) {
        fprintf(stderr, "winwatch: no hook (error %lu)\n", GetLastError());
        return 202;
    }
    // The desktop's process comes up with the first window of the prefix:
    // started from here, before the report is named, it does not inherit it.
    GetDesktopWindow();
    SetEnvironmentVariableA("WINWATCH_REPORT", argv[1]);
    std::string command;
    for (int i = 2; i < argc; i++) {
        std::string a(argv[i]);
        if (!command.empty())
            command += " ";
        command += i > 2 && a.find(' ') != std::string::npos ? "\"" + a + "\"" : a;
    }
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        fprintf(stderr, "winwatch: cannot start %s (error %lu)\n", command.c_str(), GetLastError());
        return 203;
    }
    // Hooks of this thread are called through its messages: keep them flowing.
    for (;;) {
        DWORD rc = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, INFINITE, QS_ALLINPUT);
        if (rc != WAIT_OBJECT_0 + 1)
            break;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    UnhookWindowsHookEx(hook);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return (int)code;
}
