// The program's clock: every read of the local time goes through it, so that
// tests and scripted runs can set it. Plain Windows calls and caller buffers
// only, so that the debug log can use it.
#pragma once
#include <windows.h>
#include <ctime>

class CLOCK
{
public:
    static void LocalTime(SYSTEMTIME& st);
    // Replaces the clock: NULL restores the system clock; otherwise the clock
    // shows *start, frozen there, or running on from it when running is TRUE.
    static void Set(const SYSTEMTIME* start, BOOL running);
    // The same from the text "YYYY-MM-DD HH:MM:SS" (the clock runs on from it);
    // FALSE, and the clock unchanged, when the text is not such a time.
    static BOOL SetText(const char* text);
    static time_t Time();                              // seconds since 1970
    // The user's short date and the time as "HH:mm:ss", into a caller's buffer.
    static void DateText(const SYSTEMTIME& st, char* buf, int size);
    static void TimeText(const SYSTEMTIME& st, char* buf, int size);
};
