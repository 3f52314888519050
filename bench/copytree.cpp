// The benchmark's plain copy: copies a folder tree file by file with
// CopyFileA, making the folders on the way, and prints the files copied and
// the seconds it took (without the program's start).
//   usage: copytree FROM TO
#include <windows.h>
#include <cstdio>
#include <string>

static long Copy(const std::string& from, const std::string& to)
{
    CreateDirectoryA(to.c_str(), NULL);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((from + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    long files = 0;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            long n = Copy(from + "\\" + name, to + "\\" + name);
            if (n < 0)
                files = -1;
            else if (files >= 0)
                files += n;
        } else if (!CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE)) {
            fprintf(stderr, "copytree: cannot copy %s\\%s (%lu)\n", from.c_str(), name.c_str(), GetLastError());
            files = -1;
        } else if (files >= 0) {
            files++;
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return files;
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: copytree FROM TO\n");
        return 2;
    }
    LARGE_INTEGER freq, start, end;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&start);
    long files = Copy(argv[1], argv[2]);
    QueryPerformanceCounter(&end);
    if (files < 0)
        return 1;
    printf("files %ld seconds %.6f\n", files, (double)(end.QuadPart - start.QuadPart) / (double)freq.QuadPart);
    return 0;
}
