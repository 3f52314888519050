// Demo program for the scripted-run tests: small dialogs of the window framework
// and of the data-bound dialogs, run through the real application start, so
// that /SCRIPT: and BRISEL_SCRIPT drive it as they drive the setup program.
// "/DEMO:name" picks the scenario; results go to a message box (for the
// script) and to standard output (for the test).
#include <windows.h>
#include <cstdio>
#include <cstring>
#include "brisel/app.h"
#include "brisel/automate/automate.h"
#include "brisel/clock.h"
#include "brisel/datadialogs.h"
#include "brisel/osys.h"
#include "brisel/stringarray.h"
#include "brisel/windows.h"
#include "brisel/winmisc.h"
#include "brisel/winprint.h"
#include "demo.h"

static void Report(const char* text)
{
    printf("%s\n", text);
    fflush(stdout);
    MessageBoxA(NULL, text, "Demo result", MB_OK | MB_SETFOREGROUND);
}

static int HelpShown, HelpTopic;
static BOOL CountHelp(const char*, int id)
{
    HelpShown++;
    HelpTopic = id;
    return TRUE;
}

// Basic dialog: end values, the help button, edit limits; reports its size.
static int Basic(int runs)
{
    char dir[MAX_PATH], hlp[MAX_PATH + 16], cnt[MAX_PATH + 16];
    GetTempPathA(sizeof(dir), dir);
    snprintf(hlp, sizeof(hlp), "%sdemo.hlp", dir);
    snprintf(cnt, sizeof(cnt), "%sdemo.cnt", dir);
    FILE* f = fopen(cnt, "w");
    if (f) {
        fputs(":Base demo.hlp\n1 Basic dialog=100\n", f);
        fclose(f);
    }
    AppHelp.SetViewer(CountHelp);
    AppHelp.SetHelpFile(hlp);

    DIALOG d(IDD_BASIC, NULL);
    SendDlgItemMessageA(d.Hwnd(), 201, EM_LIMITTEXT, 5, 0);
    char text[512];
    for (int i = 0; i < runs; i++) {
        int end = d.Run();
        RECT r;
        GetWindowRect(d.Hwnd(), &r);
        char name[64] = "", number[64] = "";
        GetDlgItemTextA(d.Hwnd(), 201, name, sizeof(name));
        GetDlgItemTextA(d.Hwnd(), 202, number, sizeof(number));
        snprintf(text, sizeof(text),
                 "run=%d end=%d name=[%s] number=[%s] check=%d help=%d topic=%d hidden=%d ctrl=%d size=%ldx%ld",
                 i + 1, end, name, number, (int)IsDlgButtonChecked(d.Hwnd(), 301), HelpShown, HelpTopic,
                 IsWindow(d.Hwnd()) && !IsWindowVisible(d.Hwnd()), (GetKeyState(VK_CONTROL) & 0x8000) != 0,
                 r.right - r.left, r.bottom - r.top);
        Report(text);
    }
    DeleteFileA(cnt);
    return 0;
}

static STRING PushCallback(INT_PTR userdata, HWND, STRING value)
{
    STRING s(value);
    s.AppendFormat("+%d", (int)userdata);
    return s;
}

