// Scripted runs. A thread reads the script and acts on the program's own windows
// as a person would: it waits until the user-interface thread is idle, finds the
// topmost window and its controls, posts clicks and characters, answers message
// boxes, and ends the process with a clear message when something is not as the
// script says.
#include "brisel/automate.h"
#include "brisel/windows.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include <commctrl.h>
#include <shlobj.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cstdarg>
#include <string>
#include <vector>
#include "brisel/app.h"

namespace {

const UINT WM_PROBE = WM_APP + 0x3A1;

// State shared between the user-interface thread (probe window, hooks) and the script thread.
HWND hProbe;
DWORD UiThread;
HHOOK hGetMsgHook, hCallWndHook;
volatile LONG Activity;        // messages the UI thread handled, probes, timers and paints aside
volatile LONG ProbeDone;       // number of the last probe handled
volatile LONG ActivityAtProbe; // Activity when that probe was handled
volatile LONG ScriptSending;   // the script thread's own reads are no activity
LONG ProbeSeq;
volatile LONG Active;
volatile LONG Finished;
volatile LONG CurrentLine;
DWORD TimeoutMs = 30000;
std::string BaseDir;
std::vector<std::string> Lines;
std::string LineText;
BYTE Held[4];
int NumHeld;

// ---------------------------------------------------------------- the end of a run

void ReleaseHeld()
{
    for (int i = NumHeld - 1; i >= 0; i--) {
        INPUT in;
        memset(&in, 0, sizeof(in));
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = Held[i];
        in.ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(1, &in, sizeof(in));
    }
    NumHeld = 0;
}

void WriteErr(const char* text)
{
    HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
    DWORD done;
    if (h && h != INVALID_HANDLE_VALUE)
        WriteFile(h, text, (DWORD)strlen(text), &done, NULL);
    Logit("%s", text);
}

[[noreturn]] void Fail(int code, const char* format, ...)
{
    char msg[2048];
    int n = snprintf(msg, sizeof(msg), "script line %ld (%s): ", (long)CurrentLine, LineText.c_str());
    if (n < 0 || n >= (int)sizeof(msg))
        n = 0;
    va_list va;
    va_start(va, format);
    vsnprintf(msg + n, sizeof(msg) - n - 2, format, va);
    va_end(va);
    strcat(msg, "\n");
    WriteErr(msg);
    ReleaseHeld();
    TerminateProcess(GetCurrentProcess(), code);
    ExitProcess(code);
}

void AtExit()
{
    if (Active && !Finished) {
        char msg[512];
        snprintf(msg, sizeof(msg), "script: the program ended before line %ld (%s) was done\n",
                 (long)CurrentLine, LineText.c_str());
        WriteErr(msg);
        ReleaseHeld();
        TerminateProcess(GetCurrentProcess(), SCRIPT_EXIT_EARLYEND);
    }
    ReleaseHeld();
}

// ---------------------------------------------------------------- idle detection

LRESULT CALLBACK GetMsgHook(int code, WPARAM wparam, LPARAM lparam)
{
    if (code == HC_ACTION && wparam == PM_REMOVE) {
        const MSG* m = (const MSG*)lparam;
        if (m->hwnd != hProbe && m->message != WM_TIMER && m->message != 0x0118 /* system timer */ &&
            m->message != WM_PAINT && m->message != WM_NCPAINT)
            InterlockedIncrement(&Activity);
    }
    return CallNextHookEx(hGetMsgHook, code, wparam, lparam);
}

LRESULT CALLBACK CallWndHook(int code, WPARAM wparam, LPARAM lparam)
{
    // A message sent by another thread (a worker calling SendMessage) is activity too.
    if (code == HC_ACTION && wparam == 0 && !ScriptSending && InSendMessage()) {
        const CWPSTRUCT* c = (const CWPSTRUCT*)lparam;
        if (c->hwnd != hProbe)
            InterlockedIncrement(&Activity);
    }
    return CallNextHookEx(hCallWndHook, code, wparam, lparam);
}

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_PROBE) {
        InterlockedExchange(&ActivityAtProbe, Activity);
        InterlockedExchange(&ProbeDone, (LONG)wparam);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

DWORD Deadline()
{
    return GetTickCount() + TimeoutMs;
}

BOOL Expired(DWORD deadline)
{
    return (LONG)(GetTickCount() - deadline) >= 0;
}

HWND AnyBox();

// Idle: two probes in a row handled with nothing else handled between them.
// With boxOk, a message box that is up counts as well: a worker's box can be
// answered while the user-interface thread waits for that worker.
BOOL WaitIdle(DWORD deadline, BOOL boxOk = FALSE)
{
    LONG previous = -1;
    BOOL havePrevious = FALSE;
    for (;;) {
        LONG n = ++ProbeSeq;
        if (!PostMessageA(hProbe, WM_PROBE, (WPARAM)n, 0))
            return FALSE;
        for (int spins = 0; ProbeDone != n; spins++) {
            if (Expired(deadline))
                return FALSE;
            if (boxOk && spins >= 200 && AnyBox())
                return TRUE;
            Sleep(1);
        }
        LONG a = ActivityAtProbe;
        if (havePrevious && a == previous)
            return TRUE;
        previous = a;
        havePrevious = TRUE;
    }
}

// ---------------------------------------------------------------- finding windows

std::string ClassOf(HWND h)
{
    char name[128] = "";
    GetClassNameA(h, name, sizeof(name));
    return name;
}

std::string TextOf(HWND h)
{
    char buf[4096] = "";
    DWORD_PTR res = 0;
    InterlockedIncrement(&ScriptSending);
    if (!SendMessageTimeoutA(h, WM_GETTEXT, sizeof(buf), (LPARAM)buf, SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000, &res))
        buf[0] = 0;
    InterlockedDecrement(&ScriptSending);
    buf[sizeof(buf) - 1] = 0;
    return buf;
}

LRESULT SendRead(HWND h, UINT message, WPARAM wparam, LPARAM lparam)
{
    DWORD_PTR res = 0;
    InterlockedIncrement(&ScriptSending);
    if (!SendMessageTimeoutA(h, message, wparam, lparam, SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000, &res))
        res = (DWORD_PTR)-1;
    InterlockedDecrement(&ScriptSending);
    return (LRESULT)res;
}

BOOL IsFramework(HWND h)
{
    return GetWindowLongPtrA(h, DWLP_DLGPROC) == (LONG_PTR)DIALOG::DlgProc ||
           GetWindowLongPtrA(h, GWLP_WNDPROC) == (LONG_PTR)WINDOW::WndProc;
}

int FrameworkId(HWND h)
{
    int v = 0;
    if (IsFramework(h))
        SendRead(h, WM_BRISEL_QUERYID, (WPARAM)&v, 0);
    return v;
}

BOOL IsDialogClass(HWND h)
{
    return ClassOf(h) == "#32770";
}

// A message box: a system dialog holding only buttons and statics, with a standard button.
BOOL IsMessageBox(HWND h)
{
    if (!IsDialogClass(h) || IsFramework(h))
        return FALSE;
    BOOL standard = FALSE;
    for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        std::string cls = ClassOf(c);
        if (lstrcmpiA(cls.c_str(), "Button") == 0) {
            int id = GetDlgCtrlID(c);
            if (id == IDOK || id == IDCANCEL || id == IDYES || id == IDNO || id == IDABORT ||
                id == IDRETRY || id == IDIGNORE)
                standard = TRUE;
        } else if (lstrcmpiA(cls.c_str(), "Static") != 0)
            return FALSE;
    }
    return standard;
}

