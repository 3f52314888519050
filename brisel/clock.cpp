// The program's clock.
#include "brisel/clock.h"
#include <cstdio>

namespace {

// The clock's one state: which clock runs, and where it was set.
struct CLOCKSTATE
{
    volatile LONG Mode;          // 0 system, 1 frozen, 2 running from an offset
    SYSTEMTIME Fixed;            // the frozen time
    LONGLONG Offset;             // 100 ns units, for the running clock
} Clock;

enum { CLOCK_SYSTEM, CLOCK_FROZEN, CLOCK_RUNNING };

LONGLONG FileTimeValue(const FILETIME& ft)
{
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    return (LONGLONG)u.QuadPart;
}

FILETIME FileTimeOf(LONGLONG v)
{
    ULARGE_INTEGER u;
    u.QuadPart = (ULONGLONG)v;
    FILETIME ft = { u.LowPart, u.HighPart };
    return ft;
}

} // namespace

void CLOCK::LocalTime(SYSTEMTIME& st)
{
    LONG mode = Clock.Mode;
    if (mode == CLOCK_FROZEN) {
        st = Clock.Fixed;
        return;
    }
    GetLocalTime(&st);
    if (mode == CLOCK_RUNNING) {
        FILETIME ft;
        SystemTimeToFileTime(&st, &ft);
        FILETIME moved = FileTimeOf(FileTimeValue(ft) + Clock.Offset);
        FileTimeToSystemTime(&moved, &st);
    }
}

void CLOCK::Set(const SYSTEMTIME* start, BOOL running)
{
    Clock.Mode = CLOCK_SYSTEM;
    if (start == NULL)
        return;
    Clock.Fixed = *start;
    if (!running) {
        Clock.Mode = CLOCK_FROZEN;
        return;
    }
    SYSTEMTIME now;
    FILETIME a, b;
    GetLocalTime(&now);
    SystemTimeToFileTime(&now, &a);
    SystemTimeToFileTime(start, &b);
    Clock.Offset = FileTimeValue(b) - FileTimeValue(a);
    Clock.Mode = CLOCK_RUNNING;
}

BOOL CLOCK::SetText(const char* text)
{
    if (text == NULL)
        return FALSE;
    int year, month, day, hour, minute, second;
    char end;
    if (sscanf(text, "%4d-%2d-%2d %2d:%2d:%2d%c", &year, &month, &day, &hour, &minute, &second, &end) != 6)
        return FALSE;
    SYSTEMTIME st = {};
    st.wYear = (WORD)year;
    st.wMonth = (WORD)month;
    st.wDay = (WORD)day;
    st.wHour = (WORD)hour;
    st.wMinute = (WORD)minute;
    st.wSecond = (WORD)second;
    FILETIME check;
    SYSTEMTIME back;
    // Out-of-range fields (month 13, 31 April) do not survive the round trip.
    if (year < 1601 || year > 30827 || !SystemTimeToFileTime(&st, &check) || !FileTimeToSystemTime(&check, &back)
        || back.wDay != st.wDay || back.wMonth != st.wMonth)
        return FALSE;
    Set(&st, TRUE);
    return TRUE;
}

time_t CLOCK::Time()
{
    if (Clock.Mode == CLOCK_SYSTEM)
        return time(NULL);
    SYSTEMTIME local, utc;
    LocalTime(local);
    if (!TzSpecificLocalTimeToSystemTime(NULL, &local, &utc))
        utc = local;
    FILETIME ft;
    SystemTimeToFileTime(&utc, &ft);
    return (time_t)((FileTimeValue(ft) - 116444736000000000LL) / 10000000LL);
}

void CLOCK::DateText(const SYSTEMTIME& st, char* buf, int size)
{
    if (size <= 0)
        return;
    if (GetDateFormatA(LOCALE_USER_DEFAULT, 0, &st, NULL, buf, size) == 0)
        buf[0] = 0;
}

void CLOCK::TimeText(const SYSTEMTIME& st, char* buf, int size)
{
    if (size <= 0)
        return;
    if (GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, "HH:mm:ss", buf, size) == 0)
        buf[0] = 0;
}
