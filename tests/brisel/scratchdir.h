// A fresh folder under the temporary folder that a test works in (the current
// directory while it lives), removed with its files afterwards.
#pragma once
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <string>
#include "brisel/osysfile.h"   // FileExists

class SCRATCHDIR
{
public:
    SCRATCHDIR()
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        GetCurrentDirectoryA(sizeof old, old);
        static LONG counter;
        char name[MAX_PATH + 64];
        snprintf(name, sizeof name, "%sbrisel_%lu_%ld", temp, GetCurrentProcessId(), InterlockedIncrement(&counter));
        path = name;
        CreateDirectoryA(path.c_str(), NULL);
        SetCurrentDirectoryA(path.c_str());
    }
    ~SCRATCHDIR()
    {
        SetCurrentDirectoryA(old);
        Remove(path);
    }
    std::string path;
private:
    // The folder with everything in it, read-only files too.
    static void Remove(const std::string& folder)
    {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::string item = folder + "\\" + fd.cFileName;
                if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                    SetFileAttributesA(item.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileA(item.c_str());
                } else if (strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0) {
                    Remove(item);
                }
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryA(folder.c_str());
    }
    char old[MAX_PATH];
};

// Whole file as bytes; empty when it cannot be read.
inline std::string ReadWholeFile(const char* name)
{
    std::string data;
    HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return data;
    char buf[65536];
    DWORD got;
    while (ReadFile(h, buf, sizeof buf, &got, NULL) && got > 0)
        data.append(buf, got);
    CloseHandle(h);
    return data;
}