std::string BoxText(HWND h)
{
    std::string text;
    for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (lstrcmpiA(ClassOf(c).c_str(), "Static") == 0) {
            std::string t = TextOf(c);
            if (!t.empty()) {
                if (!text.empty())
                    text += " ";
                text += t;
            }
        }
    }
    return text;
}

std::string Quote(HWND h)
{
    return "\"" + TextOf(h) + "\": \"" + BoxText(h) + "\"";
}

struct TOPLIST { std::vector<HWND> w; };

BOOL CALLBACK CollectTop(HWND h, LPARAM lparam)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != GetCurrentProcessId() || h == hProbe || !IsWindowVisible(h))
        return TRUE;
    std::string cls = ClassOf(h);
    if (cls == "tooltips_class32" || cls == "ComboLBox" || cls == "#32768" || cls == "IME" ||
        cls == "SysShadow" || cls == "Auto-Suggest Dropdown")
        return TRUE;
    ((TOPLIST*)lparam)->w.push_back(h);
    return TRUE;
}

// The program's visible top-level windows, topmost first.
std::vector<HWND> TopWindows()
{
    TOPLIST l;
    EnumWindows(CollectTop, (LPARAM)&l);
    return l.w;
}

HWND Target()
{
    for (HWND h : TopWindows())
        if (IsWindowEnabled(h))
            return h;
    return NULL;
}

HWND AnyBox()
{
    for (HWND h : TopWindows())
        if (IsMessageBox(h))
            return h;
    return NULL;
}

