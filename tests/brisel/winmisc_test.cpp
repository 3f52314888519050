// The three message boxes, answered by a helper thread as a user would.
#include <gtest/gtest.h>
#include "brisel/winmisc.h"
#include "../testboxes.h"
#include <string>
#include <thread>

namespace {

struct BOXSEEN
{
    std::string caption, text;
    bool ok = false, yes = false, no = false, found = false;
};

// Waits for a box on the given thread, records it and presses the button.
void Answer(DWORD thread, int button, BOXSEEN* seen)
{
    HWND box = testboxes::WaitBox(10000, GetCurrentProcessId(), thread);
    if (!box)
        return;
    seen->found = true;
    seen->caption = testboxes::WindowText(box);
    seen->text = testboxes::BoxText(box);
    seen->ok = GetDlgItem(box, IDOK) != NULL;
    seen->yes = GetDlgItem(box, IDYES) != NULL;
    seen->no = GetDlgItem(box, IDNO) != NULL;
    testboxes::Press(box, button);
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
