// Test helper: keeps a file open the way a running program does, so that
// nobody can delete it, until its standard input ends. Prints "held" once
// the file is open. With --mutex it holds the named mutex instead, as a
// running setup holds its product's lock.
#include <windows.h>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 2 && !(argc == 3 && strcmp(argv[1], "--mutex") == 0)) {
        fprintf(stderr, "usage: holdfile FILE | --mutex NAME\n");
        return 2;
    }
    HANDLE file = argc == 3 ? CreateMutexA(NULL, TRUE, argv[2])
                            : CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (!file)
        file = INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "holdfile: cannot open %s, error %lu\n", argv[1], GetLastError());
        return 3;
    }
    printf("held\n");
    fflush(stdout);
    char buffer[64];
    DWORD n;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &n, NULL) && n > 0) {
    }
    CloseHandle(file);
    return 0;
}
