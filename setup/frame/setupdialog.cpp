// The wizard frame and its step loop.
#include "setup/frame/setupdialog.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/winmisc.h"

// White brush of the header band, one for the process.
static HBRUSH WhiteBrush = NULL;

static LRESULT FrameHook(HWND, UINT message, WPARAM, LPARAM lparam)
{
    if (message == WM_CTLCOLORSTATIC) {
        int id = GetDlgCtrlID((HWND)lparam);
        if (id == IDC_HEADING || id == IDC_HEADDESC || id == IDC_HEADICON) {
            if (!WhiteBrush)
                WhiteBrush = CreateSolidBrush(0xFFFFFF);
            return (LRESULT)WhiteBrush;
        }
    } else if (message == WM_DESTROY && WhiteBrush) {
        DeleteObject(WhiteBrush);
        WhiteBrush = NULL;
    }
    return 0;
}

static RECT ChildRect(HWND dialog, int id)
{
    RECT r = {0, 0, 0, 0};
    HWND h = GetDlgItem(dialog, id);
    if (h) {
        GetWindowRect(h, &r);
        MapWindowPoints(NULL, dialog, (POINT*)&r, 2);
    }
    return r;
}

// ---------------------------------------------------------------- SEPARATOR

SEPARATOR::SEPARATOR(HWND parent, int id)
    : WINDOW(WS_CHILD, "", 0, 0, 100, 2, parent, id, "SetupSeparator")
{
}

LRESULT SEPARATOR::WindowProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hWnd, &ps);
        RECT r;
        ::GetClientRect(hWnd, &r);
        HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
        HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
        HGDIOBJ old = SelectObject(dc, shadow);
        MoveToEx(dc, 0, 0, NULL);
        LineTo(dc, r.right, 0);
        SelectObject(dc, light);
        MoveToEx(dc, 0, 1, NULL);
        LineTo(dc, r.right, 1);
        SelectObject(dc, old);
        DeleteObject(shadow);
        DeleteObject(light);
        EndPaint(hWnd, &ps);
        return 0;
    }
    return WINDOW::WindowProc(message, wparam, lparam);
}

// ---------------------------------------------------------------- SETUPPAGE

INT_PTR SETUPPAGE::DialogProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    HWND frame = GetParent(hWnd);
    if (message == WM_COMMAND && HIWORD(wparam) == 0 && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)
        && !GetDlgItem(hWnd, LOWORD(wparam)) && frame) {
        int cid = LOWORD(wparam);
        SendMessageA(frame, WM_COMMAND, (WPARAM)cid, (LPARAM)GetDlgItem(frame, cid));
        return 1;
    }
    if (message == WM_CLOSE && frame) {
        // Esc in a multi-line edit closes its parent: that is the frame's Cancel.
        SendMessageA(frame, WM_COMMAND, (WPARAM)IDCANCEL, (LPARAM)GetDlgItem(frame, IDCANCEL));
        return 1;
    }
    return DATADIALOG::DialogProc(message, wparam, lparam);
}

std::unique_ptr<PROGRESSBAR> PageProgressBar(HWND page)
{
    HWND placeholder = GetDlgItem(page, IDC_PLACEHOLDER);
    RECT r = {0, 0, 300, 12};
    if (placeholder) {
        GetWindowRect(placeholder, &r);
        MapWindowPoints(NULL, page, (POINT*)&r, 2);
        DestroyWindow(placeholder);
    }
    std::unique_ptr<PROGRESSBAR> bar = std::make_unique<PROGRESSBAR>(page, IDC_PLACEHOLDER);
    bar->Move(r);
    ShowWindow(bar->Hwnd(), SW_SHOW);
    return bar;
}

// ---------------------------------------------------------------- PAGEWORKER

PAGEWORKER::~PAGEWORKER()
{
    Join();
}

BOOL PAGEWORKER::Start(LPTHREAD_START_ROUTINE function, LPVOID parameter)
{
    Finished = FALSE;
    hThread = OSYS::CreateThread(function, parameter);
    return hThread != NULL;
}

