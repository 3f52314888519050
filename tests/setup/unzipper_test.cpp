// The unzip adapter on real archives: the one pass over an archive with names
// the engine would read as patterns, the overwrite rules on existing files,
// failures; and the install's progress arithmetic.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>
#include "setup/install/unzipper.h"
#include "setup/install/install.h"
#include "../brisel/scratchdir.h"
#include "../testfiles.h"

namespace {

uint32_t Crc32(const std::string& s)
{
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : s) {
        c ^= b;
        for (int k = 0; k < 8; k++)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

void Put(std::string& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; i++)
        out += (char)((v >> (8 * i)) & 0xFF);
}

// A stored (uncompressed) archive of the given members.
void WriteZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members)
{
    std::string local, central;
    for (const auto& m : members) {
        uint32_t offset = (uint32_t)local.size(), crc = Crc32(m.second), n = (uint32_t)m.second.size();
        std::string common;
        Put(common, 0, 2);               // flags
        Put(common, 0, 2);               // stored
        Put(common, 0x6000, 2);          // 12:00
        Put(common, (44 << 9) | (1 << 5) | 1, 2);   // 2024-01-01
        Put(common, crc, 4);
        Put(common, n, 4);
        Put(common, n, 4);
        Put(common, (uint32_t)m.first.size(), 2);
        Put(common, 0, 2);               // extra
        Put(local, 0x04034b50, 4);
        Put(local, 20, 2);
        local += common + m.first + m.second;
        Put(central, 0x02014b50, 4);
        Put(central, 20, 2);
        Put(central, 20, 2);
        central += common;
        Put(central, 0, 2);              // comment
        Put(central, 0, 2);              // disk
        Put(central, 0, 2);              // internal attributes
        Put(central, m.first.back() == '/' ? 0x10 : 0, 4);
        Put(central, offset, 4);
        central += m.first;
    }
    std::string end;
    Put(end, 0x06054b50, 4);
    Put(end, 0, 4);
    Put(end, (uint32_t)members.size(), 2);
    Put(end, (uint32_t)members.size(), 2);
    Put(end, (uint32_t)central.size(), 4);
    Put(end, (uint32_t)local.size(), 4);
    Put(end, 0, 2);
    ASSERT_TRUE(testfiles::WriteText(path, local + central + end));
}

const std::vector<std::pair<std::string, std::string>> MEMBERS = {
    {"dir/", ""}, {"dir/a.txt", "aaa"}, {"b[1].txt", "brack"}, {"b1.txt", "plain b"}};

// Records the pass; answers Done from `answers` (member name -> answers in
// turn, NEXT when none is left), calling `fix` before each such answer.
class STEPS : public UNZIPSTEPS
{
public:
    void Listed(int count, uint64_t total) override
    {
        listed.push_back({count, total});
    }
    void Writing(const UNZIPMEMBER& m) override { writing.push_back(m.path.Str()); }
    int Done(const UNZIPMEMBER& m, BOOL ok) override
    {
        done.push_back({m.name.Str(), m.path.Str(), m.size, m.written, ok});
        if (!ok)
            failures.push_back(FailureOf ? std::string(FailureOf->FailedName().Str()) : std::string());
        std::vector<int>& a = answers[m.name.Str()];
        if (a.empty())
            return NEXT;
        if (fix)
            fix();
        int next = a.front();
        a.erase(a.begin());
        return next;
    }
    struct DONE {
        std::string name, path;
        uint64_t size;
        BOOL written, ok;
    };
    std::vector<std::pair<int, uint64_t>> listed;
    std::vector<std::string> writing, failures;
    std::vector<DONE> done;
    std::map<std::string, std::vector<int>> answers;
    std::function<void()> fix;
    const UNZIPPER* FailureOf = NULL;
};

std::vector<std::string> Names(const std::vector<STEPS::DONE>& done, BOOL paths = FALSE)
{
    std::vector<std::string> v;
    for (const STEPS::DONE& d : done)
        v.push_back(paths ? d.path : d.name);
    return v;
}

