// Text layout of PRINTER on a memory device context (no printer needed).
#include <gtest/gtest.h>
#include <windows.h>
#include "brisel/halvo.h"
#include "brisel/winprint.h"

namespace {

class PrinterTest : public testing::Test
{
protected:
    void SetUp() override
    {
        LogitSwitch("/NOASSERT");
        hdc = CreateCompatibleDC(NULL);
        bmp = CreateCompatibleBitmap(hdc, 2000, 2000);
        SelectObject(hdc, bmp);
        p.Attach(hdc);
        p.SetMargins(25, 25, 15, 20);
        p.SetFont("Courier New", 10, FALSE, FALSE);
        p.NewPage();
    }
    void TearDown() override { DeleteObject(bmp); }
    HDC hdc;
    HBITMAP bmp;
    PRINTER p;
};

TEST_F(PrinterTest, MarginsInDeviceUnits)
{
    int dx = GetDeviceCaps(hdc, LOGPIXELSX), dy = GetDeviceCaps(hdc, LOGPIXELSY);
    RECT m = p.Margins();
    EXPECT_EQ(m.left, 25 * dx * 10 / 254);
    EXPECT_EQ(m.top, 25 * dy * 10 / 254);
    EXPECT_EQ(m.right, GetDeviceCaps(hdc, HORZRES) - 15 * dx * 10 / 254);
    EXPECT_EQ(m.bottom, GetDeviceCaps(hdc, VERTRES) - 20 * dy * 10 / 254);
    EXPECT_EQ(p.Position().x, m.left);
    EXPECT_EQ(p.Position().y, m.top);
}

TEST_F(PrinterTest, TabsBackspacesAndLineEnds)
{
    RECT m = p.Margins();
    SIZE c = p.Cell();
    ASSERT_GT(c.cx, 0);
    p.Print("A\t");
    EXPECT_EQ(p.Position().x, m.left + 8 * c.cx);
    p.Print("\t");   // exactly at eight cells: on to sixteen
    EXPECT_EQ(p.Position().x, m.left + 16 * c.cx);
    p.Print("\r");
    EXPECT_EQ(p.Position().x, m.left);
    p.Print("AB\b\b");   // the second backspace would reach the margin: it does nothing
    EXPECT_EQ(p.Position().x, m.left + c.cx);
    p.Print("C\x01\x1b", 3);   // other control bytes are dropped
    EXPECT_EQ(p.Position().x, m.left + 2 * c.cx);
    int y = p.Position().y;
    p.Print("\n");
    EXPECT_EQ(p.Position().y, y + c.cy);
    EXPECT_EQ(p.Position().x, m.left);
}

TEST_F(PrinterTest, LineFeedOnlyKeepsTheColumnAndPagesBreak)
{
    RECT m = p.Margins();
    SIZE c = p.Cell();
    p.StartDocument("test", TRUE);
    p.Print("AB\n");
    EXPECT_EQ(p.Position().x, m.left + 2 * c.cx);
    int pages = p.Pages();
    p.Print("x\fy");
    EXPECT_EQ(p.Pages(), pages + 1);
    EXPECT_EQ(p.Position().y, m.top);
    // Lines down to the bottom margin continue on a new page.
    int lines = (m.bottom - m.top) / c.cy + 1;
    pages = p.Pages();
    for (int i = 0; i < lines; i++)
        p.Print("\r\n");
    EXPECT_EQ(p.Pages(), pages + 1);
    EXPECT_LT(p.Position().y, m.top + 2 * c.cy);
}

} // namespace

namespace {

// Before any page is started the cell is 0 by 0: a tab must not divide by it.
TEST(PrinterNoPage, TabWithoutCellDoesNotDivideByZero)
{
    LogitSwitch("/NOASSERT");
    HDC hdc = CreateCompatibleDC(NULL);
    HBITMAP bmp = CreateCompatibleBitmap(hdc, 200, 200);
    SelectObject(hdc, bmp);
    {
        PRINTER p;
        p.Attach(hdc);
        ASSERT_EQ(p.Cell().cx, 0);
        p.Print("\t");   // then at the bottom (0): a new page starts at 0,0
        EXPECT_EQ(p.Position().x, 0);
        EXPECT_EQ(p.Pages(), 1);
    }
    DeleteObject(bmp);
    DeleteDC(hdc);
}

} // namespace
