// Where a script acts: whether the program is idle, its topmost window, the
// controls of that window and of its pages, message boxes and the system's
// own dialogs.
#include "brisel/automate/script.h"
#include "brisel/windows.h"

namespace {

const UINT WM_PROBE = WM_APP + 0x3A1;
const UINT WM_SYSTIMER = 0x0118;

LRESULT CALLBACK GetMsgHook(int code, WPARAM wparam, LPARAM lparam)
{
    if (code == HC_ACTION && wparam == PM_REMOVE) {
        const MSG* m = (const MSG*)lparam;
        if (m->hwnd != Script.hProbe && m->message != WM_TIMER && m->message != WM_SYSTIMER &&
            m->message != WM_PAINT && m->message != WM_NCPAINT)
            InterlockedIncrement(&Script.Activity);
    }
    return CallNextHookEx(Script.hGetMsgHook, code, wparam, lparam);
}

LRESULT CALLBACK CallWndHook(int code, WPARAM wparam, LPARAM lparam)
{
    // A message sent by another thread (a worker calling SendMessage) is activity too.
    if (code == HC_ACTION && wparam == 0 && !Script.ScriptSending && InSendMessage()) {
        const CWPSTRUCT* c = (const CWPSTRUCT*)lparam;
        if (c->hwnd != Script.hProbe)
            InterlockedIncrement(&Script.Activity);
    }
    return CallNextHookEx(Script.hCallWndHook, code, wparam, lparam);
}

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_PROBE) {
        InterlockedExchange(&Script.ActivityAtProbe, Script.Activity);
        InterlockedExchange(&Script.ProbeDone, (LONG)wparam);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

// Idle: two probes in a row handled with nothing else handled between them.
// With boxok, a message box that is up counts as well: a worker's box can be
// answered while the user-interface thread waits for that worker.
BOOL WaitIdle(DWORD deadline, BOOL boxok)
{
    LONG previous = -1;
    BOOL havePrevious = FALSE;
    for (;;) {
        LONG n = ++Script.ProbeSeq;
        if (!PostMessageA(Script.hProbe, WM_PROBE, (WPARAM)n, 0))
            return FALSE;
        for (int spins = 0; Script.ProbeDone != n; spins++) {
            if (Expired(deadline))
                return FALSE;
            if (boxok && spins >= 200 && AnyBox())
                return TRUE;
            Sleep(1);
        }
        LONG a = Script.ActivityAtProbe;
        if (havePrevious && a == previous)
            return TRUE;
        previous = a;
        havePrevious = TRUE;
    }
}

struct TOPLIST { std::vector<HWND> Windows; };

BOOL CALLBACK CollectTop(HWND h, LPARAM lparam)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != GetCurrentProcessId() || h == Script.hProbe || !IsWindowVisible(h))
        return TRUE;
    std::string cls = ClassOf(h);
    if (cls == "tooltips_class32" || cls == "ComboLBox" || cls == "#32768" || cls == "IME" ||
        cls == "SysShadow" || cls == "Auto-Suggest Dropdown")
        return TRUE;
    ((TOPLIST*)lparam)->Windows.push_back(h);
    return TRUE;
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

int FrameworkId(HWND h)
{
    int v = 0;
    if (IsFramework(h))
        SendRead(h, WM_BRISEL_QUERYID, (WPARAM)&v, 0);
    return v;
}

BOOL CALLBACK HasClassProc(HWND h, LPARAM lparam)
{
    std::pair<const char*, HWND>* p = (std::pair<const char*, HWND>*)lparam;
    if (lstrcmpiA(ClassOf(h).c_str(), p->first) == 0) {
        p->second = h;
        return FALSE;
    }
    return TRUE;
}

} // namespace

// ---------------------------------------------------------------- idleness

void StartProbe()
{
    Script.UiThread = GetCurrentThreadId();
    WNDCLASSA wc;
    memset(&wc, 0, sizeof(wc));
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "BriselScriptProbe";
    RegisterClassA(&wc);
    Script.hProbe = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, wc.hInstance, NULL);
    Script.hGetMsgHook = SetWindowsHookExA(WH_GETMESSAGE, GetMsgHook, NULL, Script.UiThread);
    Script.hCallWndHook = SetWindowsHookExA(WH_CALLWNDPROC, CallWndHook, NULL, Script.UiThread);
    if (!Script.hProbe)
        Fail(SCRIPT_EXIT_BADSCRIPT, "cannot create the probe window");
}

DWORD Deadline()
{
    return GetTickCount() + Script.TimeoutMs;
}

BOOL Expired(DWORD deadline)
{
    return (LONG)(GetTickCount() - deadline) >= 0;
}

void Settle(BOOL boxok)
{
    if (WaitIdle(Deadline(), boxok))
        return;
    if (HWND box = AnyBox())
        Fail(SCRIPT_EXIT_UNEXPECTED, "the program did not become idle; a message box is up: %s", Quote(box).c_str());
    Fail(SCRIPT_EXIT_TIMEOUT, "the program did not become idle");
}

// ---------------------------------------------------------------- reading windows

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
    InterlockedIncrement(&Script.ScriptSending);
    if (!SendMessageTimeoutA(h, WM_GETTEXT, sizeof(buf), (LPARAM)buf, SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000, &res))
        buf[0] = 0;
    InterlockedDecrement(&Script.ScriptSending);
    buf[sizeof(buf) - 1] = 0;
    return buf;
}

LRESULT SendRead(HWND h, UINT message, WPARAM wparam, LPARAM lparam)
{
    DWORD_PTR res = 0;
    InterlockedIncrement(&Script.ScriptSending);
    if (!SendMessageTimeoutA(h, message, wparam, lparam, SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000, &res))
        res = (DWORD_PTR)-1;
    InterlockedDecrement(&Script.ScriptSending);
    return (LRESULT)res;
}

BOOL IsFramework(HWND h)
{
    return GetWindowLongPtrA(h, DWLP_DLGPROC) == (LONG_PTR)DIALOG::DlgProc ||
           GetWindowLongPtrA(h, GWLP_WNDPROC) == (LONG_PTR)WINDOW::WndProc;
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

// ---------------------------------------------------------------- finding windows

std::vector<HWND> TopWindows()
{
    TOPLIST l;
    EnumWindows(CollectTop, (LPARAM)&l);
    return l.Windows;
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

std::vector<int> DialogIds(HWND top)
{
    std::vector<int> ids;
    if (top)
        for (HWND h : DialogChain(top))
            if (IsFramework(h))
                ids.push_back(FrameworkId(h));
    return ids;
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

HWND WaitControl(int id)
{
    DWORD deadline = Deadline();
    for (;;) {
        HWND top = Target();
        BOOL topIsBox = top && IsMessageBox(top);
        if (!topIsBox)
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

HWND ChildOfClass(HWND parent, const char* cls)
{
    std::pair<const char*, HWND> p(cls, NULL);
    EnumChildWindows(parent, HasClassProc, (LPARAM)&p);
    return p.second;
}

// A system dialog (not ours, not a box) that holds a child of the given class.
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