// Data dialog: every item kind and the rules; runs until confirmed with OK.
static int Data()
{
    STRING edit(""), spin(""), path("C:\\missing folder"), radio("1"), list("beta"), combo("gr"), push("p");
    STRINGARRAY choices;
    choices.Add(STRING("Alpha"));
    choices.Add(STRING("Beta"));
    choices.Add(STRING("Gamma"));
    MODALDATADIALOG d(IDD_DATA, NULL);
    LISTCONTROL c(d.Hwnd(), 402);
    c.Add("Red");
    c.Add("Green");
    c.Add("Blue");
    d.DisableItem(110, 201, DEPEND_UNCHECKED);
    d.DisableItem(111, 601, DEPEND_UNCHECKED);
    d.DisableItem(111, 201, DEPEND_EQUAL, "x");
    d.DisableItem(112, 602, DEPEND_CHECKED | DEPEND_HIDE);
    d.DisableItem(113, 401, DEPEND_EQUAL, "Beta");
    d.DisableItem(114, 203, DEPEND_NOTDIR);
    d.DisableItem(115, 303, DEPEND_CHECKED);
    d.DisableItem(116, 601, DEPEND_CHECKED);
    d.Add<EDITITEM>(201, &edit, 8);
    d.Add<SPINITEM>(202, &spin, 0, 999);
    d.Add<EDITITEM>(203, &path, 200);
    d.Add<RADIOITEM>(301, &radio, 0);
    d.Add<RADIOITEM>(302, &radio, 1);
    d.Add<RADIOITEM>(303, &radio, 2);
    d.Add<LISTITEM>(401, &list, &choices);
    d.Add<LISTITEM>(402, &combo, nullptr);
    d.Add<PUSHITEM>(501, &push, PushCallback, 7);
    int end;
    do {
        end = d.Run();
        char text[512];
        HWND up = GetDlgItem(d.Hwnd(), 65000);
        char cls[64] = "";
        GetClassNameA(up, cls, sizeof(cls));
        snprintf(text, sizeof(text),
                 "end=%d edit=[%s] spin=[%s] path=[%s] radio=[%s] list=[%s] combo=[%s] push=[%s] updown=%s limit=%d",
                 end, edit.Str(), spin.Str(), path.Str(), radio.Str(), list.Str(), combo.Str(), push.Str(), cls,
                 (int)SendDlgItemMessageA(d.Hwnd(), 202, EM_GETLIMITTEXT, 0, 0));
        Report(text);
    } while (end != 1);
    return 0;
}

// A dialog whose id 65000 is taken: the up-down control moves to the next id.
static int SpinFull()
{
    STRING v("5");
    MODALDATADIALOG d(IDD_SPINFULL, NULL);
    d.Add<SPINITEM>(202, &v, -5, 50);
    int end = d.Run();
    char text[256];
    snprintf(text, sizeof(text), "end=%d value=[%s] at65001=%d", end, v.Str(),
             GetDlgItem(d.Hwnd(), 65001) != NULL);
    Report(text);
    return 0;
}

// Threads: a worker drives the controls while the dialog runs its loop.
#define WM_NUMBERED (WM_APP + 1)
#define WM_UIBOX    (WM_APP + 2)
#define WM_WORKDONE (WM_APP + 3)

class THREADDIALOG : public DIALOG
{
public:
    THREADDIALOG() : DIALOG(IDD_THREADS, NULL), Expected(0), Disorder(0), Errors(0), TimedOut(0), Worker(NULL) {}
    INT_PTR DialogProc(UINT message, WPARAM wparam, LPARAM lparam) override
    {
        switch (message) {
        case WM_COMMAND:
            if (LOWORD(wparam) == 210 && HIWORD(wparam) == 0) {
                EnableWindow(GetDlgItem(hWnd, 210), FALSE);
                Worker = OSYS::CreateThread(Work, this);
                return 1;
            }
            break;
        case WM_NUMBERED:
            if ((int)wparam != Expected)
                Disorder++;
            Expected = (int)wparam + 1;
            return 1;
        case WM_UIBOX:
            MessageBoxA(hWnd, "UI box while the worker runs", "Demo", MB_OK);
            return 1;
        case WM_WORKDONE:
            End(1);
            return 1;
        }
        return DIALOG::DialogProc(message, wparam, lparam);
    }
    static DWORD WINAPI Work(LPVOID p)
    {
        THREADDIALOG* d = (THREADDIALOG*)p;
        HWND dlg = d->hWnd, text = GetDlgItem(dlg, 201), button = GetDlgItem(dlg, 202), check = GetDlgItem(dlg, 203);
        DWORD start = GetTickCount();
        for (int i = 0; i < 1000; i++) {
            char t[32], back[32] = "";
            snprintf(t, sizeof(t), "%d", i);
            if (!SetWindowTextA(text, t) || !GetWindowTextA(text, back, sizeof(back)) || strcmp(t, back) != 0)
                d->Errors++;
            EnableWindow(button, i % 2);
            if ((IsWindowEnabled(button) != 0) != (i % 2 != 0))
                d->Errors++;
            SendMessageA(check, BM_SETCHECK, i % 2, 0);
            if (SendMessageA(check, BM_GETCHECK, 0, 0) != i % 2)
                d->Errors++;
            if (!PostMessageA(dlg, WM_NUMBERED, i, 0))
                d->Errors++;
            if (i == 500)
                SendMessageA(dlg, WM_UIBOX, 0, 0);
            if (GetTickCount() - start > 60000) {
                d->TimedOut = 1;
                break;
            }
        }
        MessageBoxA(NULL, "Worker box", "Demo worker", MB_OK | MB_SETFOREGROUND);
        PostMessageA(dlg, WM_WORKDONE, 0, 0);
        return 0;
    }
    int Expected, Disorder, Errors, TimedOut;
    HANDLE Worker;
};

