// Debug log switches, line format, level filter, concurrency, and the
// assertion report (its box is tested with a child program at the end).
#include <gtest/gtest.h>
#include "brisel/clock.h"
#include "brisel/halvo.h"
#include "brisel/locks.h"
#include "brisel/osys.h"
#include "brisel/strings.h"
#include "scratchdir.h"
#include "../testboxes.h"
#include <commctrl.h>
#include <regex>
#include <string>
#include <vector>

namespace {

class Halvo : public testing::Test
{
protected:
    void SetUp() override { HalvoResetState(); }
    void TearDown() override
    {
        HalvoResetState();
        CLOCK::Set(NULL, FALSE);
    }
    SCRATCHDIR dir;
};

std::vector<std::string> Lines(const std::string& data)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = data.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(data.substr(start, end - start));
    if (start < data.size())
        lines.push_back(data.substr(start));     // unterminated rest
    return lines;
}

void SetTime(int day, int hour, int minute, int second, int ms)
{
    SYSTEMTIME st = {};
    st.wYear = 2026;
    st.wMonth = 3;
    st.wDay = (WORD)day;
    st.wHour = (WORD)hour;
    st.wMinute = (WORD)minute;
    st.wSecond = (WORD)second;
    st.wMilliseconds = (WORD)ms;
    CLOCK::Set(&st, FALSE);
}

const std::regex Prefix("^\\[\\d{4}\\.\\d{2}:[0-9a-f]{3}\\] ");

} // namespace

TEST_F(Halvo, SwitchesAreExactWordsOrWordsWithColon)
{
    for (const char* text : { "/LOG", "/LOGITX", "/LOGITKEEPX", "/LOGITHARDLY", "/LOGDEBUGX", "/NOASSERTS",
                              "LOGIT", "/LOGITCLOSE:", "", "ORDER" })
        EXPECT_FALSE(LogitSwitch(text)) << text;
    EXPECT_FALSE(LogitSwitch(NULL));
    EXPECT_FALSE(HalvoLogging());
    EXPECT_FALSE(FileExists("logit.log"));

    EXPECT_TRUE(LogitSwitch("/logit"));
    EXPECT_STREQ("logit.log", HalvoLogFileName());
    EXPECT_TRUE(FileExists("logit.log"));
    EXPECT_TRUE(LogitSwitch("/LOGIT:first.log"));       // re-opening closes the old file
    EXPECT_STREQ("first.log", HalvoLogFileName());
    EXPECT_TRUE(LogitSwitch("/LogitHard:"));
    EXPECT_STREQ("logit.log", HalvoLogFileName());
    EXPECT_TRUE(Logit("hard line\n"));
    EXPECT_NE(std::string::npos, ReadWholeFile("logit.log").find("hard line\r\n"));
    EXPECT_TRUE(LogitSwitch("/LOGITCLOSE"));
    EXPECT_FALSE(HalvoLogging());
    EXPECT_FALSE(Logit("lost\n"));
    EXPECT_EQ(std::string::npos, ReadWholeFile("logit.log").find("lost"));

    EXPECT_TRUE(LogitSwitch("/NOASSERT"));
    EXPECT_TRUE(HalvoAssertBoxesOff());
    EXPECT_TRUE(LogitSwitch("/noassert"));
    EXPECT_FALSE(HalvoAssertBoxesOff());
}

TEST_F(Halvo, LevelSwitchOpensDefaultLogOnlyWhenNoneIsOpen)
{
    EXPECT_TRUE(LogitSwitch("/LOG:2"));
    EXPECT_TRUE(HalvoLogging());
    EXPECT_STREQ("logit.log", HalvoLogFileName());
    EXPECT_EQ(2, HalvoLevelMask());
    EXPECT_TRUE(LogitSwitch("/LOGIT:mine.log"));
    EXPECT_TRUE(LogitSwitch("/LOG:768"));
    EXPECT_EQ(770, HalvoLevelMask());
    EXPECT_STREQ("mine.log", HalvoLogFileName());      // the open log stays
    EXPECT_TRUE(LogitSwitch("/LOG:x"));                 // no number: still ours, adds nothing
    EXPECT_EQ(770, HalvoLevelMask());
}