// One pass lists, then extracts every member as itself (names the engine
// would read as patterns, a name stored with "\\"), into folders it makes.
TEST(Unzipper, InstallsAnArchiveInOnePass)
{
    SCRATCHDIR scratch;
    std::vector<std::pair<std::string, std::string>> members = MEMBERS;
    members.push_back({"win\\style.txt", "back"});
    WriteZip("p.zip", members);
    std::string target = scratch.path + "\\new\\deeper\\target";
    UNZIPPER unz("p.zip", "", "");
    STEPS steps;
    EXPECT_TRUE(unz.Install(target.c_str(), steps));
    EXPECT_EQ(steps.listed, (std::vector<std::pair<int, uint64_t>>{{5, 19}}));
    EXPECT_EQ(Names(steps.done), (std::vector<std::string>{"dir/", "dir/a.txt", "b[1].txt", "b1.txt", "win/style.txt"}));
    EXPECT_EQ(Names(steps.done, TRUE),
              (std::vector<std::string>{"dir/", "dir/a.txt", "b[1].txt", "b1.txt", "win/style.txt"}));
    EXPECT_EQ(steps.writing,
              (std::vector<std::string>{"dir/", "dir/a.txt", "b[1].txt", "b1.txt", "win/style.txt"}));
    for (size_t i = 0; i < steps.done.size(); i++) {
        EXPECT_TRUE(steps.done[i].ok) << steps.done[i].name;
        EXPECT_TRUE(steps.done[i].written) << steps.done[i].name;
        EXPECT_EQ(steps.done[i].size, members[i].second.size()) << steps.done[i].name;
    }
    EXPECT_TRUE(IsDirectory((target + "\\dir").c_str()));
    EXPECT_EQ(testfiles::ReadText(target + "\\dir\\a.txt"), "aaa");
    EXPECT_EQ(testfiles::ReadText(target + "\\b[1].txt"), "brack");
    EXPECT_EQ(testfiles::ReadText(target + "\\b1.txt"), "plain b");
    EXPECT_EQ(testfiles::ReadText(target + "\\win\\style.txt"), "back");
    EXPECT_EQ(unz.Failure(), UNZIPPER::FAIL_NONE);

    // Data in front of the archive (a self-extracting stub) is no failure.
    std::string zip = testfiles::ReadText("p.zip");
    ASSERT_TRUE(testfiles::WriteText("stub.zip", std::string(3000, 'M') + zip));
    UNZIPPER stub("stub.zip", "", "");
    STEPS again;
    EXPECT_TRUE(stub.Install((scratch.path + "\\stub").c_str(), again));
    EXPECT_EQ(again.done.size(), 5u);
    EXPECT_EQ(testfiles::ReadText(scratch.path + "\\stub\\win\\style.txt"), "back");
}

TEST(Unzipper, RulesDecideOnExistingFilesInThePass)
{
    SCRATCHDIR scratch;
    WriteZip("p.zip", MEMBERS);
    std::string target = scratch.path + "\\t";
    CreateDirectoryA(target.c_str(), NULL);
    CreateDirectoryA((target + "\\dir").c_str(), NULL);
    testfiles::WriteText(target + "\\dir\\a.txt", "mine");
    testfiles::WriteText(target + "\\b1.txt", "older");
    // Protected with Windows separators and in any case, which wins over
    // asking; "b[1].txt" is protected and listed for asking too, but not there
    // yet. (A question would block this test.)
    UNZIPPER unz("p.zip", "DIR\\A.TXT;shown|b[1].txt;not there yet", "Dir\\A.TXT|b[1].txt");
    STEPS steps;
    EXPECT_TRUE(unz.Install(target.c_str(), steps));
    EXPECT_EQ(steps.writing, (std::vector<std::string>{"dir/", "b[1].txt", "b1.txt"}));
    ASSERT_EQ(steps.done.size(), 4u);
    EXPECT_FALSE(steps.done[1].written);
    EXPECT_TRUE(steps.done[1].ok);
    EXPECT_TRUE(steps.done[2].written);
    EXPECT_EQ(testfiles::ReadText(target + "\\dir\\a.txt"), "mine");
    EXPECT_EQ(testfiles::ReadText(target + "\\b[1].txt"), "brack");
    EXPECT_EQ(testfiles::ReadText(target + "\\b1.txt"), "plain b");
}