static int Threads()
{
    THREADDIALOG d;
    int end = d.Run();
    if (d.Worker) {
        OSYS::WaitThread(d.Worker, 60000);
        CloseHandle(d.Worker);
    }
    char text[256];
    snprintf(text, sizeof(text), "end=%d received=%d disorder=%d errors=%d timeout=%d", end, d.Expected, d.Disorder,
             d.Errors, d.TimedOut);
    Report(text);
    return 0;
}

// The save dialog: reports the chosen path (or that it was cancelled).
static int Save()
{
    STRING initial = GetArgValue("INIT", 0);
    STRING filter = GetArgValue("FILTER", 0);
    if (!filter.IsNull())
        filter.Replace("~", "\n", TRUE);
    STRING chosen = SaveFileDialog(NULL, "Save demo", initial.IsNull() ? ".\\Name-Order.txt" : initial.Str(),
                                   filter.Str());
    STRING text;
    text.Format("saved=[%s] length=%d", chosen.IsNull() ? "<null>" : chosen.Str(), chosen.Len());
    Report(text.Str());
    return 0;
}

// A folder-browse button bound to an edit control.
static int Browse()
{
    STRING folder("C:\\windows"), title("Pick a folder|*");
    MODALDATADIALOG d(IDD_BROWSE, NULL);
    d.Add<EDITITEM>(201, &folder, 200);
    d.Add<PUSHITEM>(501, &title, BrowseForFolder, 201);
    int end = d.Run();
    STRING text;
    text.Format("end=%d folder=[%s] title=[%s]", end, folder.Str(), title.Str());
    Report(text.Str());
    return 0;
}

// Runs the basic dialog, then a copy of itself (which picks up a handed-over
// script), and reports the copy's exit code.
static int Spawn()
{
    DIALOG d(IDD_BASIC, NULL);
    d.Run();
    char cmd[MAX_PATH + 64];
    snprintf(cmd, sizeof(cmd), "\"%s\" /DEMO:basic", APP::ProgramPath().Str());
    STARTUPINFOA si;
    memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    DWORD code = 255;
    if (CreateProcessA(NULL, cmd, NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) {
        while (MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 120000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
        }
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    char text[64];
    snprintf(text, sizeof(text), "child=%lu", (unsigned long)code);
    Report(text);
    return 0;
}

// Where dialogs open: without an owner in the middle of the work area, on a
// visible owner centred over it, and clamped into the work area when the
// owner sits at its bottom-right corner. Each is shown by Run for the script.
static int Center()
{
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    HWND middle = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE | WS_BORDER, work.left + 100,
                                  work.top + 80, 600, 500, NULL, NULL, APP::Instance(), NULL);
    HWND corner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE | WS_BORDER, work.right - 60,
                                  work.bottom - 40, 400, 300, NULL, NULL, APP::Instance(), NULL);
    HWND owners[3] = {NULL, middle, corner};
    STRING text;
    text.Format("center work=%ld,%ld,%ld,%ld", work.left, work.top, work.right, work.bottom);
    for (HWND owner : owners) {
        DIALOG d(IDD_BASIC, owner);
        int end = d.Run();
        RECT r, o = {0, 0, 0, 0};
        GetWindowRect(d.Hwnd(), &r);
        if (owner)
            GetWindowRect(owner, &o);
        STRING part;
        part.Format(" end=%d owner=%ld,%ld,%ld,%ld dialog=%ld,%ld,%ld,%ld", end, o.left, o.top, o.right, o.bottom,
                    r.left, r.top, r.right, r.bottom);
        text.Append(part.Str(), part.Len());
    }
    DestroyWindow(middle);
    DestroyWindow(corner);
    Report(text.Str());
    return 0;
}

