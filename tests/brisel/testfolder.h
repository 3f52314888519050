// Test helpers for the foundation tests: a private working folder (so that
// "assert.log" and test files belong to this process alone), counting of
// reported assertions, and raw file access.
#pragma once
#include <windows.h>
#include <cstdio>
#include <string>
#include "brisel/halvo.h"
#include "scratchdir.h"

// A scratch folder in which assertions never open a box.
class TESTFOLDER : public SCRATCHDIR
{
public:
    TESTFOLDER()
    {
        if (!HalvoAssertBoxesOff())
            LogitSwitch("/NOASSERT");
    }
};

inline std::string ReadRaw(const char* name) { return ReadWholeFile(name); }

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