void PAGEWORKER::Done()
{
    // A worker the page had to run itself has nobody waiting for it.
    if (hThread)
        PostMessageA(Frame->Hwnd(), WM_SETUP_DONE, 0, 0);
}

void PAGEWORKER::Join()
{
    if (!hThread)
        return;
    // The worker may still be sending to our windows on its way out: answer that while waiting.
    for (;;) {
        DWORD rc = MsgWaitForMultipleObjects(1, &hThread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (rc != WAIT_OBJECT_0 + 1)
            break;
        MSG msg;
        PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    OSYS::WaitThread(hThread, -1);
    hThread = NULL;
}

int PAGEWORKER::RunWhileWorking()
{
    for (;;) {
        int result = Working() ? Frame->Run() : SETUP_DONE;
        if (result == SETUP_DONE) {
            Finished = TRUE;
            Join();
            return SETUP_DONE;
        }
        if (result != SETUP_NEXT)
            return result;
    }
}

// ---------------------------------------------------------------- SETUPDIALOG

SETUPDIALOG::SETUPDIALOG(const char* caption, const char* cancelquestion, int descsize)
    : DATADIALOG(IDD_WIZARD, NULL, NULL), hHeadFont(NULL), hDescFont(NULL), DescSize(descsize),
      CancelQuestion(cancelquestion), Hook(NULL)
{
    Upper = std::make_unique<SEPARATOR>(hWnd, 100);
    Lower = std::make_unique<SEPARATOR>(hWnd, 101);
    SetWindowTextA(hWnd, caption ? caption : "");
    SetHook(FrameHook);

    RECT r = ChildRect(hWnd, IDC_HEADDESC);
    if (HWND desc = Item(IDC_HEADDESC))
        MoveWindow(desc, r.left, r.top + 1, r.right - r.left, r.bottom - r.top, FALSE);
    if (HWND h = Item(IDC_PLACEHOLDER))
        ShowWindow(h, SW_HIDE);

    RECT band = ChildRect(hWnd, IDC_HEADBAND);
    RECT area = ChildRect(hWnd, IDC_PAGEAREA);
    RECT back = ChildRect(hWnd, IDC_BACK);
    MoveWindow(*Upper, 0, band.bottom - 1, band.right, 2, FALSE);
    ShowWindow(*Upper, SW_SHOW);
    MoveWindow(*Lower, 0, area.bottom + (back.top - area.bottom) / 4, band.right, 2, FALSE);
    ShowWindow(*Lower, SW_SHOW);
}

SETUPDIALOG::~SETUPDIALOG()
{
    Assert(!this->pSubDlg ? TRUE : FALSE, "!this->pSubDlg", "setup/setupdialog", 115, NULL, FALSE);
    RemovePage();
    if (hHeadFont)
        DeleteObject(hHeadFont);
    if (hDescFont)
        DeleteObject(hDescFont);
    Upper.reset();
    Lower.reset();
    if (hWnd) {
        DestroyWindow(hWnd);
        hWnd = NULL;
    }
}

BOOL SETUPDIALOG::Usable(int id) const
{
    HWND h = Item(id);
    return h && IsWindowVisible(h) && IsWindowEnabled(h);
}

void SETUPDIALOG::SetButton(int id, BOOL show, BOOL isdefault)
{
    HWND h = Item(id);
    if (!h)
        return;
    ShowWindow(h, show ? SW_SHOW : SW_HIDE);
    LONG_PTR style = GetWindowLongPtrA(h, GWL_STYLE);
    style = isdefault ? (style | BS_DEFPUSHBUTTON) : (style & ~(LONG_PTR)BS_DEFPUSHBUTTON);
    SendMessageA(h, BM_SETSTYLE, (WPARAM)(style & 0xFFFF), TRUE);
    InvalidateRect(h, NULL, TRUE);
}

INT_PTR SETUPDIALOG::DialogProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wparam) == 0) {
            int cid = LOWORD(wparam);
            if (cid == IDOK) {
                // Enter without a default button: Next, but only a Next the user could click.
                if (!Usable(IDC_NEXT))
                    return 1;
                cid = IDC_NEXT;
                wparam = IDC_NEXT;
                lparam = (LPARAM)Item(IDC_NEXT);
            }
            if ((cid == IDC_NEXT || cid == IDC_BACK || cid == IDCANCEL) && !Usable(cid))
                return 1;
        }
        break;
    case WM_CLOSE:
        // The close command is Cancel, and only while Cancel could be pressed.
        if (!Usable(IDCANCEL))
            return 1;
        return DIALOG::DialogProc(WM_COMMAND, IDCANCEL, (LPARAM)Item(IDCANCEL));
    case WM_SETUP_FOCUS:
        if (HWND h = Item((int)wparam))
            SetFocus(h);
        return 1;
    case WM_SETUP_DONE:
        End(SETUP_DONE);
        return 1;
    }
    return DIALOG::DialogProc(message, wparam, lparam);
}

