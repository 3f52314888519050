// The script's actions: one table of name, arguments and handler. Each action
// does what a user's input does (posted clicks, characters and keys), or waits
// until an expectation holds.
#include "brisel/automate/script.h"
#include <commctrl.h>
#include <shlobj.h>
#include <cstdlib>
#include <cstring>

namespace {

// Dialog controls of the system's common dialogs that the actions fill in.
const int IDC_SAVENAME = 0x480;          // edt1: the file name
const int IDC_SAVENAMECOMBO = 0x47c;     // cmb13: holds the name in newer dialogs
const int IDC_PRINTERNAME = 0x473;       // cmb4: the printer

std::string Lower(std::string s)
{
    for (char& ch : s)
        ch = (char)tolower((unsigned char)ch);
    return s;
}

std::string Upper(std::string s)
{
    for (char& ch : s)
        ch = (char)toupper((unsigned char)ch);
    return s;
}

// "\r" and "\n" in a box text stand for those characters.
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
    if (Script.NumHeld >= (int)sizeof(Script.Held))
        return;
    INPUT in;
    memset(&in, 0, sizeof(in));
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    SendInput(1, &in, sizeof(in));
    Script.Held[Script.NumHeld++] = vk;
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

HWND TargetOrFail(const char* what)
{
    HWND top = Target();
    if (!top)
        Fail(SCRIPT_EXIT_ACTION, "no window %s", what);
    return top;
}

// The text a user sees: a list box's selected entry, any other control's text.
std::string ControlText(HWND c)
{
    if (lstrcmpiA(ClassOf(c).c_str(), "ListBox") != 0)
        return TextOf(c);
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

// Waits until check() holds for control id of the target window.
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

// Index of the entry of a list or combo box whose text is text, or -1.
int FindEntry(HWND c, BOOL list, const std::string& text)
{
    int count = (int)SendRead(c, list ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        int len = (int)SendRead(c, list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, i, 0);
        if (len < 0 || len > 4096)
            continue;
        std::string t(len + 1, '\0');
        SendRead(c, list ? LB_GETTEXT : CB_GETLBTEXT, i, (LPARAM)&t[0]);
        t.resize(strlen(t.c_str()));
        if (t == text)
            return i;
    }
    return -1;
}

// Confirms a system dialog once the program has taken what was put in.
void Confirm(HWND dlg)
{
    Settle();
    PostMessageA(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
}

// ---------------------------------------------------------------- the actions

void DoWait(const SCRIPTLINE& l)
{
    Sleep((DWORD)atol(l.Text.c_str()));
}

void DoHandover(const SCRIPTLINE& l)
{
    SetEnvironmentVariableA("BRISEL_SCRIPT", Resolve(l.Text).c_str());
}

void DoRelease(const SCRIPTLINE&)
{
    ReleaseHeld();
}

// Clicks the moment the control becomes enabled, without waiting for the program to settle.
void DoRaceClick(const SCRIPTLINE& l)
{
    DWORD deadline = Deadline();
    for (;;) {
        HWND c = FindControl(Target(), l.Id);
        if (c && Ready(c)) {
            PostMessageA(c, BM_CLICK, 0, 0);
            return;
        }
        if (Expired(deadline))
            Fail(SCRIPT_EXIT_TIMEOUT, "control %d did not become enabled", l.Id);
        Sleep(0);
    }
}

void DoClick(const SCRIPTLINE& l)
{
    PostMessageA(WaitControl(l.Id), BM_CLICK, 0, 0);
}

void DoCheck(const SCRIPTLINE& l)
{
    HWND c = WaitControl(l.Id);
    LRESULT state = SendRead(c, BM_GETCHECK, 0, 0);
    if ((state == BST_CHECKED) != (l.Action == "check"))
        PostMessageA(c, BM_CLICK, 0, 0);
}

void DoType(const SCRIPTLINE& l)
{
    HWND c = WaitControl(l.Id);
    PostMessageA(c, EM_SETSEL, 0, -1);
    if (l.Text.empty())
        PostMessageA(c, WM_CHAR, VK_BACK, 1);
    for (unsigned char ch : l.Text)
        PostMessageA(c, WM_CHAR, ch, 1);
}

void DoSelect(const SCRIPTLINE& l)
{
    HWND c = WaitControl(l.Id);
    BOOL list = lstrcmpiA(ClassOf(c).c_str(), "ListBox") == 0;
    DWORD deadline = Deadline();
    int i;
    while ((i = FindEntry(c, list, l.Text)) < 0) {
        if (Expired(deadline))
            Fail(SCRIPT_EXIT_ACTION, "control %d has no entry \"%s\"", l.Id, l.Text.c_str());
        Sleep(10);
    }
    if (list && (GetWindowLongPtrA(c, GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)))
        PostMessageA(c, LB_SETSEL, TRUE, i);
    else
        PostMessageA(c, list ? LB_SETCURSEL : CB_SETCURSEL, i, 0);
    PostMessageA(GetParent(c), WM_COMMAND, MAKEWPARAM(l.Id, list ? LBN_SELCHANGE : CBN_SELCHANGE), (LPARAM)c);
}

void DoKey(const SCRIPTLINE& l)
{
    HWND top = TargetOrFail("to send the key to");
    std::string k = Upper(l.Text);
    UINT vk = k == "ENTER" ? VK_RETURN : k == "ESC" ? VK_ESCAPE : k == "TAB" || k == "SHIFT-TAB" ? VK_TAB
            : k == "SPACE" ? VK_SPACE : 0;
    if (!vk)
        Fail(SCRIPT_EXIT_BADSCRIPT, "unknown key \"%s\"", l.Text.c_str());
    BOOL shifted = k == "SHIFT-TAB";
    if (shifted) {
        HoldKey(VK_SHIFT);
        Settle();
    }
    HWND f = FocusOf(top);
    PostKey(f, vk, TRUE);
    PostKey(f, vk, FALSE);
    if (shifted) {
        Settle();
        ReleaseHeld();
    }
}

void DoHold(const SCRIPTLINE& l)
{
    std::string k = Upper(l.Text);
    if (k == "SHIFT")
        HoldKey(VK_SHIFT);
    else if (k == "CTRL")
        HoldKey(VK_CONTROL);
    else
        Fail(SCRIPT_EXIT_BADSCRIPT, "only SHIFT or CTRL can be held");
}

void DoClose(const SCRIPTLINE&)
{
    PostMessageA(TargetOrFail("to close"), WM_SYSCOMMAND, SC_CLOSE, 0);
}

void DoAnswer(const SCRIPTLINE& l)
{
    std::string a = Lower(l.Text);
    int id = a == "yes" ? IDYES : a == "no" ? IDNO : a == "ok" ? IDOK : a == "cancel" ? IDCANCEL : 0;
    if (!id)
        Fail(SCRIPT_EXIT_BADSCRIPT, "answer must be yes, no, ok or cancel");
    HWND box = WaitBox(NULL);
    HWND b = GetDlgItem(box, id);
    if (!b || !IsWindowVisible(b))
        Fail(SCRIPT_EXIT_ACTION, "the message box %s has no button \"%s\"", Quote(box).c_str(), l.Text.c_str());
    PostMessageA(b, BM_CLICK, 0, 0);
}

void DoExpectBox(const SCRIPTLINE& l)
{
    std::string t = Unescape(l.Text);
    WaitBox(&t);
}

void DoExpectDialog(const SCRIPTLINE& l)
{
    DWORD deadline = Deadline();
    for (;;) {
        HWND top = Target();
        if (!(top && IsMessageBox(top)))
            CheckNoBox();
        std::vector<int> ids = DialogIds(top);
        for (int i : ids)
            if (i == l.Id)
                return;
        if (Expired(deadline)) {
            std::string have;
            for (int i : ids)
                have += (have.empty() ? "" : ", ") + std::to_string(i);
            Fail(SCRIPT_EXIT_EXPECT, "expected dialog %d, but the topmost window is %s%s%s", l.Id,
                 top ? ("\"" + TextOf(top) + "\"").c_str() : "none", have.empty() ? "" : " with dialog ",
                 have.c_str());
        }
        Sleep(10);
    }
}

void DoExpectText(const SCRIPTLINE& l)
{
    Expect(l.Id, ("to read \"" + l.Text + "\"").c_str(), [&](HWND c, std::string& actual) {
        std::string t = ControlText(c);
        actual = "\"" + t + "\"";
        return t == l.Text;
    });
}

void DoExpectEnabled(const SCRIPTLINE& l)
{
    BOOL want = l.Action == "expect-enabled";
    Expect(l.Id, want ? "enabled" : "disabled", [&](HWND c, std::string& actual) {
        BOOL e = IsWindowEnabled(c);
        actual = e ? "enabled" : "disabled";
        return e == want;
    });
}

void DoExpectHidden(const SCRIPTLINE& l)
{
    Expect(l.Id, "hidden", [&](HWND c, std::string& actual) {
        BOOL v = IsWindowVisible(c);
        actual = v ? "visible" : "hidden";
        return !v;
    });
}

void DoExpectChecked(const SCRIPTLINE& l)
{
    BOOL want = l.Action == "expect-checked";
    Expect(l.Id, want ? "checked" : "unchecked", [&](HWND c, std::string& actual) {
        BOOL on = SendRead(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
        actual = on ? "checked" : "unchecked";
        return on == want;
    });
}

void DoScreenshot(const SCRIPTLINE& l)
{
    HWND top = TargetOrFail("for the screenshot");
    if (!Screenshot(top, Resolve(l.Text)))
        Fail(SCRIPT_EXIT_ACTION, "the screenshot could not be written to %s", Resolve(l.Text).c_str());
}

void DoSaveAs(const SCRIPTLINE& l)
{
    HWND dlg = WaitSystemDialog("Edit", "save dialog");
    HWND edit = GetDlgItem(dlg, IDC_SAVENAME);
    if (!edit) {
        HWND combo = GetDlgItem(dlg, IDC_SAVENAMECOMBO);
        edit = combo ? ChildOfClass(combo, "Edit") : ChildOfClass(dlg, "Edit");
    }
    std::string path = Resolve(l.Text);
    InterlockedIncrement(&Script.ScriptSending);
    DWORD_PTR res;
    SendMessageTimeoutA(edit, WM_SETTEXT, 0, (LPARAM)path.c_str(), SMTO_ABORTIFHUNG, 5000, &res);
    InterlockedDecrement(&Script.ScriptSending);
    Confirm(dlg);
}

void DoBrowse(const SCRIPTLINE& l)
{
    HWND dlg = WaitSystemDialog("SysTreeView32", "folder browser");
    std::string path = Resolve(l.Text);
    SendRead(dlg, BFFM_SETSELECTIONA, TRUE, (LPARAM)path.c_str());
    Confirm(dlg);
}

void DoPrintTo(const SCRIPTLINE& l)
{
    HWND dlg = WaitSystemDialog("ComboBox", "print dialog");
    HWND combo = GetDlgItem(dlg, IDC_PRINTERNAME);
    if (!combo)
        combo = ChildOfClass(dlg, "ComboBox");
    LRESULT i = SendRead(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)l.Text.c_str());
    if (i < 0)
        Fail(SCRIPT_EXIT_ACTION, "the print dialog has no printer \"%s\"", l.Text.c_str());
    PostMessageA(combo, CB_SETCURSEL, i, 0);
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), (LPARAM)combo);
    Confirm(dlg);
}

const SCRIPTACTION Actions[] = {
    { "wait",             ARGS_TEXT,    SETTLE_NONE, DoWait },
    { "handover",         ARGS_TEXT,    SETTLE_NONE, DoHandover },
    { "release",          ARGS_NONE,    SETTLE_NONE, DoRelease },
    { "race-click",       ARGS_ID,      SETTLE_NONE, DoRaceClick },
    { "click",            ARGS_ID,      SETTLE_IDLE, DoClick },
    { "check",            ARGS_ID,      SETTLE_IDLE, DoCheck },
    { "uncheck",          ARGS_ID,      SETTLE_IDLE, DoCheck },
    { "type",             ARGS_ID_TEXT, SETTLE_IDLE, DoType },
    { "select",           ARGS_ID_TEXT, SETTLE_IDLE, DoSelect },
    { "key",              ARGS_TEXT,    SETTLE_IDLE, DoKey },
    { "hold",             ARGS_TEXT,    SETTLE_IDLE, DoHold },
    { "close",            ARGS_NONE,    SETTLE_IDLE, DoClose },
    { "answer",           ARGS_TEXT,    SETTLE_BOX,  DoAnswer },
    { "expect-box",       ARGS_TEXT,    SETTLE_BOX,  DoExpectBox },
    { "expect-dialog",    ARGS_ID,      SETTLE_IDLE, DoExpectDialog },
    { "expect-text",      ARGS_ID_TEXT, SETTLE_IDLE, DoExpectText },
    { "expect-enabled",   ARGS_ID,      SETTLE_IDLE, DoExpectEnabled },
    { "expect-disabled",  ARGS_ID,      SETTLE_IDLE, DoExpectEnabled },
    { "expect-hidden",    ARGS_ID,      SETTLE_IDLE, DoExpectHidden },
    { "expect-checked",   ARGS_ID,      SETTLE_IDLE, DoExpectChecked },
    { "expect-unchecked", ARGS_ID,      SETTLE_IDLE, DoExpectChecked },
    { "screenshot",       ARGS_TEXT,    SETTLE_IDLE, DoScreenshot },
    { "save-as",          ARGS_TEXT,    SETTLE_IDLE, DoSaveAs },
    { "browse",           ARGS_TEXT,    SETTLE_IDLE, DoBrowse },
    { "print-to",         ARGS_TEXT,    SETTLE_IDLE, DoPrintTo },
};

int ParseId(const std::string& arg)
{
    char* end = NULL;
    long v = strtol(arg.c_str(), &end, 10);
    if (arg.empty() || *end)
        Fail(SCRIPT_EXIT_BADSCRIPT, "\"%s\" is not a control id", arg.c_str());
    return (int)v;
}

} // namespace

void DoLine(const std::string& text)
{
    // The action, then its first word, then the rest of the line as written.
    size_t sp = text.find(' ');
    SCRIPTLINE line;
    line.Action = Lower(text.substr(0, sp));
    line.Id = 0;
    std::string rest = sp == std::string::npos ? "" : text.substr(sp + 1);
    const SCRIPTACTION* action = NULL;
    for (const SCRIPTACTION& a : Actions)
        if (line.Action == a.Name)
            action = &a;
    if (!action)
        Fail(SCRIPT_EXIT_BADSCRIPT, "unknown action \"%s\"", line.Action.c_str());

    size_t sp2 = rest.find(' ');
    if (action->Args == ARGS_ID || action->Args == ARGS_ID_TEXT)
        line.Id = ParseId(rest.substr(0, sp2));
    if (action->Args == ARGS_ID_TEXT)
        line.Text = sp2 == std::string::npos ? "" : rest.substr(sp2 + 1);
    else if (action->Args == ARGS_TEXT)
        line.Text = rest;

    if (action->Settle != SETTLE_NONE)
        Settle(action->Settle == SETTLE_BOX);
    action->Handler(line);
}
