// Window framework: object binding, dialogs and their modal loop, controls, help.
#include "brisel/windows.h"
#include "brisel/halvo.h"
#include "brisel/app.h"
#include <commctrl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef ARRAYMAX
#define ARRAYMAX(a) ((int)(sizeof(a) / sizeof((a)[0])))
#endif

WINHELP AppHelp;

// Dialogs, menus and class icons come from the resource module (the language module once loaded).
static HINSTANCE ResModule()
{
    return APP::ResourceModule();
}

// Up-down and progress classes must be registered before a template or a control uses them.
static void EnsureCommonControls()
{
    static BOOL done = FALSE;
    if (!done) {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        done = TRUE;
    }
}

// ---------------------------------------------------------------- WINDOW

static int AppWindowCounter = 0;

WINDOW::WINDOW(DWORD style, const char* title, int x, int y, int width, int height,
               HWND parent, int wid, const char* classname, HCURSOR cursor)
    : hWnd(NULL), WndId(wid), Owns(1), pHook(NULL)
{
    EnsureCommonControls();
    char cls[64];
    if (classname)
        lstrcpynA(cls, classname, sizeof(cls));
    else
        snprintf(cls, sizeof(cls), "AppWindow%d", AppWindowCounter++);
    RegisterWindowClass(cls, WndProc, CS_OWNDC, wid, NULL, cursor);
    HMENU menu = LoadMenuA(ResModule(), MAKEINTRESOURCEA(wid));
    hWnd = CreateWindowExA(0, cls, title, style, x, y, width, height, parent, menu, ResModule(), this);
}

WINDOW::WINDOW(HWND hwnd)
{
    Wrap(hwnd);
}

void WINDOW::Wrap(HWND hwnd)
{
    hWnd = hwnd;
    Owns = 0;
    pHook = NULL;
    WndId = hwnd ? QueryId(hwnd) : -1;
}

int WINDOW::QueryId(HWND hwnd)
{
    if (!hwnd)
        return -1;
    // A top-level window keeps its menu handle where a control keeps its id, so
    // only child windows are asked for GWL_ID.
    int v = 0;
    if (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD)
        v = (int)GetWindowLongPtrA(hwnd, GWLP_ID);
    if (v == 0)
        SendMessageA(hwnd, WM_BRISEL_QUERYID, (WPARAM)&v, 0);
    return v;
}

WINDOW::~WINDOW()
{
    if (Owns == 1 && hWnd) {
        Logit("WINDOW::~WINDOW auto-destroying %s %d\n", (const char*)GetText(), WndId);
        HWND h = hWnd;
        hWnd = NULL;
        DestroyWindow(h);
    }
    hWnd = NULL;
}

STRING WINDOW::GetText()
{
    int len = GetWindowTextLengthA(hWnd);
    char* txt = (char*)malloc(len + 1);
    ASSERT(txt);
    if (!txt)
        return STRING("");
    txt[0] = 0;
    GetWindowTextA(hWnd, txt, len + 1);
    STRING s(txt);
    free(txt);
    return s;
}

STRING WINDOW::GetClass()
{
    char name[128] = "";
    GetClassNameA(hWnd, name, sizeof(name));
    return STRING(name);
}

void WINDOW::Move(int x, int y, int width, int height)
{
    if (width == -1 || height == -1) {
        RECT r = GetRect();
        if (width == -1)
            width = r.right - r.left;
        if (height == -1)
            height = r.bottom - r.top;
    }
    MoveWindow(hWnd, x, y, width, height, TRUE);
}