// Prints through the print dialog (or the default printer with /DEFAULT):
// two lines, or the bytes of the file /TEXT: names, as document /TITLE:.
// Reports the device values the test needs to check the PDF.
static int Print()
{
    STRING text("Brisel demo printout\r\nSecond\tline\r\n");
    STRING file = GetArgValue("TEXT", 0);
    if (!file.IsNull() && !text.Load(file, "rb")) {
        Report("print=no text file");
        return 1;
    }
    STRING title = GetArgValue("TITLE", 0);
    PRINTER p;
    int first = 1, last = 3, copies = 1;
    if (!p.Open(NULL, &first, &last, -1, &copies, TestArgValue("DEFAULT", 0))) {
        Report("print=cancelled");
        return 0;
    }
    p.SetMargins(25, 25, 15, 20);
    p.SetFont("Courier New", 10, FALSE, FALSE);
    p.StartDocument(title.IsNull() ? "Demo print" : title.Str(), FALSE);
    p.NewPage();
    p.Print(text.Str(), text.Len());
    RECT m = p.Margins();
    SIZE c = p.Cell();
    int sheets = p.Pages();
    char out[256];
    snprintf(out, sizeof(out), "print=done pages=%d-%d copies=%d dpi=%dx%d margins=%ld,%ld,%ld,%ld cell=%ldx%ld res=%dx%d sheets=%d",
             first, last, copies, GetDeviceCaps(p.Hdc(), LOGPIXELSX), GetDeviceCaps(p.Hdc(), LOGPIXELSY), m.left, m.top,
             m.right, m.bottom, c.cx, c.cy, GetDeviceCaps(p.Hdc(), HORZRES), GetDeviceCaps(p.Hdc(), VERTRES), sheets);
    p.EndDocument();
    Report(out);
    return 0;
}

// OpenDocument on the address /DOC: names, as the finish page's button does.
static int Open()
{
    STRING doc = GetArgValue("DOC", 0);
    OpenDocument(0, NULL, doc);
    STRING text;
    text.Format("opened=[%s]", doc.Str());
    Report(text.Str());
    return 0;
}

// The handler a test registers for its address: writes the folder it was
// started in and its command line into "received.txt" in that folder.
static int Record()
{
    STRING path = APP::StartDirectory() || "\\received.txt";
    FILE* f = fopen(path.Str(), "wb");
    if (!f)
        return 1;
    fprintf(f, "%s\n%s", APP::StartDirectory().Str(), GetCommandLineA());
    fclose(f);
    return 0;
}

int AppMain(int, char**)
{
    STRING demo = GetArgValue("DEMO", 0);
    if (demo == "print")
        return Print();
    if (demo == "center")
        return Center();
    if (demo == "open")
        return Open();
    if (demo == "record")
        return Record();
    if (demo == "spawn")
        return Spawn();
    if (demo == "save")
        return Save();
    if (demo == "browse")
        return Browse();
    if (demo == "basic")
        return Basic(1);
    if (demo == "twice")
        return Basic(2);
    if (demo == "data")
        return Data();
    if (demo == "spinfull")
        return SpinFull();
    if (demo == "threads")
        return Threads();
    if (demo == "clock") {
        SYSTEMTIME st;
        CLOCK::LocalTime(st);
        char text[128];
        snprintf(text, sizeof(text), "clock=%04d-%02d-%02d %02d:%02d:%02d script=%d", st.wYear, st.wMonth, st.wDay,
                 st.wHour, st.wMinute, st.wSecond, AutomateActive());
        Report(text);
        return 0;
    }
    if (demo == "exit")
        return 7;
    Report("unknown demo");
    return 1;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR parm, int show)
{
    AutomateRegister();
    return APP::WinMain(instance, previous, parm, show);
}
