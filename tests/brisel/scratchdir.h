// A fresh folder under the temporary folder that a test works in (the current
// directory while it lives), removed with its files afterwards.
#pragma once
#include <windows.h>
#include <cstdio>
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
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do
                DeleteFileA((path + "\\" + fd.cFileName).c_str());
            while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryA(path.c_str());
    }
    std::string path;
private:
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