TEST_F(Halvo, LevelFilter)
{
    ASSERT_TRUE(LogitSwitch("/LOGIT"));
    EXPECT_TRUE(LogitLevel(0, "L0 with mask 0\n"));
    EXPECT_FALSE(LogitLevel(1, "L1 with mask 0\n"));
    EXPECT_FALSE(LogitLevel(0x100, "device L0 with mask 0\n"));
    ASSERT_TRUE(LogitSwitch("/LOG:2"));
    EXPECT_TRUE(LogitLevel(2, "L2 with mask 2\n"));
    EXPECT_FALSE(LogitLevel(3, "L3 with mask 2\n"));
    EXPECT_FALSE(LogitLevel(0x102, "device L2 with mask 2\n"));
    ASSERT_TRUE(LogitSwitch("/LOG:783"));
    EXPECT_TRUE(LogitLevel(15, "L15 with mask 783\n"));
    EXPECT_TRUE(LogitLevel(0x103, "device L3 with mask 783\n"));
    EXPECT_TRUE(LogitLevel(0x208, "tcp L8 with mask 783\n"));
    EXPECT_FALSE(LogitLevel(0x400, "other category with mask 783\n"));

    std::string log = ReadWholeFile("logit.log");
    for (const char* shown : { "L0 with mask 0", "L2 with mask 2", "L15 with", "device L3", "tcp L8" })
        EXPECT_NE(std::string::npos, log.find(shown)) << shown;
    for (const char* hidden : { "L1 with", "device L0", "L3 with mask 2", "device L2", "other category" })
        EXPECT_EQ(std::string::npos, log.find(hidden)) << hidden;
}

TEST_F(Halvo, PrefixCarriesTimeSinceFirstLineAndThread)
{
    SetTime(7, 10, 0, 0, 0);
    ASSERT_TRUE(LogitSwitch("/LOGIT"));             // its header is the first line
    SetTime(7, 10, 0, 1, 500);
    Logit("one and a half\n");
    SetTime(7, 10, 0, 12, 345);
    Logit("twelve %s\n", "point three four");
    SetTime(7, 10, 16, 40, 0);
    Logit("a thousand\n");
    char tid[8];
    snprintf(tid, sizeof tid, "%03lx", GetCurrentThreadId() & 0xFFFUL);

    std::string log = ReadWholeFile("logit.log");
    EXPECT_NE(std::string::npos, log.find(std::string("[0000.00:") + tid + "] START LOGGING at "));
    EXPECT_NE(std::string::npos, log.find(std::string("[0001.50:") + tid + "] one and a half\r\n"));
    EXPECT_NE(std::string::npos, log.find(std::string("[0012.34:") + tid + "] twelve point three four\r\n"));
    EXPECT_NE(std::string::npos, log.find(std::string("[1000.00:") + tid + "] a thousand\r\n"));
}

TEST_F(Halvo, TimeBaseSurvivesMidnight)
{
    SetTime(7, 23, 59, 59, 0);
    ASSERT_TRUE(LogitSwitch("/LOGIT"));
    SetTime(8, 0, 0, 1, 0);
    Logit("after midnight\n");
    std::regex twoSeconds("\\[0002\\.00:[0-9a-f]{3}\\] after midnight\r\n");
    EXPECT_TRUE(std::regex_search(ReadWholeFile("logit.log"), twoSeconds));
}