DATADIALOG* SETUPDIALOG::CreatePage(const char* heading, const char* description, int dialogid, HINSTANCE module)
{
    SetDlgItemTextA(hWnd, IDC_HEADING, heading ? heading : "");
    SetDlgItemTextA(hWnd, IDC_HEADDESC, description ? description : "");
    if (!hHeadFont) {
        hHeadFont = MakeFont("Arial", 9, TRUE, FALSE);
        SendDlgItemMessageA(hWnd, IDC_HEADING, WM_SETFONT, (WPARAM)hHeadFont, TRUE);
    }
    if (DescSize != -1 && !hDescFont) {
        hDescFont = MakeFont("Arial", DescSize, TRUE, FALSE);
        SendDlgItemMessageA(hWnd, IDC_HEADDESC, WM_SETFONT, (WPARAM)hDescFont, TRUE);
    }
    HWND area = Item(IDC_PAGEAREA);
    ShowWindow(area, SW_SHOW);
    RECT r = ChildRect(hWnd, IDC_PAGEAREA);
    ShowWindow(area, SW_HIDE);

    pSubDlg = std::make_unique<SETUPPAGE>(dialogid, hWnd, module);
    Assert(this->pSubDlg && pSubDlg->Hwnd() ? TRUE : FALSE, "this->pSubDlg", "setup/setupdialog", 183, NULL, FALSE);
    HWND page = pSubDlg->Hwnd();
    if (page) {
        SetWindowLongPtrA(page, GWL_STYLE, GetWindowLongPtrA(page, GWL_STYLE) & ~(LONG_PTR)WS_BORDER);
        MoveWindow(page, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
        SetWindowLongPtrA(page, GWL_EXSTYLE, GetWindowLongPtrA(page, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
        ShowWindow(page, SW_SHOW);
    }
    return pSubDlg.get();
}

void SETUPDIALOG::RemovePage()
{
    pSubDlg.reset();
}

int SETUPDIALOG::Run()
{
    if (pSubDlg)
        pSubDlg->ToControls();
    ShowWindow(hWnd, SW_SHOW);
    SetForegroundWindow(hWnd);

    // Focus on the first control a user could tab to, or on the checked radio button.
    if (pSubDlg)
        for (HWND c = GetWindow(pSubDlg->Hwnd(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            LONG_PTR style = GetWindowLongPtrA(c, GWL_STYLE);
            char cls[16] = "";
            GetClassNameA(c, cls, sizeof(cls));
            BOOL button = lstrcmpiA(cls, "Button") == 0;
            BOOL autoradio = button && (style & 0x0F) == BS_AUTORADIOBUTTON;
            BOOL checked = button && SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
            if (((style & WS_TABSTOP) && IsWindowEnabled(c) && !autoradio) || (checked && IsWindowEnabled(c))) {
                SetFocus(c);
                break;
            }
        }

    int result = ModalLoop();
    if (pSubDlg)
        pSubDlg->FromControls();
    return result;
}

BOOL SETUPDIALOG::AskContinue()
{
    char caption[256] = "";
    GetWindowTextA(hWnd, caption, sizeof(caption));
    return MessageYesNo(hWnd, caption, CancelQuestion);
}

// Creates the step's page and sets the buttons: no Back on the first step,
// only the relabelled Cancel (Finish) on the last.
void SETUPDIALOG::ShowStep(const SETUPSTEP& step, BOOL first, BOOL last, const char* canceltext)
{
    HINSTANCE res = APP::ResourceModule();
    CreatePage(OSYS::GetStringFromResource(step.Heading, res), OSYS::GetStringFromResource(step.Description, res),
               step.Dialog, step.Module);
    if (last) {
        SetButton(IDC_NEXT, FALSE, FALSE);
        SetButton(IDC_BACK, FALSE, FALSE);
        SetDlgItemTextA(hWnd, IDCANCEL, OSYS::GetStringFromResource(IDS_FINISHBUTTON, res));
        SendMessageA(hWnd, DM_SETDEFID, IDCANCEL, 0);
        SetButton(IDCANCEL, TRUE, TRUE);
        SetFocus(Item(IDCANCEL));
    } else {
        SetDlgItemTextA(hWnd, IDCANCEL, canceltext);
        SendMessageA(hWnd, DM_SETDEFID, IDC_NEXT, 0);
        SetButton(IDCANCEL, TRUE, FALSE);
        SetButton(IDC_BACK, !first, FALSE);
        SetButton(IDC_NEXT, TRUE, TRUE);
        SetFocus(Item(IDC_NEXT));
    }
}

// The page of one step between the hook's events 4 and 5; its result.
int SETUPDIALOG::RunStep(const SETUPSTEP& step)
{
    HWND page = pSubDlg ? pSubDlg->Hwnd() : NULL;
    if (Hook)
        Hook(HOOK_PAGESTART, step.idStep, hWnd, page, (INT_PTR)step.Page, step.HookWord);
    int result = step.Page ? step.Page(this, pSubDlg.get()) : Run();
    // A page that quit after its own question was cancelled as far as hooks know.
    if (Hook)
        Hook(HOOK_PAGEEND, step.idStep, hWnd, page, (INT_PTR)step.Page,
             (INT_PTR)(result == SETUP_QUIT ? SETUP_CANCEL : result));
    RemovePage();
    return result;
}

int SETUPDIALOG::RunSteps(const SETUPSTEP* steps, int count, int laststep)
{
    char canceltext[128] = "";
    GetDlgItemTextA(hWnd, IDCANCEL, canceltext, sizeof(canceltext));
    int index = 0;
    int previous = SETUP_NEXT;   // a first page that skips moves forward
    for (;;) {
        if (index < 0 || index >= count) {
            // The table ends here; never read past it.
            Assert(FALSE, "step<count", "setup/setupdialog", 294, NULL, FALSE);
            return 0;
        }
        const SETUPSTEP& step = steps[index];
        if (!Assert(step.idStep != 0, "steps[step].idstep!=0", "setup/setupdialog", 294, NULL, FALSE) || step.idStep == 0)
            return 0;
        BOOL islast = step.idStep == laststep;
        ShowStep(step, index == 0, islast, canceltext);
        int result = RunStep(step);
        if (result == SETUP_SKIP)
            result = previous;
        if (result == SETUP_BACK) {
            if (index > 0)
                index--;
            else
                Assert(FALSE, "FALSE", "setup/setupdialog", 356, NULL, FALSE);
        } else if (result == SETUP_QUIT) {
            return 0;
        } else if (result == SETUP_CANCEL) {
            if (islast)
                return 1;
            if (!AskContinue())
                return 0;
        } else if (result == SETUP_NEXT) {
            if (index + 1 < count)
                index++;
            else
                Assert(FALSE, "step+1<count", "setup/setupdialog", 294, NULL, FALSE);
        }
        previous = result;
    }
}
