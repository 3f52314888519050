// Child program of the assertion tests: writes a mark, fails an assertion,
// and writes a second mark only if the program goes on.
//   assert_child OUTFILE [switch...]
#include "brisel/halvo.h"
#include <cstring>

static void Mark(HANDLE out, const char* text)
{
    DWORD written;
    WriteFile(out, text, (DWORD)strlen(text), &written, NULL);
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    HANDLE out = CreateFileA(argv[1], GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
    if (out == INVALID_HANDLE_VALUE)
        return 2;
    for (int i = 2; i < argc; i++)
        LogitSwitch(argv[i]);
    HalvoSetAppTitle("Halvo Application Child");
    Mark(out, "before\r\n");
    ASSERTINFO(argc < 2, "child");
    Mark(out, "after\r\n");
    CloseHandle(out);
    LogitSwitch("/LOGITCLOSE");
    return 0;
}
