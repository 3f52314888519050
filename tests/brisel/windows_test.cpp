// Window framework and data dialogs, driven directly on the test's own thread.
#include <gtest/gtest.h>
#include <vector>
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <string>
#include "brisel/datadialogs.h"
#include "brisel/halvo.h"
#include "brisel/stringarray.h"
#include "brisel/windows.h"

namespace {

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

class WindowsTest : public testing::Test
{
protected:
    void SetUp() override { LogitSwitch("/NOASSERT"); }
};

RECT WorkArea()
{
    RECT r;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

class LATEWINDOW : public WINDOW
{
public:
    LATEWINDOW() : WINDOW(WS_POPUP, "late", 0, 0, 50, 50, NULL, 77), Ready(1), SawCreate(0) {}
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override
    {
        if (message == WM_CREATE && lparam == 0)
            SawCreate = Ready;   // the derived constructor has run by now
        return WINDOW::WindowProc(message, wparam, lparam);
    }
    int Ready, SawCreate;
};

TEST_F(WindowsTest, WrapperIdsAndLateCreate)
{
    WINDOW none((HWND)NULL);
    EXPECT_EQ(none.Id(), -1);

    LATEWINDOW w;
    ASSERT_TRUE(w.Hwnd());
    EXPECT_EQ(w.SawCreate, 0);
    Pump();
    EXPECT_EQ(w.SawCreate, 1);
    EXPECT_EQ(WINDOW(w.Hwnd()).Id(), 77);

    HWND foreign = CreateWindowA("STATIC", "foreign", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    EXPECT_EQ(WINDOW(foreign).Id(), 0);
    DestroyWindow(foreign);

    DIALOG d(100, NULL);
    EXPECT_EQ(CONTROL(d.Hwnd(), 201).Id(), 201);
    EXPECT_EQ(WINDOW(d.Hwnd()).Id(), 100);
    EXPECT_EQ(WINDOW::QueryId(GetDlgItem(d.Hwnd(), 1234)), 1234);
}

TEST_F(WindowsTest, EndValues)
{
    DIALOG d(100, NULL);
    HWND h = d.Hwnd();
    struct { UINT msg; int id; int end; } cases[] = {
        {WM_COMMAND, IDOK, 1}, {WM_COMMAND, IDCANCEL, 0}, {WM_CLOSE, 0, 2}, {WM_COMMAND, 1234, 1234}};
    for (auto& c : cases) {
        if (c.msg == WM_COMMAND)
            PostMessageA(h, WM_COMMAND, MAKEWPARAM(c.id, BN_CLICKED), (LPARAM)GetDlgItem(h, c.id));
        else
            PostMessageA(h, c.msg, 0, 0);
        EXPECT_EQ(d.Run(), c.end) << c.id;
        EXPECT_TRUE(IsWindow(h));
        EXPECT_FALSE(IsWindowVisible(h));   // hidden, not destroyed, between runs
    }
    // A non-button sender and notification codes other than 0 end nothing.
    PostMessageA(h, WM_COMMAND, MAKEWPARAM(201, EN_CHANGE), (LPARAM)GetDlgItem(h, 201));
    PostMessageA(h, WM_COMMAND, MAKEWPARAM(301, BN_CLICKED), (LPARAM)GetDlgItem(h, 301));
    d.End(42);
    EXPECT_EQ(d.Run(), 42);
}

int HelpCount, HelpLast;
BOOL Viewer(const char*, int id)
{
    HelpCount++;
    HelpLast = id;
    return TRUE;
}

std::string TempFile(const char* name)
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof(dir), dir);
    return std::string(dir) + name;
}

TEST_F(WindowsTest, HelpFileAndHelpButton)
{
    std::string cnt = TempFile("brisel_app.cnt"), hlp = TempFile("brisel_app.hlp");
    FILE* f = fopen(cnt.c_str(), "w");
    ASSERT_TRUE(f);
    fputs(":Base app.hlp\n1 Introduction=40\nno equals sign here\n2 Dialog=100\n", f);
    fclose(f);
    WINHELP help;
    help.SetViewer(Viewer);
    EXPECT_FALSE(help.HasHelpFile());
    help.SetHelpFile(NULL);
    EXPECT_FALSE(help.HasHelpFile());
    help.SetHelpFile(hlp.c_str());
    EXPECT_TRUE(help.HasHelpFile());
    ASSERT_EQ(help.GetNumHelpIds(), 2);
    EXPECT_EQ(help.GetHelpId(0), 40);
    EXPECT_EQ(help.GetHelpId(1), 100);
    HelpCount = 0;
    EXPECT_EQ(help.ShowHelp(99), 0);
    EXPECT_EQ(HelpCount, 0);
    EXPECT_EQ(help.ShowHelp(40), 1);
    EXPECT_EQ(HelpLast, 40);

    // The help button shows the dialog's topic and does not end the dialog.
    AppHelp.SetViewer(Viewer);
    AppHelp.SetHelpFile(hlp.c_str());
    DIALOG d(100, NULL);
    HWND h = d.Hwnd();
    HelpCount = 0;
    PostMessageA(h, WM_COMMAND, MAKEWPARAM(9, BN_CLICKED), (LPARAM)GetDlgItem(h, 9));
    d.End(5);
    EXPECT_EQ(d.Run(), 5);
    EXPECT_EQ(HelpCount, 1);
    EXPECT_EQ(HelpLast, 100);

    // Without a contents file: no topics, the cascade shows nothing.
    DeleteFileA(cnt.c_str());
    AppHelp.SetHelpFile(hlp.c_str());
    EXPECT_EQ(AppHelp.GetNumHelpIds(), 0);
    HelpCount = 0;
    PostMessageA(h, WM_COMMAND, MAKEWPARAM(9, BN_CLICKED), (LPARAM)GetDlgItem(h, 9));
    d.End(6);
    EXPECT_EQ(d.Run(), 6);
    EXPECT_EQ(HelpCount, 0);
    AppHelp.SetViewer(NULL);
}

TEST_F(WindowsTest, EndMessageOfAnotherDialogIsIgnored)
{
    DIALOG a(100, NULL), b(100, NULL);
    b.End(7);
    a.End(3);
    EXPECT_EQ(a.Run(), 3);
}

HWND OwnerSeen;
int OwnerEnabledDuringRun = -1;
LRESULT RecordOwner(HWND, UINT message, WPARAM, LPARAM)
{
    if (message == WM_APP)
        OwnerEnabledDuringRun = IsWindowEnabled(OwnerSeen) ? 1 : 0;
    return 0;
}

TEST_F(WindowsTest, RunDisablesTheOwnerAndCentresOnIt)
{
    RECT work = WorkArea();
    WINDOW owner(WS_POPUP | WS_VISIBLE, "owner", work.left + 100, work.top + 100, 500, 400, NULL, 50);
    DIALOG d(100, owner.Hwnd());
    RECT o, r;
    GetWindowRect(owner.Hwnd(), &o);
    GetWindowRect(d.Hwnd(), &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    EXPECT_EQ(r.left, o.left + (500 - w) / 2);
    EXPECT_EQ(r.top, o.top + (400 - h) / 2);

    OwnerSeen = owner.Hwnd();
    d.SetHook(RecordOwner);
    PostMessageA(d.Hwnd(), WM_APP, 0, 0);
    d.End(1);
    EXPECT_EQ(d.Run(), 1);
    EXPECT_EQ(OwnerEnabledDuringRun, 0);
    EXPECT_TRUE(IsWindowEnabled(owner.Hwnd()));

    // A reference at the right edge of the work area: clamped inside it.
    owner.Move(work.right - 60, work.top + 10, -1, -1);
    RECT moved;
    GetWindowRect(owner.Hwnd(), &moved);
    EXPECT_EQ(moved.right - moved.left, 500);   // Move with -1 keeps the size
    d.CenterOn(owner);
    GetWindowRect(d.Hwnd(), &r);
    EXPECT_EQ(r.right, work.right);

    // An invisible reference: the work area.
    ShowWindow(owner.Hwnd(), SW_HIDE);
    d.CenterOn(owner);
    GetWindowRect(d.Hwnd(), &r);
    EXPECT_EQ(r.left, work.left + ((work.right - work.left) - w) / 2);
    EXPECT_EQ(r.top, work.top + ((work.bottom - work.top) - h) / 2);

    // Larger than the work area: at 0,0.
    DIALOG big(110, NULL);
    GetWindowRect(big.Hwnd(), &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
}

TEST_F(WindowsTest, SpinRangeAndProgressBar)
{
    DIALOG d(100, NULL);
    SPINCONTROL spin("msctls_updown32", 0x100000A6, "", 0, 0, 0, 0, d.Hwnd(), 65000, 0);
    SendMessageA(spin.Hwnd(), UDM_SETBUDDY, (WPARAM)GetDlgItem(d.Hwnd(), 202), 0);
    struct { int lo, hi, digits; } cases[] = {{0, 999, 3}, {0, 0, 1}, {-5, 50, 2}, {0, 32767, 5}};
    for (auto& c : cases) {
        spin.SetRange(c.lo, c.hi);
        EXPECT_EQ(SendDlgItemMessageA(d.Hwnd(), 202, EM_GETLIMITTEXT, 0, 0), c.digits) << c.hi;
    }
    spin.SetRange(0, 999);
    spin.SetPos(123);
    EXPECT_EQ(LOWORD(spin.GetPos()), 123);

    PROGRESSBAR bar(d.Hwnd(), 500);
    RECT r = bar.GetRect();
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 10);
    EXPECT_EQ(r.bottom, 10);
    PBRANGE range;
    SendMessageA(bar.Hwnd(), PBM_GETRANGE, FALSE, (LPARAM)&range);
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);
    bar.SetPos(40);
    EXPECT_EQ(SendMessageA(bar.Hwnd(), PBM_GETPOS, 0, 0), 40);
    // Posted, and only what changes the bar.
    for (int percent : {40, 41, 41, 42, 42})
        bar.PostPos(percent);
    std::vector<WPARAM> posted;
    MSG msg;
    while (PeekMessageA(&msg, bar.Hwnd(), PBM_SETPOS, PBM_SETPOS, PM_REMOVE)) {
        posted.push_back(msg.wParam);
        DispatchMessageA(&msg);
    }
    EXPECT_EQ(posted, (std::vector<WPARAM>{41, 42}));
    EXPECT_EQ(SendMessageA(bar.Hwnd(), PBM_GETPOS, 0, 0), 42);
    EXPECT_TRUE(IsWindowVisible(bar.Hwnd()) || !IsWindowVisible(d.Hwnd()));
}

int SelChanges;
LRESULT CountSelChange(HWND, UINT message, WPARAM wparam, LPARAM)
{
    if (message == WM_COMMAND && HIWORD(wparam) == 1)
        SelChanges++;
    return 0;
}

TEST_F(WindowsTest, ListAndComboControls)
{
    DIALOG d(100, NULL);
    d.SetHook(CountSelChange);
    for (int id : {401, 403}) {
        LISTCONTROL l(d.Hwnd(), id);
        EXPECT_EQ(l.IsList(), id == 401);
        l.Add("Alpha");
        l.Add("Beta");
        l.Insert(0, "Zero");
        EXPECT_EQ(l.Find("be"), 2);
        EXPECT_EQ(l.Find("x"), -1);
        EXPECT_EQ(l.Selection(0), -1);
        EXPECT_STREQ(l.ItemText(-1).Str(), "");
        SelChanges = 0;
        l.Select(1, TRUE);
        EXPECT_EQ(SelChanges, 1);
        EXPECT_EQ(l.Selection(0), 1);
        EXPECT_EQ(l.Selection(1), -1);
        EXPECT_STREQ(l.ItemText(-1).Str(), "Alpha");
        l.Select(1, FALSE);
        EXPECT_EQ(l.Selection(0), -1);
        l.Reset();
        EXPECT_EQ(SendMessageA(l.Hwnd(), id == 401 ? LB_GETCOUNT : CB_GETCOUNT, 0, 0), 0);
    }
    LISTCONTROL multi(d.Hwnd(), 402);
    multi.Add("a");
    multi.Add("b");
    multi.Add("c");
    multi.Select(0, TRUE);
    multi.Select(2, TRUE);
    EXPECT_EQ(multi.Selection(0), 0);
    EXPECT_EQ(multi.Selection(1), 2);
    EXPECT_EQ(multi.Selection(2), -1);
}

// ---------------------------------------------------------------- data dialogs

TEST_F(WindowsTest, ItemsTransferAndRadioWithoutMatch)
{
    STRING edit("hello"), radio("7"), list("GAMMA"), spin("");
    STRINGARRAY choices;
    choices.Add(STRING("alpha"));
    choices.Add(STRING("gamma"));
    DATADIALOG d(100, NULL);
    d.Add<EDITITEM>(201, &edit, 4);
    d.Add<RADIOITEM>(302, &radio, 0);
    d.Add<RADIOITEM>(303, &radio, 1);
    d.Add<RADIOITEM>(304, &radio, 2);
    d.Add<LISTITEM>(401, &list, &choices);
    d.Add<SPINITEM>(202, &spin, 0, 999);
    EXPECT_EQ(d.ToControls(), 6);
    HWND h = d.Hwnd();
    EXPECT_EQ(SendDlgItemMessageA(h, 201, EM_GETLIMITTEXT, 0, 0), 4);
    EXPECT_TRUE(GetWindowLongPtrA(GetDlgItem(h, 201), GWL_STYLE) & ES_AUTOHSCROLL);
    EXPECT_TRUE(GetWindowLongPtrA(GetDlgItem(h, 202), GWL_STYLE) & ES_NUMBER);
    EXPECT_EQ(IsDlgButtonChecked(h, 302) + IsDlgButtonChecked(h, 303) + IsDlgButtonChecked(h, 304), 0u);
    EXPECT_EQ(SendDlgItemMessageA(h, 401, LB_GETCURSEL, 0, 0), 1);   // "gamma" in another case
    char text[32];
    GetDlgItemTextA(h, 202, text, sizeof(text));
    EXPECT_STREQ(text, "0");
    ASSERT_TRUE(GetDlgItem(h, 65000));

    // An out-of-range text makes the up-down control report an error flag; it
    // must not become part of the stored number.
    SetDlgItemTextA(h, 202, "5000");
    EXPECT_EQ(d.FromControls(), 6);
    EXPECT_STREQ(radio.Str(), "7");   // no button checked: unchanged
    EXPECT_STREQ(list.Str(), "gamma");
    EXPECT_GE(spin.Atoi(), 0);
    EXPECT_LE(spin.Atoi(), 999);

    d.DiscardChanges();
    edit = "kept";
    EXPECT_EQ(d.FromControls(), 0);
    EXPECT_STREQ(edit.Str(), "kept");
}

TEST_F(WindowsTest, ListWithoutMatchStoresEmptyText)
{
    STRING list("delta"), combo("b");
    STRINGARRAY choices;
    choices.Add(STRING("alpha"));
    MODALDATADIALOG d(100, NULL);
    LISTCONTROL(d.Hwnd(), 403).Add("apple");
    LISTCONTROL(d.Hwnd(), 403).Add("banana");
    d.Add<LISTITEM>(401, &list, &choices);
    d.Add<LISTITEM>(403, &combo, nullptr);
    d.End(1);
    EXPECT_EQ(d.Run(), 1);
    EXPECT_STREQ(list.Str(), "");
    EXPECT_STREQ(combo.Str(), "banana");   // prefix search of the filled entries
}

TEST_F(WindowsTest, RulesOnChecksEditsListsAndRadios)
{
    DATADIALOG d(100, NULL);
    HWND h = d.Hwnd();
    HWND target = GetDlgItem(h, 110);
    d.DisableItem(110, 201, DEPEND_UNCHECKED);           // edit empty
    d.DisableItem(110, 301, DEPEND_CHECKED);             // check box checked
    EXPECT_EQ(d.DisableItem(1234, 401, DEPEND_EQUAL, "Beta"), 3);
    SetDlgItemTextA(h, 201, "");
    Pump();
    EXPECT_FALSE(IsWindowEnabled(target));
    SetDlgItemTextA(h, 201, "x");
    Pump();
    EXPECT_TRUE(IsWindowEnabled(target));
    CONTROL(h, 301).SetCheck(BST_CHECKED);
    EXPECT_FALSE(IsWindowEnabled(target));   // the second rule holds
    CONTROL(h, 301).SetCheck(BST_UNCHECKED);
    EXPECT_TRUE(IsWindowEnabled(target));

    LISTCONTROL l(h, 401);
    l.Add("Alpha");
    l.Add("Beta");
    l.Select(1, TRUE);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, 1234)));
    l.Select(0, TRUE);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(h, 1234)));

    // Hide instead of disable; a watched radio button is re-evaluated when another of its group is clicked.
    d.DisableItem(9, 304, DEPEND_CHECKED | DEPEND_HIDE);
    CONTROL(h, 304).SetCheck(BST_CHECKED);
    EXPECT_FALSE(GetWindowLongPtrA(GetDlgItem(h, 9), GWL_STYLE) & WS_VISIBLE);
    SendDlgItemMessageA(h, 304, BM_SETCHECK, BST_UNCHECKED, 0);
    CONTROL(h, 302).SetCheck(BST_CHECKED);
    EXPECT_TRUE(GetWindowLongPtrA(GetDlgItem(h, 9), GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(h, 9)));

    // Path rules and a wrong code for the kind of control (counts as false).
    char sys[MAX_PATH];
    GetSystemDirectoryA(sys, sizeof(sys));
    d.DisableItem(202, 201, DEPEND_NOTDIR);
    SetDlgItemTextA(h, 201, sys);
    Pump();
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(h, 202)));
    SetDlgItemTextA(h, 201, "C:\\no\\such\\folder");
    Pump();
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, 202)));
    int rules = d.DisableItem(403, 301, DEPEND_EXISTS);
    EXPECT_FALSE(d.EvaluateRule(rules - 1));
}

TEST_F(WindowsTest, TablesDoNotGrowPastTheirCapacity)
{
    DATADIALOG d(100, NULL);
    STRING v("");
    for (int i = 0; i < 70; i++)
        d.Add<EDITITEM>(201, &v, 5);
    EXPECT_EQ(d.ItemCount(), 64);
    int n = 0;
    for (int i = 0; i < 70; i++)
        n = d.DisableItem(110, 201, DEPEND_UNCHECKED);
    EXPECT_EQ(n, 64);
}

} // namespace
