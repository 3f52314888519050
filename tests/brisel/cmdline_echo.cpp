// Child program for the program-start tests: writes its command line, how it
// was asked to show its window, and its console title to "cmdline.txt" in its
// current directory. Waits a little first so that callers that do not wait
// for it would find no file yet.
#include <windows.h>
#include <cstdio>

int main()
{
    Sleep(700);
    STARTUPINFOA si;
    GetStartupInfoA(&si);
    FILE* f = fopen("cmdline.txt", "wb");
    if (!f)
        return 1;
    int show = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;
    fprintf(f, "%s\n%d\n%s\n", GetCommandLineA(), show, si.lpTitle ? si.lpTitle : "");
    fclose(f);
    return 0;
}