// Each failure names its cause; the steps decide whether to try a member
// again, go on or stop.
TEST(Unzipper, FailuresInThePass)
{
    SCRATCHDIR scratch;
    STEPS none;
    UNZIPPER missing("none.zip", NULL, NULL);
    EXPECT_FALSE(missing.Install(scratch.path.c_str(), none));
    EXPECT_EQ(missing.Failure(), UNZIPPER::FAIL_NOARCHIVE);
    EXPECT_STREQ(missing.FailedName().Str(), "none.zip");
    ASSERT_TRUE(testfiles::WriteText("junk.zip", "no archive at all"));
    UNZIPPER junk("junk.zip", NULL, NULL);
    EXPECT_FALSE(junk.Install(scratch.path.c_str(), none));
    EXPECT_EQ(junk.Failure(), UNZIPPER::FAIL_BADARCHIVE);
    WriteZip("empty.zip", {});
    UNZIPPER empty("empty.zip", NULL, NULL);
    EXPECT_FALSE(empty.Install(scratch.path.c_str(), none));
    EXPECT_EQ(empty.Failure(), UNZIPPER::FAIL_BADARCHIVE);
    EXPECT_TRUE(none.listed.empty());
    EXPECT_TRUE(none.done.empty());

    // A folder where a file must go: cannot be written until it is gone.
    WriteZip("p.zip", MEMBERS);
    std::string blocked = scratch.path + "\\b1.txt";
    CreateDirectoryA(blocked.c_str(), NULL);
    UNZIPPER unz("p.zip", NULL, NULL);
    STEPS steps;
    steps.FailureOf = &unz;
    steps.answers["b1.txt"] = {UNZIPSTEPS::AGAIN};
    steps.fix = [&] { RemoveDirectoryA(blocked.c_str()); };
    EXPECT_TRUE(unz.Install(scratch.path.c_str(), steps));
    EXPECT_EQ(Names(steps.done), (std::vector<std::string>{"dir/", "dir/a.txt", "b[1].txt", "b1.txt", "b1.txt"}));
    EXPECT_EQ(steps.failures, (std::vector<std::string>{blocked}));
    EXPECT_FALSE(steps.done[3].ok);
    EXPECT_TRUE(steps.done[4].ok);
    EXPECT_EQ(testfiles::ReadText(blocked), "plain b");

    // ".\x01." is ".." once the control character is dropped; stopping there
    // leaves the rest alone.
    WriteZip("h.zip", {{".\x01./evil.txt", "x"}, {"ok.txt", "fine"}});
    UNZIPPER hostile("h.zip", NULL, NULL);
    STEPS stop;
    stop.FailureOf = &hostile;
    stop.answers[".\x01./evil.txt"] = {UNZIPSTEPS::STOP};
    std::string target = scratch.path + "\\h";
    EXPECT_FALSE(hostile.Install(target.c_str(), stop));
    EXPECT_EQ(hostile.Failure(), UNZIPPER::FAIL_BADMEMBER);
    EXPECT_EQ(stop.failures, (std::vector<std::string>{".?./evil.txt"}));
    EXPECT_EQ(stop.done.size(), 1u);
    EXPECT_FALSE(FileExists((target + "\\ok.txt").c_str()));
    EXPECT_FALSE(FileExists((scratch.path + "\\evil.txt").c_str()));
}

TEST(Unzipper, QuestionTextTakesOneName)
{
    EXPECT_STREQ(UNZIPPER::AskText("The file %s exists, 100%% sure", "x.ini").Str(), "The file x.ini exists, 100% sure");
    // A translation with other conversions cannot read past the one argument.
    EXPECT_STREQ(UNZIPPER::AskText("%s and %s %d %n", "a").Str(), "a and %s %d %n");
}

TEST(Install, ProgressInSixtyFourBits)
{
    EXPECT_EQ(INSTALL::Percent(10, 100), 10);
    EXPECT_EQ(INSTALL::Percent(40, 100), 40);
    // 32-bit arithmetic overflows from about 43 MB on.
    EXPECT_EQ(INSTALL::Percent(150000000ull, 200000000ull), 75);
    EXPECT_EQ(INSTALL::Percent(3000000000ull, 4000000000ull), 75);
    EXPECT_EQ(INSTALL::Percent(5, 0), 100);
    EXPECT_STREQ(INSTALL::UninstallCommand("C:\\Program Files\\Tool", "Tool").Str(),
                 "\"C:\\Program Files\\Tool\\Setup.exe\" -remove \"Tool\"");
}

}  // namespace