TEST_F(Halvo, HeaderLinesNameTheProgram)
{
    ASSERT_TRUE(LogitSwitch("/LOGIT:head.log"));
    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, sizeof self);
    std::vector<std::string> lines = Lines(ReadWholeFile("head.log"));
    ASSERT_EQ(2u, lines.size());
    EXPECT_TRUE(std::regex_search(lines[0], std::regex("^\\[0000\\.00:[0-9a-f]{3}\\] START LOGGING at .+ \\d\\d:\\d\\d:\\d\\d$")))
        << lines[0];
    // "Running as path size bytes, ctime" where ctime's own line end became CR LF
    std::string running = lines[1].substr(lines[1].find("] ") + 2);
    std::string expected = std::string("Running as ") + self + " ";
    EXPECT_EQ(expected, running.substr(0, expected.size()));
    EXPECT_TRUE(std::regex_search(running, std::regex(" \\d+ bytes, \\w{3} \\w{3} [ \\d]\\d \\d\\d:\\d\\d:\\d\\d \\d{4}$"))) << running;
}

TEST_F(Halvo, UniqueNameUsesTheClock)
{
    SetTime(9, 8, 7, 6, 543);
    ASSERT_TRUE(LogitSwitch("/LOGIT:unique"));
    std::string name = HalvoLogFileName();
    EXPECT_TRUE(std::regex_match(name, std::regex("LOGIT_\\d+_543\\.log"))) << name;
    EXPECT_TRUE(FileExists(name.c_str()));
    EXPECT_EQ((unsigned long)OSYS::Time(), strtoul(name.c_str() + 6, NULL, 10));
}

TEST_F(Halvo, KeepAppendsAfterSeparatorOthersReplace)
{
    ASSERT_TRUE(LogitSwitch("/LOGIT:k.log"));
    Logit("first run\n");
    ASSERT_TRUE(LogitSwitch("/LOGITKEEP:k.log"));
    Logit("second run\n");
    LogitSwitch("/LOGITCLOSE");
    std::vector<std::string> lines = Lines(ReadWholeFile("k.log"));
    ASSERT_EQ(7u, lines.size());
    EXPECT_NE(std::string::npos, lines[2].find("] first run"));
    EXPECT_TRUE(std::regex_match(lines[3], std::regex("\\[\\d{4}\\.\\d{2}:[0-9a-f]{3}\\] ")));   // prefix alone
    EXPECT_NE(std::string::npos, lines[4].find("] START LOGGING at "));
    EXPECT_NE(std::string::npos, lines[6].find("] second run"));

    ASSERT_TRUE(LogitSwitch("/LOGIT:k.log"));
    LogitSwitch("/LOGITCLOSE");
    EXPECT_EQ(std::string::npos, ReadWholeFile("k.log").find("first run"));
}

TEST_F(Halvo, TextWithoutPercentIsWrittenUnchanged)
{
    ASSERT_TRUE(LogitSwitch("/LOGIT"));
    Logit("no format here {0} \\n $1\n");
    Logit("100%% of %d\n", 7);
    Logit("no line end");
    Logit("\n");
    std::string log = ReadWholeFile("logit.log");
    EXPECT_NE(std::string::npos, log.find("] no format here {0} \\n $1\r\n"));
    EXPECT_NE(std::string::npos, log.find("] 100% of 7\r\n"));
    EXPECT_TRUE(std::regex_search(log, std::regex("\\] no line end\\[\\d{4}\\.\\d{2}:[0-9a-f]{3}\\] \r\n")));
}