void WINDOW::Move(const RECT& r)
{
    MoveWindow(hWnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

RECT WINDOW::GetClientRect()
{
    RECT r = {0, 0, 0, 0};
    ASSERT(this->hWnd != HWND_DESKTOP);
    ::GetClientRect(hWnd, &r);
    return r;
}

RECT WINDOW::GetRect()
{
    RECT r = {0, 0, 0, 0};
    if (!hWnd) {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
        return r;
    }
    GetWindowRect(hWnd, &r);
    HWND parent = GetParent(hWnd);
    if (parent && parent != GetWindow(hWnd, GW_OWNER)) {
        POINT p[2] = {{r.left, r.top}, {r.right, r.bottom}};
        ScreenToClient(parent, &p[0]);
        ScreenToClient(parent, &p[1]);
        r.left = p[0].x; r.top = p[0].y; r.right = p[1].x; r.bottom = p[1].y;
    }
    return r;
}

WINDOW WINDOW::Parent()
{
    return WINDOW(GetParent(hWnd));
}

WINDOW WINDOW::Owner()
{
    return WINDOW(GetWindow(hWnd, GW_OWNER));
}

void WINDOW::CenterOn(WINDOW& reference)
{
    WINDOW desktop((HWND)NULL);
    RECT work = desktop.GetRect();
    WINDOW* ref = &reference;
    if (!reference.hWnd || !IsWindowVisible(reference.hWnd))
        ref = &desktop;
    BOOL is_child = ref->hWnd && hWnd && IsChild(hWnd, ref->hWnd);
    ASSERT(!is_child);
    RECT r = ref->GetRect();
    RECT o = GetRect();
    int w = o.right - o.left, h = o.bottom - o.top;
    int x = r.left + ((r.right - r.left) - w) / 2;
    int y = r.top + ((r.bottom - r.top) - h) / 2;
    if (x + w > work.right)
        x = work.right - w;
    if (x < 0)
        x = 0;
    if (y + h > work.bottom)
        y = work.bottom - h;
    if (y < 0)
        y = 0;
    Move(x, y, w, h);
}

HFONT WINDOW::MakeFont(const char* face, int points, BOOL bold, BOOL italic)
{
    HDC hdc = CreateDCA("DISPLAY", NULL, NULL, NULL);
    ASSERT(hdc);
    int ppi = hdc ? GetDeviceCaps(hdc, LOGPIXELSY) : 96;
    if (hdc)
        DeleteDC(hdc);
    LOGFONTA lf;
    memset(&lf, 0, sizeof(lf));
    lf.lfHeight = -MulDiv(points, ppi, 72);
    lf.lfWeight = bold ? 700 : 400;
    lf.lfItalic = italic ? 1 : 0;
    lstrcpynA(lf.lfFaceName, face ? face : "", 32);
    return CreateFontIndirectA(&lf);
}

ATOM WINDOW::RegisterWindowClass(const char* classname, WNDPROC proc, UINT classstyle,
                                 int iconid, HINSTANCE module, HCURSOR cursor)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof(wc));
    wc.style = classstyle;
    wc.lpfnWndProc = proc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 4;
    wc.hInstance = module ? module : ResModule();
    HICON icon = LoadIconA(ResModule(), MAKEINTRESOURCEA(iconid));
    if (!icon)
        icon = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(1));
    if (!icon)
        icon = LoadIconA(ResModule(), MAKEINTRESOURCEA(1));
    if (!icon)
        icon = LoadIconA(NULL, MAKEINTRESOURCEA(32512));
    wc.hIcon = icon;
    wc.hCursor = cursor ? cursor : LoadCursorA(NULL, MAKEINTRESOURCEA(32512));
    wc.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
    wc.lpszMenuName = NULL;
    wc.lpszClassName = classname;
    return RegisterClassA(&wc);   // an existing class is fine
}

LRESULT CALLBACK WINDOW::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_CREATE && lparam) {
        WINDOW* w = (WINDOW*)((CREATESTRUCTA*)lparam)->lpCreateParams;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)w);
        if (w)
            w->hWnd = hwnd;
    }
    WINDOW* w = (WINDOW*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    if (!w)
        return DefWindowProcA(hwnd, message, wparam, lparam);
    if (message == WM_NCDESTROY)
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    if (w->pHook)
        w->pHook(hwnd, message, wparam, lparam);
    LogitHotkey(message, wparam, lparam);
    if (message == WM_DESTROY)
        w->WINDOW::WindowProc(message, wparam, lparam);
    return w->WindowProc(message, wparam, lparam);
}

LRESULT WINDOW::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        if (lparam)
            PostMessageA(hWnd, WM_BRISEL_LATECREATE, 0, 0);
        return 0;
    case WM_DESTROY:
        pHook = NULL;
        return 1;
    case WM_QUERYENDSESSION:
        return 1;
    case WM_ENDSESSION:
        PostMessageA(hWnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_HELP:
        return HelpCascade();
    case WM_BRISEL_LATECREATE:
        WindowProc(WM_CREATE, 0, 0);
        return 0;
    case WM_BRISEL_QUERYID:
        if (wparam)
            *(int*)wparam = WndId;
        return 0;
    }
    return DefWindowProcA(hWnd, message, wparam, lparam);
}

