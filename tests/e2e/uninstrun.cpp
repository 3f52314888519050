// Test helper: starts a product's uninstall as the control panel does. Reads
// the command line registered as "UninstallString" (with --quiet:
// "QuietUninstallString", as deployment tools do) under the product's
// uninstall key, appends the further arguments and runs it with CreateProcess
// unchanged; waits for that process and returns its exit code.
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const char* valuename = "UninstallString";
    if (argc > 1 && strcmp(argv[1], "--quiet") == 0) {
        valuename = "QuietUninstallString";
        argv++;
        argc--;
    }
    if (argc < 2) {
        fprintf(stderr, "usage: uninstrun [--quiet] KEY-NAME [ARGUMENT...]\n");
        return 2;
    }
    std::string path = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + argv[1];
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        fprintf(stderr, "uninstrun: no uninstall key %s\n", argv[1]);
        return 3;
    }
    std::vector<char> value(8192);
    DWORD type = 0, size = (DWORD)value.size() - 1;
    LONG rc = RegQueryValueExA(key, valuename, NULL, &type, (BYTE*)value.data(), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ) {
        fprintf(stderr, "uninstrun: no %s\n", valuename);
        return 3;
    }
    value[size] = 0;
    std::string command(value.data());
    for (int i = 2; i < argc; i++) {
        std::string a(argv[i]);
        command += a.find(' ') == std::string::npos ? " " + a : " \"" + a + "\"";
    }
    printf("%s\n", command.c_str());
    fflush(stdout);
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        fprintf(stderr, "uninstrun: cannot start (error %lu)\n", (unsigned long)GetLastError());
        return 4;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return (int)code;
}