TEST_F(Halvo, OverlongLinesAreCutAndReported)
{
    ASSERT_TRUE(LogitSwitch("/NOASSERT"));
    ASSERT_TRUE(LogitSwitch("/LOGIT"));
    size_t prefix = 14;                                  // "[0000.00:abc] "
    // Prefix, text and CR LF in 8191 bytes fit; one byte more does not.
    std::string fits(8191 - prefix - 2, 'f');
    std::string tight(8191 - prefix - 1, 't');
    std::string plain(10000, 'p');
    Logit((fits + "\n").c_str());
    EXPECT_FALSE(FileExists("assert.log"));
    Logit((tight + "\n").c_str());
    std::string report = ReadWholeFile("assert.log");
    EXPECT_NE(std::string::npos, report.find("    Condition: howmany < sizeof(buf)\r\n"));
    Logit(plain.c_str());
    Logit("%s\n", plain.c_str());
    LogitSwitch("/LOGITCLOSE");

    int full = 0;
    for (const std::string& line : Lines(ReadWholeFile("logit.log"))) {
        if (line.size() < 1000)
            continue;                       // headers and assertion reports
        EXPECT_TRUE(std::regex_search(line, Prefix)) << line.substr(0, 40);
        EXPECT_EQ(8191u, line.size() + 2);
        full++;
    }
    EXPECT_EQ(4, full);                      // the exact fit and the three cut lines
    EXPECT_NE(std::string::npos, ReadWholeFile("logit.log").find(fits + "\r\n"));
}

TEST_F(Halvo, OverlongFileNameLeavesLoggingOff)
{
    ASSERT_TRUE(LogitSwitch("/LOGIT"));
    std::string name = "/LOGIT:" + std::string(300, 'n') + ".log";
    EXPECT_TRUE(LogitSwitch(name.c_str()));
    EXPECT_FALSE(HalvoLogging());
    EXPECT_FALSE(Logit("nowhere\n"));
    EXPECT_TRUE(LogitSwitch("/LOGITKEEP:logit.log"));
    EXPECT_TRUE(Logit("back\n"));
    EXPECT_NE(std::string::npos, ReadWholeFile("logit.log").find("] back\r\n"));
}

namespace {
const int Threads = 8;
const int LinesPerThread = 300;

DWORD WINAPI LogLines(LPVOID p)
{
    int t = (int)(INT_PTR)p;
    for (int i = 0; i < LinesPerThread; i++)
        Logit("thread %d line %d of %s\n", t, i, "a text long enough to make interleaving visible ........");
    return 0;
}
}

TEST_F(Halvo, ThreadsWriteWholeLines)
{
    ASSERT_TRUE(LogitSwitch("/LOGIT"));
    HANDLE h[Threads];
    for (int t = 0; t < Threads; t++)
        h[t] = CreateThread(NULL, 0, LogLines, (LPVOID)(INT_PTR)t, 0, NULL);
    WaitForMultipleObjects(Threads, h, TRUE, 60000);
    for (HANDLE x : h)
        CloseHandle(x);
    LogitSwitch("/LOGITCLOSE");

    std::string log = ReadWholeFile("logit.log");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("\r\n", log.substr(log.size() - 2));
    std::vector<std::string> lines = Lines(log);
    std::regex line("^\\[\\d{4}\\.\\d{2}:[0-9a-f]{3}\\] thread (\\d+) line (\\d+) of a text long enough to make interleaving visible \\.{8}$");
    int next[Threads] = {};
    int good = 0;
    for (size_t i = 2; i < lines.size(); i++) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, line)) << lines[i];
        EXPECT_EQ(std::string::npos, lines[i].find_first_of("\r\n"));
        int t = std::stoi(m[1]), n = std::stoi(m[2]);
        ASSERT_LT(t, Threads);
        EXPECT_EQ(next[t], n);               // each thread's lines in order, none lost
        next[t] = n + 1;
        good++;
    }
    EXPECT_EQ(Threads * LinesPerThread, good);
}

