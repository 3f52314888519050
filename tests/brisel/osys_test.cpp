// OSYS texts, shell folders, clocks, threads and the synchronisation classes.
#include <gtest/gtest.h>
#include "brisel/clock.h"
#include "brisel/halvo.h"
#include "brisel/locks.h"
#include "brisel/osys.h"
#include "brisel/strings.h"
#include "scratchdir.h"
#include <string>

namespace {

class Osys : public testing::Test
{
protected:
    void SetUp() override
    {
        HalvoResetState();
        LogitSwitch("/NOASSERT");
    }
    void TearDown() override
    {
        HalvoResetState();
        CLOCK::Set(NULL, FALSE);
    }
    std::string Log() { return ReadWholeFile("logit.log"); }
    std::string Asserts() { return ReadWholeFile("assert.log"); }
    SCRATCHDIR dir;
};

void SetTime(int month, int day, int hour, int minute, int second, int ms)
{
    SYSTEMTIME st = {};
    st.wYear = 2026;
    st.wMonth = (WORD)month;
    st.wDay = (WORD)day;
    st.wHour = (WORD)hour;
    st.wMinute = (WORD)minute;
    st.wSecond = (WORD)second;
    st.wMilliseconds = (WORD)ms;
    CLOCK::Set(&st, FALSE);
}

const char ShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Saves a Shell Folders value of the current user and puts it back afterwards.
class SAVEDVALUE
{
public:
    explicit SAVEDVALUE(const char* name) : name(name)
    {
        RegCreateKeyA(HKEY_CURRENT_USER, ShellFolders, &key);
        DWORD size = sizeof data;
        existed = RegQueryValueExA(key, name, NULL, &type, data, &size) == ERROR_SUCCESS;
        length = size;
    }
    ~SAVEDVALUE()
    {
        if (existed)
            RegSetValueExA(key, name, 0, type, data, length);
        else
            RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
    void Set(DWORD vtype, const std::string& text)
    {
        RegSetValueExA(key, name, 0, vtype, (const BYTE*)text.c_str(), (DWORD)text.size() + 1);
    }
    void Remove() { RegDeleteValueA(key, name); }
private:
    const char* name;
    HKEY key;
    BOOL existed;
    DWORD type = 0, length = 0;
    BYTE data[8192];
};

} // namespace

TEST_F(Osys, StringResources)
{
    ASSERT_TRUE(LogitSwitch("/LOG:12"));
    HINSTANCE self = GetModuleHandleA(NULL);
    EXPECT_STREQ("Hello from the string table", OSYS::GetStringFromResource(100, self).Str());
    std::string digits;
    for (int i = 0; i < 30; i++)
        digits += "0123456789";
    STRING longer = OSYS::GetStringFromResource(101, self);
    EXPECT_EQ(300, longer.Len());                    // not cut at 255
    EXPECT_EQ(digits, longer.Str());
    EXPECT_STREQ("<STR-ERR>", OSYS::GetStringFromResource(102, self).Str());
    EXPECT_STREQ("<STR-ERR>", OSYS::GetStringFromResource(100, GetModuleHandleA("kernel32.dll")).Str());
    EXPECT_NE(std::string::npos, Log().find("] OSYS::GetStringFromResource 102 returns <STR-ERR>\r\n"));
}

TEST_F(Osys, ErrorTexts)
{
    STRING success = OSYS::ErrorText(0);
    ASSERT_FALSE(success.IsNull());
    EXPECT_GT(success.Len(), 0);
    EXPECT_STRNE("<no error>", success.Str());
    STRING missing = OSYS::ErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_NE('\n', missing.Str()[missing.Len() - 1]);
    EXPECT_NE('\r', missing.Str()[missing.Len() - 1]);
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_STREQ(missing.Str(), OSYS::ErrorText(-4711).Str());
    EXPECT_STREQ("<no error>", OSYS::ErrorText(0x2000BEEF).Str());
    char small[8];
    HalvoErrorText(ERROR_FILE_NOT_FOUND, small, sizeof small, "none");
    EXPECT_EQ(std::string(missing.Str()).substr(0, 7), small);
    HalvoErrorText(0x2000BEEF, small, sizeof small, "none");
    EXPECT_STREQ("none", small);
}

TEST_F(Osys, ShellFolderExpandsVariables)
{
    SAVEDVALUE pictures("My Pictures");
    SetEnvironmentVariableA("BRISEL_TEST_ROOT", "C:\\brisel test");
    pictures.Set(REG_SZ, "%BRISEL_TEST_ROOT%\\Pictures");
    EXPECT_STREQ("C:\\brisel test\\Pictures\\", OSYS::GetWin32SystemPath(7).Str());
    pictures.Set(REG_EXPAND_SZ, "%BRISEL_TEST_ROOT%\\");
    EXPECT_STREQ("C:\\brisel test\\", OSYS::GetWin32SystemPath(7).Str());
    std::string deep = "C:\\" + std::string(5000, 'd');        // longer than any fixed area
    pictures.Set(REG_SZ, deep);
    EXPECT_EQ(deep + "\\", OSYS::GetWin32SystemPath(7).Str());
    EXPECT_FALSE(FileExists("assert.log"));

    pictures.Remove();
    EXPECT_TRUE(OSYS::GetWin32SystemPath(7).IsNull());
    std::string report = Asserts();
    EXPECT_NE(std::string::npos, report.find("    Condition: rc==ERROR_SUCCESS\r\n"));
    EXPECT_NE(std::string::npos, report.find("    Add. Info: GetWin32SystemPath 7\r\n"));
}

TEST_F(Osys, ShellFolderTypes)
{
    STRING programFiles = OSYS::GetWin32SystemPath(2);
    ASSERT_FALSE(programFiles.IsNull());
    EXPECT_EQ('\\', programFiles.Str()[programFiles.Len() - 1]);
    EXPECT_EQ(GetFileAttributesA(programFiles.Str()) & FILE_ATTRIBUTE_DIRECTORY, (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(FileExists("assert.log"));
    EXPECT_TRUE(OSYS::GetWin32SystemPath(3).IsNull());
    EXPECT_TRUE(OSYS::GetWin32SystemPath(-1).IsNull());
    EXPECT_NE(std::string::npos, Asserts().find("    Condition: FALSE\r\n"));
    EXPECT_NE(0, OSYS::WindowsVersion());              // Wine and every Windows we meet are NT
}

TEST_F(Osys, StopwatchAcrossTheTwentyFifth)
{
    SetTime(3, 24, 23, 59, 59, 0);
    EXPECT_EQ(0, OSYS::Milliseconds(TRUE));
    SetTime(3, 25, 0, 0, 1, 250);
    EXPECT_EQ(2250, OSYS::Milliseconds(FALSE));         // 25 days no longer fit in 32 bits
    SetTime(3, 31, 23, 59, 59, 999);
    EXPECT_EQ(7LL * 86400000 + 999, OSYS::Milliseconds(FALSE));
    EXPECT_EQ(0, OSYS::Milliseconds(TRUE));             // restarts
    SetTime(3, 31, 23, 59, 59, 999);
    EXPECT_EQ(0, OSYS::Milliseconds(FALSE));
    SetTime(4, 1, 0, 0, 0, 0);
    EXPECT_LT(OSYS::Milliseconds(FALSE), 0);            // month change: callers see a negative time
}

TEST_F(Osys, DatesFollowTheClock)
{
    SetTime(3, 5, 7, 8, 9, 10);
    EXPECT_STREQ("2026-03-05", OSYS::DateIso().Str());
    EXPECT_STREQ("07:08:09", OSYS::TimeText().Str());
    SetTime(11, 25, 23, 0, 0, 0);
    EXPECT_STREQ("23:00:00", OSYS::TimeText().Str());
    STRING date = OSYS::DateText();
    EXPECT_NE(-1, date.Pos("25")) << date.Str();
    EXPECT_NE(-1, date.Pos("11")) << date.Str();

    // A running clock moves on from where it was set.
    SYSTEMTIME start = {};
    start.wYear = 2030;
    start.wMonth = 1;
    start.wDay = 2;
    start.wHour = 3;
    CLOCK::Set(&start, TRUE);
    Sleep(50);
    SYSTEMTIME now;
    CLOCK::LocalTime(now);
    EXPECT_EQ(2030, now.wYear);
    EXPECT_EQ(3, now.wHour);
    EXPECT_GE(now.wMilliseconds + now.wSecond * 1000, 40);
    CLOCK::Set(NULL, FALSE);
    CLOCK::LocalTime(now);
    EXPECT_NE(2030, now.wYear);
}

TEST_F(Osys, ClockFromText)
{
    EXPECT_TRUE(CLOCK::SetText("2027-02-28 23:59:58"));
    EXPECT_STREQ("2027-02-28", OSYS::DateIso().Str());
    STRING time = OSYS::TimeText();
    EXPECT_TRUE(time == "23:59:58" || time == "23:59:59") << time.Str();
    for (const char* bad : { "", "2027-02-29 10:00:00", "2027-13-01 10:00:00", "2027-02-28", "2027-02-28 25:00:00",
                             "2027-02-28 10:00:00x", "tomorrow" })
        EXPECT_FALSE(CLOCK::SetText(bad)) << bad;
    EXPECT_FALSE(CLOCK::SetText(NULL));
    EXPECT_STREQ("2027-02-28", OSYS::DateIso().Str());       // a bad text leaves the clock
}

namespace {
DWORD WINAPI WaitForEvent(LPVOID p)
{
    ((EVENTSEM*)p)->Wait(-1);
    return 7;
}
DWORD WINAPI Quick(LPVOID p)
{
    *(int*)p = 42;
    return 0;
}
}

TEST_F(Osys, ThreadsAndEvents)
{
    ASSERT_TRUE(LogitSwitch("/LOGIT"));
    int value = 0;
    HANDLE quick = OSYS::CreateThread(Quick, &value);
    ASSERT_NE((HANDLE)NULL, quick);
    EXPECT_TRUE(OSYS::WaitThread(quick, -1));
    EXPECT_EQ(42, value);

    EVENTSEM go;
    HANDLE waiter = OSYS::CreateThread(WaitForEvent, &go);
    ASSERT_NE((HANDLE)NULL, waiter);
    EXPECT_FALSE(OSYS::WaitThread(waiter, 0));
    EXPECT_EQ(std::string::npos, Log().find("timeout= 0"));      // just a test: no trace
    EXPECT_FALSE(OSYS::WaitThread(waiter, 50));
    EXPECT_NE(std::string::npos, Log().find("timeout= 50 failed\r\n"));
    EXPECT_TRUE(go.Set());
    EXPECT_TRUE(OSYS::WaitThread(waiter, 10000));
    EXPECT_NE(std::string::npos, Log().find("] OSYS::CreateThread returned "));

    EXPECT_TRUE(go.Wait(0));                                      // manual reset: stays set
    EXPECT_TRUE(go.Wait(0));
    EXPECT_TRUE(go.Reset());
    EXPECT_FALSE(go.Wait(20));
    EVENTSEM set(TRUE);
    EXPECT_TRUE(set.Wait(0));

    EXPECT_FALSE(FileExists("assert.log"));
    EXPECT_FALSE(OSYS::WaitThread(NULL, 0));
    EXPECT_NE(std::string::npos, Asserts().find("    Condition: hThread!=NULL\r\n"));
}

TEST_F(Osys, SemaphoreTracesAtTheirLevels)
{
    ASSERT_TRUE(LogitSwitch("/LOG:7"));
    {
        EVENTSEM e;
        e.Set();
        MUTEXSEM m(FALSE, "BriselTraceMutex");
        EXPECT_TRUE(m.Request(0));
        EXPECT_TRUE(m.Release());
    }
    std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("] EVENTSEM::EVENTSEM created "));
    EXPECT_EQ(std::string::npos, log.find("EVENTSEM::Set"));
    EXPECT_EQ(std::string::npos, log.find("MUTEXSEM"));
    ASSERT_TRUE(LogitSwitch("/LOG:12"));
    {
        EVENTSEM e;
        e.Set();
        MUTEXSEM m(FALSE, "BriselTraceMutex");
        m.Request(0);
        m.Release();
    }
    log = Log();
    EXPECT_NE(std::string::npos, log.find("] EVENTSEM::Set "));
    EXPECT_NE(std::string::npos, log.find("] EVENTSEM::~EVENTSEM deleted "));
    EXPECT_NE(std::string::npos, log.find(", name= BriselTraceMutex\r\n"));
    EXPECT_NE(std::string::npos, log.find(" rc= 0\r\n"));
    EXPECT_NE(std::string::npos, log.find("] MUTEXSEM::MUTEXSEM released "));
    EXPECT_NE(std::string::npos, log.find("] MUTEXSEM::MUTEXSEM delete "));
    EXPECT_FALSE(FileExists("assert.log"));
}

namespace {
struct MUTEXTEST
{
    MUTEXSEM* mutex;
    BOOL got;
};
DWORD WINAPI TakeAndLeave(LPVOID p)
{
    MUTEXTEST* t = (MUTEXTEST*)p;
    t->got = t->mutex->Request(0);
    return 0;                       // ends without releasing: the mutex is abandoned
}
DWORD WINAPI TryMutex(LPVOID p)
{
    MUTEXTEST* t = (MUTEXTEST*)p;
    t->got = t->mutex->Request(30);
    if (t->got)
        t->mutex->Release();
    return 0;
}
}

TEST_F(Osys, MutexOwnershipAndAbandonment)
{
    MUTEXSEM mutex(TRUE, NULL);
    MUTEXTEST t = { &mutex, TRUE };
    EXPECT_TRUE(OSYS::WaitThread(OSYS::CreateThread(TryMutex, &t), 10000));
    EXPECT_FALSE(t.got);                                  // owned by this thread
    EXPECT_TRUE(mutex.Request(0));                        // re-entrant for the owner
    EXPECT_TRUE(mutex.Release());
    EXPECT_TRUE(mutex.Release());
    EXPECT_TRUE(OSYS::WaitThread(OSYS::CreateThread(TryMutex, &t), 10000));
    EXPECT_TRUE(t.got);

    t.got = FALSE;
    EXPECT_TRUE(OSYS::WaitThread(OSYS::CreateThread(TakeAndLeave, &t), 10000));
    EXPECT_TRUE(t.got);
    EXPECT_FALSE(mutex.Request(1000));                    // abandoned counts as failure
    EXPECT_TRUE(mutex.Request(0));                        // and does not stay taken
    EXPECT_TRUE(mutex.Release());
    EXPECT_FALSE(FileExists("assert.log"));
    EXPECT_FALSE(mutex.Release());                        // not owned any more
    EXPECT_NE(std::string::npos, Asserts().find("    Condition: ok\r\n"));
}

namespace {
struct COUNTER
{
    CRITSECT lock;
    volatile int value = 0;
};
DWORD WINAPI Count(LPVOID p)
{
    COUNTER* c = (COUNTER*)p;
    for (int i = 0; i < 100000; i++) {
        c->lock.Enter();
        c->lock.Enter();                                  // re-entrant
        int v = c->value;
        if ((i & 1023) == 0)
            Sleep(0);
        c->value = v + 1;
        c->lock.Leave();
        c->lock.Leave();
    }
    return 0;
}
}

TEST_F(Osys, CriticalSectionSerialises)
{
    COUNTER counter;
    HANDLE a = OSYS::CreateThread(Count, &counter);
    HANDLE b = OSYS::CreateThread(Count, &counter);
    EXPECT_TRUE(OSYS::WaitThread(a, 60000));
    EXPECT_TRUE(OSYS::WaitThread(b, 60000));
    EXPECT_EQ(200000, counter.value);
}