void CheckNoBox()
{
    if (HWND box = AnyBox())
        Fail(SCRIPT_EXIT_UNEXPECTED, "unexpected message box %s", Quote(box).c_str());
}

// The window and its nested visible child dialogs (wizard pages), outermost first.
std::vector<HWND> DialogChain(HWND top)
{
    std::vector<HWND> chain;
    for (HWND cur = top; cur;) {
        chain.push_back(cur);
        HWND next = NULL;
        for (HWND c = GetWindow(cur, GW_CHILD); c && !next; c = GetWindow(c, GW_HWNDNEXT))
            if (IsWindowVisible(c) && IsDialogClass(c))
                next = c;
        cur = next;
    }
    return chain;
}

HWND FindIn(HWND parent, int id)
{
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (IsDialogClass(c))
            continue;
        if (GetDlgCtrlID(c) == id)
            return c;
    }
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (IsDialogClass(c) || !GetWindow(c, GW_CHILD))
            continue;
        if (HWND f = FindIn(c, id))
            return f;
    }
    return NULL;
}

HWND FindControl(HWND top, int id)
{
    if (!top)
        return NULL;
    std::vector<HWND> chain = DialogChain(top);
    for (size_t i = chain.size(); i-- > 0;)
        if (HWND c = FindIn(chain[i], id))
            return c;
    return NULL;
}

BOOL Ready(HWND c)
{
    if (!IsWindowVisible(c))
        return FALSE;
    for (HWND w = c; w; w = GetAncestor(w, GA_PARENT)) {
        if (!IsWindowEnabled(w))
            return FALSE;
        if (!(GetWindowLongPtrA(w, GWL_STYLE) & WS_CHILD))
            break;
    }
    return TRUE;
}

// Waits until control id of the target window exists, is visible and enabled.
HWND WaitControl(int id, BOOL boxAllowed = FALSE)
{
    DWORD deadline = Deadline();
    for (;;) {
        HWND top = Target();
        BOOL topIsBox = top && IsMessageBox(top);
        if (!boxAllowed && !topIsBox)
            CheckNoBox();
        HWND c = FindControl(top, id);
        if (topIsBox && !c)
            Fail(SCRIPT_EXIT_UNEXPECTED, "unexpected message box %s", Quote(top).c_str());
        if (c && Ready(c))
            return c;
        if (Expired(deadline)) {
            if (c)
                Fail(SCRIPT_EXIT_TIMEOUT, "control %d did not become visible and enabled", id);
            Fail(SCRIPT_EXIT_TIMEOUT, "no control %d in the topmost window (\"%s\")", id,
                 top ? TextOf(top).c_str() : "none");
        }
        Sleep(10);
    }
}

void Settle(BOOL boxOk = FALSE)
{
    if (WaitIdle(Deadline(), boxOk))
        return;
    if (HWND box = AnyBox())
        Fail(SCRIPT_EXIT_UNEXPECTED, "the program did not become idle; a message box is up: %s", Quote(box).c_str());
    Fail(SCRIPT_EXIT_TIMEOUT, "the program did not become idle");
}

// ---------------------------------------------------------------- actions

std::string Resolve(const std::string& name)
{
    if (name.size() >= 2 && (name[1] == ':' || (name[0] == '\\' && name[1] == '\\')))
        return name;
    if (!name.empty() && (name[0] == '\\' || name[0] == '/'))
        return name;
    if (BaseDir.empty())
        return name;
    std::string r = BaseDir;
    if (r.back() != '\\' && r.back() != '/')
        r += "\\";
    return r + name;
}

void PostKey(HWND h, UINT vk, BOOL down)
{
    UINT scan = MapVirtualKeyA(vk, 0);
    LPARAM lp = 1 | ((LPARAM)scan << 16);
    if (!down)
        lp |= (LPARAM)0xC0000000;
    PostMessageA(h, down ? WM_KEYDOWN : WM_KEYUP, vk, lp);
}

void HoldKey(BYTE vk)
{
    if (NumHeld >= (int)sizeof(Held))
        return;
    INPUT in;
    memset(&in, 0, sizeof(in));
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    SendInput(1, &in, sizeof(in));
    Held[NumHeld++] = vk;
}

HWND FocusOf(HWND top)
{
    GUITHREADINFO gti;
    memset(&gti, 0, sizeof(gti));
    gti.cbSize = sizeof(gti);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(top, NULL), &gti) && gti.hwndFocus)
        return gti.hwndFocus;
    return top;
}

std::string Unescape(const std::string& s)
{
    std::string r;
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == 'r' || s[i + 1] == 'n')) {
            r += s[i + 1] == 'r' ? '\r' : '\n';
            i++;
        } else
            r += s[i];
    }
    return r;
}