LRESULT WINDOW::HelpCascade()
{
    if (!AppHelp.HasHelpFile())
        return 0;
    HWND focus = GetFocus();
    if (focus && AppHelp.ShowHelpFor(focus))
        return 1;
    if (AppHelp.ShowHelp(WndId))
        return 1;
    if (AppHelp.ShowHelpFor(hWnd))
        return 1;
    if (AppHelp.GetDefaultId() != -1)
        AppHelp.ShowHelp(AppHelp.GetDefaultId());
    return 1;
}

// ---------------------------------------------------------------- DIALOG

DIALOG::DIALOG(int templateid, HWND parent, HINSTANCE module)
{
    EnsureCommonControls();
    Wrap(NULL);
    WndId = templateid;
    HWND h = CreateDialogParamA(module ? module : ResModule(), MAKEINTRESOURCEA(templateid & 0xFFFF),
                                parent, DlgProc, (LPARAM)this);
    if (h)
        hWnd = h;
    WINDOW ref(parent);
    if (hWnd)
        CenterOn(ref);
    char info[16];
    snprintf(info, sizeof(info), "%d", templateid);
    ASSERTINFO(this->hWnd, info);
}

DIALOG::~DIALOG()
{
    if (hWnd) {
        HWND h = hWnd;
        DestroyWindow(h);
        hWnd = NULL;
    }
}

BOOL DIALOG::IsPushButton(HWND hwnd)
{
    char name[64] = "";
    if (!hwnd || !GetClassNameA(hwnd, name, sizeof(name)) || lstrcmpiA(name, "Button") != 0)
        return FALSE;
    LONG_PTR type = GetWindowLongPtrA(hwnd, GWL_STYLE) & 0x0F;
    return type == 0 || type == 1 || type == 8;
}

BOOL DIALOG::IsRadioButton(HWND hwnd)
{
    char name[64] = "";
    if (!hwnd || !GetClassNameA(hwnd, name, sizeof(name)) || lstrcmpiA(name, "Button") != 0)
        return FALSE;
    LONG_PTR type = GetWindowLongPtrA(hwnd, GWL_STYLE) & 0x0F;
    return type == 4 || type == 9;
}

INT_PTR CALLBACK DIALOG::DlgProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_INITDIALOG && lparam) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, lparam);
        ((DIALOG*)lparam)->hWnd = hwnd;
    }
    DIALOG* d = (DIALOG*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    if (!d)
        return 0;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        return 0;
    }
    INT_PTR hr = 0;
    if (d->pHook)
        hr = d->pHook(hwnd, message, wparam, lparam);
    LogitHotkey(message, wparam, lparam);
    if (message == WM_DESTROY)
        d->DIALOG::DialogProc(message, wparam, lparam);
    if (hr)
        return hr;
    return d->DialogProc(message, wparam, lparam);
}

INT_PTR DIALOG::DialogProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        if (lparam) {
            PostMessageA(hWnd, WM_BRISEL_LATECREATE, 0, 0);
            return 1;
        }
        return 0;
    case WM_CLOSE:
        End(2);
        return 1;
    case WM_COMMAND:
        if (HIWORD(wparam) == 0 && IsPushButton((HWND)lparam)) {
            int cid = LOWORD(wparam);
            if (cid == 9)
                return HelpCascade();
            End(cid == 2 ? 0 : cid);
            return 1;
        }
        return 0;
    case WM_DESTROY:
        hWnd = NULL;
        pHook = NULL;
        return 0;
    case WM_BRISEL_LATECREATE:
        DialogProc(WM_INITDIALOG, 0, 0);
        return 0;
    case WM_BRISEL_QUERYID:
        if (wparam)
            *(int*)wparam = WndId;
        return 0;
    }
    return 0;
}

BOOL DIALOG::End(int value)
{
    return PostMessageA(hWnd, WM_BRISEL_END, (WPARAM)value, 0);
}

int DIALOG::Run()
{
    HWND h = hWnd;
    if (!h)
        return 0;
    HWND owner = GetWindow(h, GW_OWNER);
    if (owner)
        EnableWindow(owner, FALSE);
    ShowWindow(h, SW_SHOWNORMAL);
    SetForegroundWindow(h);
    int result = ModalLoop();
    if (owner)
        EnableWindow(owner, TRUE);
    if (IsWindow(h))
        ShowWindow(h, SW_HIDE);
    return result;
}

