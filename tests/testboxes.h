// Finding the boxes a program shows, for the Windows test programs: message
// boxes and the system's own dialogs (class "#32770").
#pragma once
#include <windows.h>
#include <cstring>
#include <functional>
#include <string>

namespace testboxes {

typedef std::function<bool(HWND)> BOXMATCH;

struct BOXSEARCH
{
    DWORD pid;
    DWORD thread;
    const BOXMATCH* match;
    HWND found;
};

inline BOOL CALLBACK SearchBox(HWND h, LPARAM param)
{
    BOXSEARCH* s = (BOXSEARCH*)param;
    DWORD pid = 0;
    DWORD thread = GetWindowThreadProcessId(h, &pid);
    char cls[32] = "";
    GetClassNameA(h, cls, sizeof cls);
    if (pid != s->pid || (s->thread != 0 && thread != s->thread) || !IsWindowVisible(h) || strcmp(cls, "#32770") != 0)
        return TRUE;
    if (*s->match && !(*s->match)(h))
        return TRUE;
    s->found = h;
    return FALSE;
}

// A visible box of process pid (and of that thread, unless thread is 0) that
// match accepts, when one is given; NULL when there is none.
inline HWND FindBox(DWORD pid, DWORD thread = 0, const BOXMATCH& match = BOXMATCH())
{
    BOXSEARCH s = {pid, thread, &match, NULL};
    EnumWindows(SearchBox, (LPARAM)&s);
    return s.found;
}

// The same, waiting for it up to ms milliseconds.
inline HWND WaitBox(int ms, DWORD pid, DWORD thread = 0, const BOXMATCH& match = BOXMATCH())
{
    for (int waited = 0;; waited += 50) {
        if (HWND box = FindBox(pid, thread, match))
            return box;
        if (waited >= ms)
            return NULL;
        Sleep(50);
    }
}

inline std::string WindowText(HWND h)
{
    char text[4096] = "";
    GetWindowTextA(h, text, sizeof text);
    return text;
}

// The text of a box: its static controls' texts, one after the other.
inline std::string BoxText(HWND box)
{
    std::string text;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[32] = "";
        GetClassNameA(c, cls, sizeof cls);
        if (_stricmp(cls, "Static") == 0)
            text += WindowText(c);
    }
    return text;
}

// Presses a button of the box as a user would.
inline void Press(HWND box, int button)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
}

} // namespace testboxes
