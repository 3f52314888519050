// Test helpers for the foundation tests: a private working folder (so that
// "assert.log" and test files belong to this process alone), counting of
// reported assertions, and raw file access.
#pragma once
#include <windows.h>
#include <cstdio>
#include <string>
#include "brisel/halvo.h"

class TESTFOLDER
{
public:
    TESTFOLDER()
    {
        // Assertions must never open a box in a test.
        if (!HalvoAssertBoxesOff())
            LogitSwitch("/NOASSERT");
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        GetCurrentDirectoryA(sizeof old, old);
        static LONG counter;
        char name[MAX_PATH + 64];
        snprintf(name, sizeof name, "%sfound_%lu_%ld", temp, GetCurrentProcessId(), InterlockedIncrement(&counter));
        path = name;
        CreateDirectoryA(path.c_str(), NULL);
        SetCurrentDirectoryA(path.c_str());
    }
    ~TESTFOLDER()
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

inline std::string ReadRaw(const char* name)
{
    std::string data;
    FILE* f = fopen(name, "rb");
    if (!f)
        return data;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        data.append(buf, n);
    fclose(f);
    return data;
}

inline void WriteRaw(const char* name, const std::string& data)
{
    FILE* f = fopen(name, "wb");
    if (f) {
        fwrite(data.data(), 1, data.size(), f);
        fclose(f);
    }
}

// Reports of the condition text in the current folder's "assert.log".
inline int AssertCount(const char* condition)
{
    std::string log = ReadRaw("assert.log");
    std::string needle = std::string("Condition: ") + condition + "\r\n";
    int count = 0;
    for (size_t p = log.find(needle); p != std::string::npos; p = log.find(needle, p + 1))
        count++;
    return count;
}

// Occurrences of any text in the current folder's "assert.log".
inline int AssertLogCount(const std::string& text)
{
    std::string log = ReadRaw("assert.log");
    int count = 0;
    for (size_t p = log.find(text); p != std::string::npos; p = log.find(text, p + 1))
        count++;
    return count;
}
