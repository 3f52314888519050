// The terminal program's built-in hook: the take-over question when the destination
// page is left, the copying of the old installation's data after the files are in,
// and the interpreter option. Also the desktop shortcut the shortcuts page offers.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "setup/frame/settings.h"
#include "setup/frame/hooks.h"
#include "setup/install/install.h"
#include "brisel/app.h"
#include "../testboxes.h"
#include "../testfiles.h"

namespace {

using testfiles::ReadText;
using testfiles::WriteText;

const char* VantorKey = "Software\\Halvo\\Vantor4";
const char* RexxKey = "Software\\Enterprise Alternatives\\REXX\\ExecOptions";

// Answers the first message box of this process with Yes or No and keeps its text.
struct BOXANSWER
{
    int answer;
    volatile LONG stop = 0;
    std::string text;
    HANDLE thread = NULL;

    explicit BOXANSWER(int a) : answer(a)
    {
        thread = CreateThread(NULL, 0, [](LPVOID p) WINAPI -> DWORD {
            BOXANSWER* self = (BOXANSWER*)p;
            while (!self->stop) {
                HWND box = testboxes::FindBox(GetCurrentProcessId());
                if (box) {
                    char t[1024] = "";
                    GetDlgItemTextA(box, 0xFFFF, t, sizeof t);
                    self->text = t;
                    PostMessageA(box, WM_COMMAND, self->answer, 0);
                    return 0;
                }
                Sleep(50);
            }
            return 0;
        }, this, 0, NULL);
    }
    ~BOXANSWER()
    {
        InterlockedExchange(&stop, 1);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
};

class VantorHook : public ::testing::Test
{
protected:
    std::string root, old, fresh;
    HWND frame = NULL, page = NULL;
    HMODULE english = NULL;

    void SetUp() override
    {
        root = testfiles::TempFolder("brisel vantor", ::testing::UnitTest::GetInstance()->current_test_info()->name());
        old = root + "\\old home";
        fresh = root + "\\new home";
        CreateDirectoryA(root.c_str(), NULL);
        CreateDirectoryA(old.c_str(), NULL);
        CreateDirectoryA((old + "\\OPTIONS").c_str(), NULL);
        CreateDirectoryA((old + "\\OPTIONS\\colours").c_str(), NULL);
        CreateDirectoryA((old + "\\SCRIPT").c_str(), NULL);
        WriteText(old + "\\OPTIONS\\terminal.ini", "speed=9600");
        WriteText(old + "\\OPTIONS\\colours\\dark.ini", "dark");
        WriteText(old + "\\SCRIPT\\login.rex", "say hello");
        WriteText(old + "\\PHONEBK", "numbers");
        CreateDirectoryA(fresh.c_str(), NULL);

        english = LoadLibraryA((testfiles::ProgramFolder() + "\\setupenglish.dll").c_str());
        APP::SetResourceModule(english);

        // The destination page as the frame leaves it: control 201 holds the folder.
        frame = CreateWindowA("STATIC", "frame", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, NULL, NULL, NULL, NULL);
        page = CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 300, 200, frame, NULL, NULL, NULL);
        CreateWindowA("EDIT", "", WS_CHILD, 0, 0, 200, 20, page, (HMENU)201, NULL, NULL);

        HKEY key;
        RegCreateKeyA(HKEY_CURRENT_USER, VantorKey, &key);
        RegSetValueExA(key, "HomePath", 0, REG_SZ, (const BYTE*)old.c_str(), (DWORD)old.size() + 1);
        RegCloseKey(key);
        DWORD five = 5;
        RegCreateKeyA(HKEY_CURRENT_USER, RexxKey, &key);
        RegSetValueExA(key, "GlobalSCBs", 0, REG_DWORD, (const BYTE*)&five, sizeof five);
        RegCloseKey(key);
    }

    void TearDown() override
    {
        DestroyWindow(frame);
        APP::SetResourceModule(NULL);
        if (english)
            FreeLibrary(english);
        HKEY key;
        if (RegOpenKeyA(HKEY_CURRENT_USER, VantorKey, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "HomePath");
            RegCloseKey(key);
        }
        RegDeleteKeyA(HKEY_CURRENT_USER, RexxKey);
        testfiles::RemoveTree(root);
    }

    // Leaves the destination page with folder dest; the text of the question, "" without one.
    std::string LeaveDestination(const std::string& dest, int answer)
    {
        SetDlgItemTextA(page, 201, dest.c_str());
        BOXANSWER box(answer);
        EXPECT_EQ(INSTALL::NewSetupHookVantor(5, 3, frame, page, 0, 10781), 1);
        return box.text;
    }