std::string ControlText(HWND c)
{
    if (lstrcmpiA(ClassOf(c).c_str(), "ListBox") == 0) {
        int i = (int)SendRead(c, LB_GETCURSEL, 0, 0);
        if (i < 0)
            return "";
        int len = (int)SendRead(c, LB_GETTEXTLEN, i, 0);
        if (len < 0)
            return "";
        std::string t(len + 1, '\0');
        SendRead(c, LB_GETTEXT, i, (LPARAM)&t[0]);
        t.resize(strlen(t.c_str()));
        return t;
    }
    return TextOf(c);
}

// Looks up control id for an expectation; waits until check() holds for it.
template <class CHECK>
void Expect(int id, const char* what, CHECK check)
{
    DWORD deadline = Deadline();
    for (;;) {
        HWND top = Target();
        if (!(top && IsMessageBox(top)))
            CheckNoBox();
        HWND c = FindControl(top, id);
        std::string actual;
        if (c && check(c, actual))
            return;
        if (Expired(deadline)) {
            if (!c)
                Fail(SCRIPT_EXIT_EXPECT, "expected control %d %s, but the topmost window (\"%s\") has no such control",
                     id, what, top ? TextOf(top).c_str() : "none");
            Fail(SCRIPT_EXIT_EXPECT, "expected control %d %s, but it is %s", id, what, actual.c_str());
        }
        Sleep(10);
    }
}

std::vector<int> DialogIds(HWND top)
{
    std::vector<int> ids;
    if (top)
        for (HWND h : DialogChain(top))
            if (IsFramework(h))
                ids.push_back(FrameworkId(h));
    return ids;
}

void ExpectDialog(int id)
{
    DWORD deadline = Deadline();
    for (;;) {
        HWND top = Target();
        if (!(top && IsMessageBox(top)))
            CheckNoBox();
        std::vector<int> ids = DialogIds(top);
        for (int i : ids)
            if (i == id)
                return;
        if (Expired(deadline)) {
            std::string have;
            for (int i : ids)
                have += (have.empty() ? "" : ", ") + std::to_string(i);
            Fail(SCRIPT_EXIT_EXPECT, "expected dialog %d, but the topmost window is %s%s%s", id,
                 top ? ("\"" + TextOf(top) + "\"").c_str() : "none", have.empty() ? "" : " with dialog ",
                 have.c_str());
        }
        Sleep(10);
    }
}

HWND WaitBox(const std::string* text)
{
    DWORD deadline = Deadline();
    for (;;) {
        for (HWND h : TopWindows()) {
            if (!IsMessageBox(h))
                continue;
            if (!text)
                return h;
            if (TextOf(h).find(*text) != std::string::npos || BoxText(h).find(*text) != std::string::npos)
                return h;
            for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                if (TextOf(c).find(*text) != std::string::npos && lstrcmpiA(ClassOf(c).c_str(), "Static") == 0)
                    return h;
        }
        if (Expired(deadline)) {
            if (!text)
                Fail(SCRIPT_EXIT_TIMEOUT, "no message box came up to answer");
            HWND box = AnyBox();
            if (box)
                Fail(SCRIPT_EXIT_EXPECT, "expected a message box with \"%s\", but the box is %s", text->c_str(),
                     Quote(box).c_str());
            Fail(SCRIPT_EXIT_EXPECT, "expected a message box with \"%s\", but none came up", text->c_str());
        }
        Sleep(10);
    }
}

// A system dialog (not ours, not a box) that holds a child of the given class.
BOOL CALLBACK HasClassProc(HWND h, LPARAM lparam)
{
    std::pair<const char*, HWND>* p = (std::pair<const char*, HWND>*)lparam;
    if (lstrcmpiA(ClassOf(h).c_str(), p->first) == 0) {
        p->second = h;
        return FALSE;
    }
    return TRUE;
}

HWND ChildOfClass(HWND parent, const char* cls)
{
    std::pair<const char*, HWND> p(cls, NULL);
    EnumChildWindows(parent, HasClassProc, (LPARAM)&p);
    return p.second;
}

HWND WaitSystemDialog(const char* childclass, const char* what)
{
    DWORD deadline = Deadline();
    for (;;) {
        for (HWND h : TopWindows())
            if (IsDialogClass(h) && !IsFramework(h) && !IsMessageBox(h) && ChildOfClass(h, childclass) &&
                IsWindowEnabled(h))
                return h;
        CheckNoBox();
        if (Expired(deadline))
            Fail(SCRIPT_EXIT_TIMEOUT, "no %s came up", what);
        Sleep(10);
    }
}