TEST_F(Halvo, AssertionWithBoxesOffReportsAndGoesOn)
{
    ASSERT_TRUE(LogitSwitch("/NOASSERT"));
    ASSERT_TRUE(LogitSwitch("/LOGIT"));
    HalvoSetAppTitle("Halvo Application Demo 1.0");
    EXPECT_TRUE(ASSERT(1 == 1));
    EXPECT_FALSE(FileExists("assert.log"));

    SetLastError(ERROR_ACCESS_DENIED);
    int line = __LINE__ + 1;
    EXPECT_TRUE(ASSERTINFO(1 + 1 == 3, "value=3"));
    STRING denied = OSYS::ErrorText(ERROR_ACCESS_DENIED);
    char expected[512];
    snprintf(expected, sizeof expected,
             "    Condition: 1 + 1 == 3\r\n    Location : halvo_test.cpp line %d\r\n    Last Err.: 5L (%s)\r\n    Add. Info: value=3\r\n",
             line, denied.Str());
    std::string report = ReadWholeFile("assert.log");
    EXPECT_EQ(0u, report.find("--- Halvo Application Demo 1.0 --- "));
    EXPECT_NE(std::string::npos, report.find(std::string(" ---\r\n\r\n") + expected + "\r\n\r\n"));
    EXPECT_NE(std::string::npos, ReadWholeFile("logit.log").find(std::string("] *** ASSERTION FAILED: \r\n") + expected + "\r\n"));

    // German texts, no error code, null information; appended after the first report
    HalvoSetLanguage(7);
    SetLastError(0);
    EXPECT_TRUE(Assert(FALSE, "p!=NULL", "c:\\src\\brisel/strings.cpp", 12, NULL, FALSE));
    report = ReadWholeFile("assert.log");
    EXPECT_NE(std::string::npos, report.find(expected));
    EXPECT_NE(std::string::npos,
              report.find("    Bedingung: p!=NULL\r\n    Datei: strings.cpp Zeile 12\r\n    Code : 0L ()\r\n    Info : <null>\r\n"));
}

TEST_F(Halvo, SilentAssertionNeverAsks)
{
    // Boxes are on: a silent check must still not ask.
    EXPECT_TRUE(ASSERTSILENT(2 < 1, "quiet"));
    EXPECT_NE(std::string::npos, ReadWholeFile("assert.log").find("    Condition: 2 < 1\r\n"));
}

TEST_F(Halvo, AssertionDetailIsLimited)
{
    ASSERT_TRUE(LogitSwitch("/NOASSERT"));
    std::string info(3000, 'i');
    EXPECT_TRUE(ASSERTINFO(false, info.c_str()));
    std::string report = ReadWholeFile("assert.log");
    size_t start = report.find("---\r\n\r\n") + 7;
    size_t end = report.find("\r\n\r\n", start);
    ASSERT_NE(std::string::npos, end);
    std::string detail = report.substr(start, end + 2 - start);
    EXPECT_LE(detail.size(), 511u);
    EXPECT_EQ(0u, detail.find("    Condition: false\r\n"));
    EXPECT_EQ("\r\n", detail.substr(detail.size() - 2));
}

TEST_F(Halvo, LogAndAssertionWorkAfterPoolShutdown)
{
    ASSERT_TRUE(LogitSwitch("/NOASSERT"));
    ASSERT_TRUE(LogitSwitch("/LOGIT"));
    STRING before("made while the pool runs");
    STRING::ShutdownPool();
    EXPECT_TRUE(Logit("after shutdown %s\n", before.Str()));
    EXPECT_TRUE(ASSERTINFO(before.Len() == 0, "late"));
    CRITSECT late;                              // what a late container would create
    late.Enter();
    late.Leave();
    EXPECT_NE(std::string::npos, ReadWholeFile("logit.log").find("] after shutdown made while the pool runs\r\n"));
    EXPECT_NE(std::string::npos, ReadWholeFile("assert.log").find("    Add. Info: late\r\n"));
}