int DIALOG::ModalLoop()
{
    HWND h = hWnd;
    MSG msg;
    for (;;) {
        BOOL rc = GetMessageA(&msg, NULL, 0, 0);
        if (rc == 0) {
            // Hand the quit request on to the loop that owns it.
            PostQuitMessage((int)msg.wParam);
            return 0;
        }
        if (rc == -1)
            return 0;
        if (msg.message != WM_BRISEL_END && IsDialogMessageA(h, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (msg.message == WM_BRISEL_END && msg.hwnd == h)
            return (int)msg.wParam;
        if (!IsWindow(h))   // destroyed under the loop: nothing left to wait for
            return 0;
    }
}

// ---------------------------------------------------------------- CONTROL

CONTROL::CONTROL(const char* classname, DWORD style, const char* text, int x, int y, int width, int height,
                 HWND parent, int cid, DWORD exstyle)
{
    EnsureCommonControls();
    Wrap(NULL);
    Logit("CONTROL::CONTROL %08x, %d, %s, %s, %x, %x\n", (unsigned)(UINT_PTR)parent, cid, classname,
          text ? text : "", (unsigned)style, (unsigned)exstyle);
    Logit("CONTROL::CONTROL %d\n", IsWindow(parent) ? 1 : 0);
    hWnd = CreateWindowExA(exstyle, classname, text, style | WS_CHILD, x, y, width, height, parent,
                           (HMENU)(INT_PTR)cid, NULL, NULL);
    ASSERT(this->hWnd);
    WndId = cid;
    Owns = 1;
}

CONTROL::CONTROL(HWND dialog, int cid)
{
    Wrap(cid != -1 ? GetDlgItem(dialog, cid) : dialog);
}

int CONTROL::SetCheck(int state)
{
    int rc = (int)SendMessageA(hWnd, BM_SETCHECK, (WPARAM)state, 0);
    SendMessageA(GetParent(hWnd), WM_COMMAND, (WPARAM)(WndId & 0xFFFF), (LPARAM)hWnd);
    return rc;
}

int CONTROL::GetCheck()
{
    return (int)SendMessageA(hWnd, BM_GETCHECK, 0, 0);
}

// ---------------------------------------------------------------- LISTCONTROL

LISTCONTROL::LISTCONTROL(HWND dialog, int cid) : CONTROL(dialog, cid)
{
    char name[64] = "";
    GetClassNameA(hWnd, name, sizeof(name));
    ListBox = lstrcmpiA(name, "Listbox") == 0 ? 1 : 0;
}

int LISTCONTROL::Reset()
{
    return (int)SendMessageA(hWnd, ListBox ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
}

int LISTCONTROL::Add(const char* text)
{
    return (int)SendMessageA(hWnd, ListBox ? LB_ADDSTRING : CB_ADDSTRING, 0, (LPARAM)text);
}

int LISTCONTROL::Insert(int index, const char* text)
{
    return (int)SendMessageA(hWnd, ListBox ? LB_INSERTSTRING : CB_INSERTSTRING, (WPARAM)index, (LPARAM)text);
}

int LISTCONTROL::Find(const char* text)
{
    return (int)SendMessageA(hWnd, ListBox ? LB_FINDSTRING : CB_FINDSTRING, (WPARAM)-1, (LPARAM)text);
}

STRING LISTCONTROL::ItemText(int index)
{
    if (index == -1)
        index = Selection(0);
    if (index == -1)
        return STRING("");
    int len = (int)SendMessageA(hWnd, ListBox ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, (WPARAM)index, 0);
    if (len < 0)
        return STRING("");
    char* buf = (char*)calloc(len + 1, 1);
    if (!buf)
        return STRING("");
    SendMessageA(hWnd, ListBox ? LB_GETTEXT : CB_GETLBTEXT, (WPARAM)index, (LPARAM)buf);
    buf[len] = 0;
    STRING s(buf);
    free(buf);
    return s;
}

int LISTCONTROL::Selection(int n)
{
    if (!ListBox)
        return n == 0 ? (int)SendMessageA(hWnd, CB_GETCURSEL, 0, 0) : -1;
    if (GetWindowLongPtrA(hWnd, GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) {
        int items[256];
        int count = (int)SendMessageA(hWnd, LB_GETSELITEMS, 256, (LPARAM)items);
        return (n >= 0 && n < count) ? items[n] : -1;
    }
    return n == 0 ? (int)SendMessageA(hWnd, LB_GETCURSEL, 0, 0) : -1;
}

int LISTCONTROL::Select(int index, BOOL on)
{
    int rc;
    if (ListBox && (GetWindowLongPtrA(hWnd, GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)))
        rc = (int)SendMessageA(hWnd, LB_SETSEL, (WPARAM)on, (LPARAM)index);
    else
        rc = (int)SendMessageA(hWnd, ListBox ? LB_SETCURSEL : CB_SETCURSEL, (WPARAM)(on ? index : -1), 0);
    SendMessageA(GetParent(hWnd), WM_COMMAND, (WPARAM)((WndId & 0xFFFF) + 0x10000), (LPARAM)hWnd);
    return rc;
}

// ---------------------------------------------------------------- SPINCONTROL

void SPINCONTROL::SetRange(int lwr, int upr)
{
    ASSERT(upr<=32767);
    ASSERT(lwr>=-32767);
    HWND buddy = (HWND)SendMessageA(hWnd, UDM_GETBUDDY, 0, 0);
    int digits = 1;
    for (long v = labs((long)upr); v >= 10; v /= 10)
        digits++;
    if (buddy)
        SendMessageA(buddy, EM_LIMITTEXT, (WPARAM)digits, 0);
    SendMessageA(hWnd, UDM_SETRANGE, 0, MAKELPARAM(upr, lwr));
}

void SPINCONTROL::SetPos(int value)
{
    SendMessageA(hWnd, UDM_SETPOS, 0, MAKELPARAM(value, 0));
}

LRESULT SPINCONTROL::GetPos()
{
    return SendMessageA(hWnd, UDM_GETPOS, 0, 0);
}

// ---------------------------------------------------------------- PROGRESSBAR

PROGRESSBAR::PROGRESSBAR(HWND parent, int pid)
    : CONTROL("msctls_progress32", WS_CHILD, "", 0, 0, 10, 10, parent, pid, 0), Shown(0)
{
    ShowWindow(hWnd, SW_SHOW);
    SendMessageA(hWnd, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
}

LRESULT PROGRESSBAR::SetPos(int percent)
{
    Shown = percent;
    return SendMessageA(hWnd, PBM_SETPOS, (WPARAM)percent, 0);
}

void PROGRESSBAR::PostPos(int percent)
{
    if (percent == Shown)
        return;
    Shown = percent;
    PostMessageA(hWnd, PBM_SETPOS, (WPARAM)percent, 0);
}

// ---------------------------------------------------------------- WINHELP

WINHELP::WINHELP() : hOwner(NULL), HelpFile(""), DefaultId(-1), NumHelpIds(0), Viewer(NULL)
{
    memset(HelpIds, 0, sizeof(HelpIds));
}

BOOL WINHELP::HasHelpFile() const
{
    return HelpFile.Len() > 0;
}

int WINHELP::ShowHelp(int hid)
{
    for (int i = 0; i < NumHelpIds; i++) {
        if (HelpIds[i] == hid) {
            if (Viewer)
                Viewer(HelpFile, hid);
            else
                WinHelpA(hOwner, HelpFile, HELP_CONTEXT, (ULONG_PTR)hid);
            return 1;
        }
    }
    return 0;
}

int WINHELP::ShowHelpFor(HWND window)
{
    for (HWND w = window; w; w = GetParent(w))
        if (ShowHelp(WINDOW::QueryId(w)))
            return 1;
    return 0;
}

void WINHELP::SetHelpFile(const char* path)
{
    if (!path)
        return;
    HelpFile = STRING(path);
    NumHelpIds = 0;   // the topics are those of the new file
    size_t n = strlen(path);
    STRING cnt(path);
    cnt.Truncate(n >= 3 ? (int)n - 3 : 0);
    cnt.Append("cnt", -1);
    FILE* fhelpcnt = fopen(cnt, "rt");
    ASSERTINFO(fhelpcnt!=NULL, (const char*)cnt);
    if (!fhelpcnt)
        return;
    char line[1024];
    while (fgets(line, sizeof(line), fhelpcnt)) {
        char* eq = strchr(line, '=');
        if (!eq)
            continue;
        if (NumHelpIds >= ARRAYMAX(HelpIds)) {
            ASSERT(this->NumHelpIds<ARRAYMAX(this->HelpIds));
            break;
        }
        HelpIds[NumHelpIds++] = (int)atol(eq + 1);
    }
    fclose(fhelpcnt);
}