    static DWORD GlobalSCBs(DWORD* type)
    {
        DWORD value = 0xFFFF, size = sizeof value;
        *type = 0;
        HKEY key;
        if (RegOpenKeyA(HKEY_CURRENT_USER, RexxKey, &key) == ERROR_SUCCESS) {
            RegQueryValueExA(key, "GlobalSCBs", NULL, type, (BYTE*)&value, &size);
            RegCloseKey(key);
        }
        return value;
    }
};

TEST_F(VantorHook, YesCopiesSettingsScriptsAndPhonebook)
{
    EXPECT_EQ(INSTALL::NewSetupHookVantor(0, 9, NULL, NULL, 0, 0), 1);
    std::string question = LeaveDestination(fresh, IDYES);
    EXPECT_NE(question.find("An earlier installation was found in " + old + "."), std::string::npos) << question;

    EXPECT_EQ(INSTALL::NewSetupHookVantor(7, 0, frame, NULL, 0, 0), 1);
    EXPECT_EQ(ReadText(fresh + "\\OPTIONS\\terminal.ini"), "speed=9600");
    EXPECT_EQ(ReadText(fresh + "\\OPTIONS\\colours\\dark.ini"), "dark");
    EXPECT_EQ(ReadText(fresh + "\\SCRIPT\\login.rex"), "say hello");
    EXPECT_EQ(ReadText(fresh + "\\PHONEBK"), "numbers");
    DWORD type;
    EXPECT_EQ(GlobalSCBs(&type), 0u);
    EXPECT_EQ(type, (DWORD)REG_DWORD);
}

TEST_F(VantorHook, NoStandsWhenTheOldHomeIsChosen)
{
    INSTALL::NewSetupHookVantor(0, 9, NULL, NULL, 0, 0);
    EXPECT_NE(LeaveDestination(fresh, IDNO), "");
    // Back and forth with the old home in other letters: no question, the No stands.
    std::string upper = old;
    CharUpperA(&upper[0]);
    EXPECT_EQ(LeaveDestination(upper, IDYES), "");
    INSTALL::NewSetupHookVantor(7, 0, frame, NULL, 0, 0);
    EXPECT_EQ(ReadText(upper + "\\SCRIPT\\login.rex"), "say hello");   // untouched
    EXPECT_EQ(ReadText(fresh + "\\PHONEBK"), "<missing>");
    DWORD type;
    EXPECT_EQ(GlobalSCBs(&type), 0u) << "written whatever the answer";
}

TEST_F(VantorHook, ExistingInstallationCancelsAnEarlierYes)
{
    INSTALL::NewSetupHookVantor(0, 9, NULL, NULL, 0, 0);
    EXPECT_NE(LeaveDestination(fresh, IDYES), "");
    // The user goes back and picks a folder that already holds the terminal program.
    std::string installed = root + "\\installed";
    CreateDirectoryA(installed.c_str(), NULL);
    WriteText(installed + "\\vantor.exe", "MZ");
    EXPECT_EQ(LeaveDestination(installed, IDYES), "");
    INSTALL::NewSetupHookVantor(7, 0, frame, NULL, 0, 0);
    EXPECT_EQ(ReadText(installed + "\\PHONEBK"), "<missing>");
    EXPECT_EQ(ReadText(fresh + "\\PHONEBK"), "<missing>");
}

TEST_F(VantorHook, NoEarlierInstallationNoQuestion)
{
    HKEY key;
    RegOpenKeyA(HKEY_CURRENT_USER, VantorKey, &key);
    RegDeleteValueA(key, "HomePath");
    RegCloseKey(key);
    INSTALL::NewSetupHookVantor(0, 9, NULL, NULL, 0, 0);
    EXPECT_EQ(LeaveDestination(fresh, IDYES), "");
    // An empty field decides nothing.
    EXPECT_EQ(LeaveDestination("", IDYES), "");
    INSTALL::NewSetupHookVantor(7, 0, frame, NULL, 0, 0);
    EXPECT_EQ(ReadText(fresh + "\\PHONEBK"), "<missing>");
    DWORD type;
    EXPECT_EQ(GlobalSCBs(&type), 0u);
    EXPECT_EQ(type, (DWORD)REG_DWORD);
}

// The offered shortcut as "title;#target;arguments", then ";" and its icon if it had one.
std::string Offered(const SHORTCUT& s)
{
    if (s.Target.IsNull())
        return "";
    std::string text = std::string(s.Title.Str()) + (s.Desktop ? ";#" : ";") + s.Target.Str() + ";" + s.Arguments.Str();
    return s.Icon.Len() > 0 || s.Address || s.Offered ? text + ";icon or marks left" : text;
}

TEST(DesktopCandidate, LastStarredEntryWithoutIcon)
{
    SHORTCUT entry;
    EXPECT_EQ(INSTALL::DesktopCandidate("A;*a.exe;/x;a.exe:3|B;b.exe|C;*c.exe;-q -v;c.exe:1", STRING(), entry), 1);
    EXPECT_EQ(Offered(entry), "C;#c.exe;-q -v");
    EXPECT_EQ(INSTALL::DesktopCandidate("A;*a.exe;/x;a.exe:3|B;b.exe", "2", entry), 2);
    EXPECT_EQ(Offered(entry), "A;#a.exe;/x");
    EXPECT_EQ(INSTALL::DesktopCandidate("A;*a.exe", "0", entry), 0);
    // No starred entry (nor an entry without target): no desktop shortcut offered.
    EXPECT_EQ(INSTALL::DesktopCandidate("A;a.exe|*B|", "2", entry), 0);
    EXPECT_EQ(Offered(entry), "");
}

} // namespace