TEST_F(Halvo, HotkeyInListViewsWithCtrlShift)
{
    BYTE keys[256] = {};
    NMLVKEYDOWN kd = {};
    kd.hdr.code = LVN_KEYDOWN;
    kd.wVKey = VK_F5;
    // Without the chord nothing happens.
    SetKeyboardState(keys);
    LogitHotkey(WM_NOTIFY, 0, (LPARAM)&kd);
    EXPECT_FALSE(HalvoLogging());

    keys[VK_CONTROL] = keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    LogitHotkey(WM_KEYDOWN, VK_F5, 0);
    LogitHotkey(WM_NOTIFY, 0, 0);
    kd.hdr.code = LVN_COLUMNCLICK;
    LogitHotkey(WM_NOTIFY, 0, (LPARAM)&kd);
    EXPECT_FALSE(HalvoLogging());
    kd.hdr.code = LVN_KEYDOWN;
    kd.wVKey = VK_F7;
    LogitHotkey(WM_NOTIFY, 0, (LPARAM)&kd);
    EXPECT_FALSE(HalvoLogging());

    kd.wVKey = VK_F5;
    LogitHotkey(WM_NOTIFY, 0, (LPARAM)&kd);
    EXPECT_TRUE(HalvoLogging());
    EXPECT_STREQ("logit.log", HalvoLogFileName());
    kd.wVKey = VK_F8;
    LogitHotkey(WM_NOTIFY, 0, (LPARAM)&kd);
    EXPECT_FALSE(HalvoLogging());
    kd.wVKey = VK_F6;
    LogitHotkey(WM_NOTIFY, 0, (LPARAM)&kd);
    EXPECT_TRUE(HalvoLogging());
    memset(keys, 0, sizeof keys);
    SetKeyboardState(keys);
}

namespace {

BOOL CALLBACK CollectText(HWND hwnd, LPARAM lparam)
{
    char text[2048] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    ((std::string*)lparam)->append(text).append("\n");
    return TRUE;
}

// Runs the child in the scratch folder; answers its box with `answer` (0: expect none).
DWORD RunChild(const char* switches, int answer, std::string* boxText)
{
    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, sizeof self);
    std::string exe(self);
    exe = exe.substr(0, exe.find_last_of("\\/") + 1) + "assert_child.exe";
    std::string cmd = "\"" + exe + "\" marks.txt " + switches;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back(0);
    if (!CreateProcessA(exe.c_str(), line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << exe;
        return 0;
    }
    if (answer != 0) {
        HWND box = testboxes::WaitBox(30000, pi.dwProcessId);
        EXPECT_NE((HWND)NULL, box) << "no box";
        if (box != NULL) {
            CollectText(box, (LPARAM)boxText);
            EnumChildWindows(box, CollectText, (LPARAM)boxText);
            EXPECT_NE((HWND)NULL, GetDlgItem(box, answer));
            testboxes::Press(box, answer);
        }
    }
    DWORD code = 12345;
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "child still running";
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return code;
}

} // namespace

TEST_F(Halvo, AnswerNoEndsTheProgram)
{
    std::string box;
    DWORD code = RunChild("", IDNO, &box);
    EXPECT_NE(0u, code);
    EXPECT_EQ("before\r\n", ReadWholeFile("marks.txt"));
    EXPECT_NE(std::string::npos, box.find("Halvo Application Child / ")) << box;
    EXPECT_NE(std::string::npos, box.find("Unexpected condition encountered!")) << box;
    EXPECT_NE(std::string::npos, box.find("Condition: argc < 2")) << box;
    EXPECT_NE(std::string::npos, ReadWholeFile("assert.log").find("    Add. Info: child\r\n"));
}

TEST_F(Halvo, AnswerYesGoesOn)
{
    std::string box;
    EXPECT_EQ(0u, RunChild("", IDYES, &box));
    EXPECT_EQ("before\r\nafter\r\n", ReadWholeFile("marks.txt"));
}

TEST_F(Halvo, NoAssertSwitchSkipsTheBox)
{
    EXPECT_EQ(0u, RunChild("/NOASSERT /LOGIT", 0, NULL));
    EXPECT_EQ("before\r\nafter\r\n", ReadWholeFile("marks.txt"));
    EXPECT_NE(std::string::npos, ReadWholeFile("assert.log").find("    Condition: argc < 2\r\n"));
    EXPECT_NE(std::string::npos, ReadWholeFile("logit.log").find("*** ASSERTION FAILED: \r\n    Condition: argc < 2\r\n"));
}