// ---------------------------------------------------------------- screenshot

BOOL Screenshot(HWND h, const std::string& file)
{
    RedrawWindow(h, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Settle();
    RECT r;
    GetWindowRect(h, &r);
    int w = r.right - r.left, ht = r.bottom - r.top;
    if (w <= 0 || ht <= 0)
        return FALSE;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi;
    memset(&bi, 0, sizeof(bi));
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -ht;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = NULL;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    BOOL ok = FALSE;
    if (bmp && bits) {
        HGDIOBJ old = SelectObject(mem, bmp);
        BitBlt(mem, 0, 0, w, ht, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        std::vector<BYTE> rgb((size_t)w * ht * 3);
        const BYTE* p = (const BYTE*)bits;
        for (size_t i = 0; i < (size_t)w * ht; i++) {
            rgb[i * 3] = p[i * 4 + 2];
            rgb[i * 3 + 1] = p[i * 4 + 1];
            rgb[i * 3 + 2] = p[i * 4];
        }
        ok = AutomateWritePng(file.c_str(), w, ht, rgb.data());
        SelectObject(mem, old);
    }
    if (bmp)
        DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return ok;
}

// ---------------------------------------------------------------- one line

int ParseId(const std::string& arg, const std::string& line)
{
    char* end = NULL;
    long v = strtol(arg.c_str(), &end, 10);
    if (arg.empty() || *end)
        Fail(SCRIPT_EXIT_BADSCRIPT, "\"%s\" is not a control id", arg.c_str());
    (void)line;
    return (int)v;
}

void Do(const std::string& line)
{
    // action, then the first argument, then the rest of the line as written
    size_t sp = line.find(' ');
    std::string action = line.substr(0, sp);
    std::string rest = sp == std::string::npos ? "" : line.substr(sp + 1);
    size_t sp2 = rest.find(' ');
    std::string arg = rest.substr(0, sp2);
    std::string text = sp2 == std::string::npos ? "" : rest.substr(sp2 + 1);
    for (char& ch : action)
        ch = (char)tolower((unsigned char)ch);

    if (action == "wait") {
        Sleep((DWORD)atol(rest.c_str()));
        return;
    }
    if (action == "handover") {
        SetEnvironmentVariableA("BRISEL_SCRIPT", Resolve(rest).c_str());
        return;
    }
    if (action == "release") {
        ReleaseHeld();
        return;
    }
    if (action == "race-click") {
        int id = ParseId(arg, line);
        DWORD deadline = Deadline();
        for (;;) {
            HWND c = FindControl(Target(), id);
            if (c && Ready(c)) {
                PostMessageA(c, BM_CLICK, 0, 0);
                return;
            }
            if (Expired(deadline))
                Fail(SCRIPT_EXIT_TIMEOUT, "control %d did not become enabled", id);
            Sleep(0);
        }
    }

    Settle(action == "answer" || action == "expect-box");

    if (action == "click") {
        PostMessageA(WaitControl(ParseId(arg, line)), BM_CLICK, 0, 0);
    } else if (action == "check" || action == "uncheck") {
        HWND c = WaitControl(ParseId(arg, line));
        LRESULT state = SendRead(c, BM_GETCHECK, 0, 0);
        if ((state == BST_CHECKED) != (action == "check"))
            PostMessageA(c, BM_CLICK, 0, 0);
    } else if (action == "type") {
        HWND c = WaitControl(ParseId(arg, line));
        PostMessageA(c, EM_SETSEL, 0, -1);
        if (text.empty())
            PostMessageA(c, WM_CHAR, VK_BACK, 1);
        for (unsigned char ch : text)
            PostMessageA(c, WM_CHAR, ch, 1);
    } else if (action == "select") {
        int id = ParseId(arg, line);
        HWND c = WaitControl(id);
        BOOL list = lstrcmpiA(ClassOf(c).c_str(), "ListBox") == 0;
        DWORD deadline = Deadline();
        for (;;) {
            int count = (int)SendRead(c, list ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
            for (int i = 0; i < count; i++) {
                int len = (int)SendRead(c, list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, i, 0);
                if (len < 0 || len > 4096)
                    continue;
                std::string t(len + 1, '\0');
                SendRead(c, list ? LB_GETTEXT : CB_GETLBTEXT, i, (LPARAM)&t[0]);
                t.resize(strlen(t.c_str()));
                if (t != text)
                    continue;
                if (list && (GetWindowLongPtrA(c, GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)))
                    PostMessageA(c, LB_SETSEL, TRUE, i);
                else
                    PostMessageA(c, list ? LB_SETCURSEL : CB_SETCURSEL, i, 0);
                PostMessageA(GetParent(c), WM_COMMAND, MAKEWPARAM(id, list ? LBN_SELCHANGE : CBN_SELCHANGE),
                             (LPARAM)c);
                return;
            }
            if (Expired(deadline))
                Fail(SCRIPT_EXIT_ACTION, "control %d has no entry \"%s\"", id, text.c_str());
            Sleep(10);
        }
    } else if (action == "key") {
        HWND top = Target();
        if (!top)
            Fail(SCRIPT_EXIT_ACTION, "no window to send the key to");
        std::string k = rest;
        for (char& ch : k)
            ch = (char)toupper((unsigned char)ch);
        UINT vk = k == "ENTER" ? VK_RETURN : k == "ESC" ? VK_ESCAPE : k == "TAB" || k == "SHIFT-TAB" ? VK_TAB
                : k == "SPACE" ? VK_SPACE : 0;
        if (!vk)
            Fail(SCRIPT_EXIT_BADSCRIPT, "unknown key \"%s\"", rest.c_str());
        if (k == "SHIFT-TAB") {
            HoldKey(VK_SHIFT);
            Settle();
        }
        HWND f = FocusOf(top);
        PostKey(f, vk, TRUE);
        PostKey(f, vk, FALSE);
        if (k == "SHIFT-TAB") {
            Settle();
            ReleaseHeld();
        }
    } else if (action == "hold") {
        std::string k = rest;
        for (char& ch : k)
            ch = (char)toupper((unsigned char)ch);
        if (k == "SHIFT")
            HoldKey(VK_SHIFT);
        else if (k == "CTRL")
            HoldKey(VK_CONTROL);
        else
            Fail(SCRIPT_EXIT_BADSCRIPT, "only SHIFT or CTRL can be held");
    } else if (action == "close") {
        HWND top = Target();
        if (!top)
            Fail(SCRIPT_EXIT_ACTION, "no window to close");
        PostMessageA(top, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (action == "answer") {
        std::string a = rest;
        for (char& ch : a)
            ch = (char)tolower((unsigned char)ch);
        int id = a == "yes" ? IDYES : a == "no" ? IDNO : a == "ok" ? IDOK : a == "cancel" ? IDCANCEL : 0;
        if (!id)
            Fail(SCRIPT_EXIT_BADSCRIPT, "answer must be yes, no, ok or cancel");
        HWND box = WaitBox(NULL);
        HWND b = GetDlgItem(box, id);
        if (!b || !IsWindowVisible(b))
            Fail(SCRIPT_EXIT_ACTION, "the message box %s has no button \"%s\"", Quote(box).c_str(), rest.c_str());
        PostMessageA(b, BM_CLICK, 0, 0);
    } else if (action == "expect-box") {
        std::string t = Unescape(rest);
        WaitBox(&t);
    } else if (action == "expect-dialog") {
        ExpectDialog(ParseId(arg, line));
    } else if (action == "expect-text") {
        Expect(ParseId(arg, line), ("to read \"" + text + "\"").c_str(), [&](HWND c, std::string& actual) {
            std::string t = ControlText(c);
            actual = "\"" + t + "\"";
            return t == text;
        });
    } else if (action == "expect-enabled" || action == "expect-disabled") {
        BOOL want = action == "expect-enabled";
        Expect(ParseId(arg, line), want ? "enabled" : "disabled", [&](HWND c, std::string& actual) {
            BOOL e = IsWindowEnabled(c);
            actual = e ? "enabled" : "disabled";
            return e == want;
        });
    } else if (action == "expect-hidden") {
        Expect(ParseId(arg, line), "hidden", [&](HWND c, std::string& actual) {
            BOOL v = IsWindowVisible(c);
            actual = v ? "visible" : "hidden";
            return !v;
        });
    } else if (action == "expect-checked" || action == "expect-unchecked") {
        BOOL want = action == "expect-checked";
        Expect(ParseId(arg, line), want ? "checked" : "unchecked", [&](HWND c, std::string& actual) {
            BOOL on = SendRead(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
            actual = on ? "checked" : "unchecked";
            return on == want;
        });
    } else if (action == "screenshot") {
        HWND top = Target();
        if (!top)
            Fail(SCRIPT_EXIT_ACTION, "no window for the screenshot");
        if (!Screenshot(top, Resolve(rest)))
            Fail(SCRIPT_EXIT_ACTION, "the screenshot could not be written to %s", Resolve(rest).c_str());
    } else if (action == "save-as") {
        HWND dlg = WaitSystemDialog("Edit", "save dialog");
        HWND edit = GetDlgItem(dlg, 0x480);   // edt1
        if (!edit) {
            HWND combo = GetDlgItem(dlg, 0x47c);   // cmb13 holds the name in newer dialogs
            edit = combo ? ChildOfClass(combo, "Edit") : ChildOfClass(dlg, "Edit");
        }
        std::string path = Resolve(rest);
        InterlockedIncrement(&ScriptSending);
        DWORD_PTR res;
        SendMessageTimeoutA(edit, WM_SETTEXT, 0, (LPARAM)path.c_str(), SMTO_ABORTIFHUNG, 5000, &res);
        InterlockedDecrement(&ScriptSending);
        Settle();
        PostMessageA(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
    } else if (action == "browse") {
        HWND dlg = WaitSystemDialog("SysTreeView32", "folder browser");
        std::string path = Resolve(rest);
        SendRead(dlg, BFFM_SETSELECTIONA, TRUE, (LPARAM)path.c_str());
        Settle();
        PostMessageA(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
    } else if (action == "print-to") {
        HWND dlg = WaitSystemDialog("ComboBox", "print dialog");
        HWND combo = GetDlgItem(dlg, 0x473);   // cmb4: the printer name
        if (!combo)
            combo = ChildOfClass(dlg, "ComboBox");
        LRESULT i = SendRead(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)rest.c_str());
        if (i < 0)
            Fail(SCRIPT_EXIT_ACTION, "the print dialog has no printer \"%s\"", rest.c_str());
        PostMessageA(combo, CB_SETCURSEL, i, 0);
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), (LPARAM)combo);
        Settle();
        PostMessageA(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
    } else {
        Fail(SCRIPT_EXIT_BADSCRIPT, "unknown action \"%s\"", action.c_str());
    }
}

DWORD WINAPI ScriptThread(LPVOID)
{
    for (size_t i = 0; i < Lines.size(); i++) {
        std::string line = Lines[i];
        size_t b = line.find_first_not_of(" \t");
        if (b == std::string::npos || line[b] == '#' || line[b] == ';')
            continue;
        line = line.substr(b);
        CurrentLine = (LONG)(i + 1);
        LineText = line;
        Logit("SCRIPT %ld: %s\n", (long)CurrentLine, line.c_str());
        Do(line);
    }
    LineText = "end of script";
    CurrentLine = (LONG)Lines.size() + 1;
    InterlockedExchange(&Finished, 1);
    Settle();
    for (HWND h : TopWindows()) {
        if (IsMessageBox(h))
            Fail(SCRIPT_EXIT_LEFTOPEN, "message box left unanswered: %s", Quote(h).c_str());
        if (IsDialogClass(h))
            Fail(SCRIPT_EXIT_LEFTOPEN, "dialog left open: \"%s\"", TextOf(h).c_str());
    }
    ReleaseHeld();
    return 0;
}

} // namespace

BOOL AutomateActive()
{
    return Active != 0;
}

BOOL AutomateRun(const char* scriptfile, const char* basedir)
{
    if (!scriptfile || !*scriptfile || Active)
        return FALSE;
    InterlockedExchange(&Active, 1);
    BaseDir = basedir ? basedir : "";
    if (BaseDir.empty()) {
        char cur[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof(cur), cur);
        BaseDir = cur;
    }
    LineText = "start";
    const char* t = getenv("BRISEL_SCRIPT_TIMEOUT");
    if (t && atol(t) > 0)
        TimeoutMs = (DWORD)atol(t);
    atexit(AtExit);

    std::string path = Resolve(scriptfile);
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        Fail(SCRIPT_EXIT_BADSCRIPT, "cannot read the script %s", path.c_str());
    std::string data;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
        data.append(buf, n);
    fclose(f);
    // A script saved as UTF-8 with a byte order mark is turned into the program's code page.
    if (data.size() >= 3 && (BYTE)data[0] == 0xEF && (BYTE)data[1] == 0xBB && (BYTE)data[2] == 0xBF) {
        data.erase(0, 3);
        int wn = MultiByteToWideChar(CP_UTF8, 0, data.data(), (int)data.size(), NULL, 0);
        std::wstring w(wn, L'\0');
        MultiByteToWideChar(CP_UTF8, 0, data.data(), (int)data.size(), &w[0], wn);
        int an = WideCharToMultiByte(CP_ACP, 0, w.data(), wn, NULL, 0, NULL, NULL);
        std::string a(an, '\0');
        WideCharToMultiByte(CP_ACP, 0, w.data(), wn, &a[0], an, NULL, NULL);
        data = a;
    }
    size_t start = 0;
    while (start <= data.size()) {
        size_t e = data.find('\n', start);
        std::string line = data.substr(start, e == std::string::npos ? std::string::npos : e - start);
        while (!line.empty() && (line.back() == '\r'))
            line.pop_back();
        Lines.push_back(line);
        if (e == std::string::npos)
            break;
        start = e + 1;
    }

    const char* clock = getenv("BRISEL_CLOCK");
    // The clock runs on from the given time, so that time-outs measured with it still expire.
    if (clock && *clock && !OSYS::SetClockText(clock))
        Fail(SCRIPT_EXIT_BADSCRIPT, "BRISEL_CLOCK \"%s\" is not YYYY-MM-DD HH:MM:SS", clock);

    // Probe window and hooks live on this (the user-interface) thread.
    UiThread = GetCurrentThreadId();
    WNDCLASSA wc;
    memset(&wc, 0, sizeof(wc));
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "BriselScriptProbe";
    RegisterClassA(&wc);
    hProbe = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, wc.hInstance, NULL);
    hGetMsgHook = SetWindowsHookExA(WH_GETMESSAGE, GetMsgHook, NULL, UiThread);
    hCallWndHook = SetWindowsHookExA(WH_CALLWNDPROC, CallWndHook, NULL, UiThread);
    if (!hProbe)
        Fail(SCRIPT_EXIT_BADSCRIPT, "cannot create the probe window");
    Logit("AutomateRun script=%s lines=%d\n", path.c_str(), (int)Lines.size());
    HANDLE th = OSYS::CreateThread(ScriptThread, NULL);
    if (th)
        CloseHandle(th);
    return th != NULL;
}

void AutomateStart()
{
    STRING script = GetArgValue("SCRIPT", 0);
    const char* file = script.Str();
    if (!file || !*file)
        file = getenv("BRISEL_SCRIPT");
    if (file && *file)
        AutomateRun(file, APP::StartDirectory().Str());
}

// ---------------------------------------------------------------- PNG

DWORD AutomateCrc32(const BYTE* data, size_t length, DWORD crc)
{
    static DWORD table[256];
    static bool ready = false;
    if (!ready) {
        for (DWORD i = 0; i < 256; i++) {
            DWORD c = i;
            for (int k = 0; k < 8; k++)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < length; i++)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

static void Put32(std::vector<BYTE>& v, DWORD x)
{
    v.push_back((BYTE)(x >> 24)); v.push_back((BYTE)(x >> 16));
    v.push_back((BYTE)(x >> 8)); v.push_back((BYTE)x);
}

static void Chunk(std::vector<BYTE>& out, const char* type, const std::vector<BYTE>& data)
{
    Put32(out, (DWORD)data.size());
    std::vector<BYTE> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    Put32(out, AutomateCrc32(body.data(), body.size()));
}

BOOL AutomateWritePng(const char* file, int width, int height, const BYTE* rgb)
{
    if (width <= 0 || height <= 0 || !rgb)
        return FALSE;
    std::vector<BYTE> raw;   // filter byte 0 before each row
    raw.reserve((size_t)height * (width * 3 + 1));
    for (int y = 0; y < height; y++) {
        raw.push_back(0);
        raw.insert(raw.end(), rgb + (size_t)y * width * 3, rgb + (size_t)(y + 1) * width * 3);
    }
    // zlib stream of stored deflate blocks
    std::vector<BYTE> z = {0x78, 0x01};
    size_t pos = 0;
    do {
        size_t len = raw.size() - pos;
        if (len > 65535)
            len = 65535;
        z.push_back(pos + len == raw.size() ? 1 : 0);
        z.push_back((BYTE)len); z.push_back((BYTE)(len >> 8));
        z.push_back((BYTE)~len); z.push_back((BYTE)(~len >> 8));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + len);
        pos += len;
    } while (pos < raw.size());
    DWORD a = 1, b = 0;
    for (BYTE c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Put32(z, (b << 16) | a);

    std::vector<BYTE> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<BYTE> ihdr;
    Put32(ihdr, (DWORD)width);
    Put32(ihdr, (DWORD)height);
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});   // 8 bits, RGB, deflate, no filter, no interlace
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    FILE* f = fopen(file, "wb");
    if (!f)
        return FALSE;
    BOOL ok = fwrite(png.data(), 1, png.size(), f) == png.size();
    ok = (fclose(f) == 0) && ok;
    return ok;
}
