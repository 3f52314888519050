// The three message boxes, answered by a helper thread as a user would.
#include <gtest/gtest.h>
#include "brisel/winmisc.h"
#include <string>
#include <thread>

namespace {

struct BOXSEEN
{
    std::string caption, text;
    bool ok = false, yes = false, no = false, found = false;
};

BOOL CALLBACK FindStatic(HWND child, LPARAM param)
{
    char cls[32], text[512];
    GetClassNameA(child, cls, sizeof cls);
    if (_stricmp(cls, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0)
        *(std::string*)param = text;
    return TRUE;
}

struct FINDBOX { DWORD thread; HWND box; };

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param)
{
    FINDBOX* f = (FINDBOX*)param;
    char cls[32];
    GetClassNameA(hwnd, cls, sizeof cls);
    if (GetWindowThreadProcessId(hwnd, NULL) == f->thread && strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd)) {
        f->box = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Waits for a box on the given thread, records it and presses the button.
void Answer(DWORD thread, int button, BOXSEEN* seen)
{
    FINDBOX f = { thread, NULL };
    for (int i = 0; i < 200 && !f.box; i++) {
        Sleep(50);
        EnumWindows(FindBox, (LPARAM)&f);
    }
    if (!f.box)
        return;
    seen->found = true;
    char caption[256];
    GetWindowTextA(f.box, caption, sizeof caption);
    seen->caption = caption;
    EnumChildWindows(f.box, FindStatic, (LPARAM)&seen->text);
    seen->ok = GetDlgItem(f.box, IDOK) != NULL;
    seen->yes = GetDlgItem(f.box, IDYES) != NULL;
    seen->no = GetDlgItem(f.box, IDNO) != NULL;
    PostMessageA(f.box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(f.box, button));
}

} // namespace

TEST(MessageBoxes, InfoUsesTheModuleCaptionWhenNoneIsGiven)
{
    BOXSEEN seen;
    std::thread t(Answer, GetCurrentThreadId(), IDOK, &seen);
    MessageInfo(NULL, NULL, "Information text");
    t.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ("Caption From Module", seen.caption);
    EXPECT_EQ("Information text", seen.text);
    EXPECT_TRUE(seen.ok);
    EXPECT_FALSE(seen.yes);
}

TEST(MessageBoxes, ErrorWithOwnCaption)
{
    BOXSEEN seen;
    std::thread t(Answer, GetCurrentThreadId(), IDOK, &seen);
    MessageError(NULL, "Own Caption", "Error text");
    t.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ("Own Caption", seen.caption);
    EXPECT_EQ("Error text", seen.text);
    EXPECT_TRUE(seen.ok);
}

TEST(MessageBoxes, YesNoReportsTheAnswer)
{
    BOXSEEN yes, no;
    std::thread t1(Answer, GetCurrentThreadId(), IDYES, &yes);
    EXPECT_TRUE(MessageYesNo(NULL, NULL, "Go on?"));
    t1.join();
    ASSERT_TRUE(yes.found);
    EXPECT_TRUE(yes.yes && yes.no);
    EXPECT_FALSE(yes.ok);
    EXPECT_EQ("Caption From Module", yes.caption);

    std::thread t2(Answer, GetCurrentThreadId(), IDNO, &no);
    EXPECT_FALSE(MessageYesNo(NULL, "Question", "Go on?"));
    t2.join();
    EXPECT_TRUE(no.found);
}
