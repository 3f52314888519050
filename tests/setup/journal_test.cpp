// The install's undo record and its list of failed writes, on real files and
// folders.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "setup/frame/journal.h"
#include "brisel/osysfile.h"
#include "../testfiles.h"

namespace {

using namespace testfiles;

// A fresh folder, which is also the temporary folder while the test runs.
class JournalTest : public testing::Test
{
protected:
    std::string root;
    char tmp[MAX_PATH], temp[MAX_PATH];
    void SetUp() override
    {
        root = TempFolder("journal test", testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(CreateDirectoryTree(root.c_str()));
        tmp[0] = temp[0] = 0;
        GetEnvironmentVariableA("TMP", tmp, sizeof tmp);
        GetEnvironmentVariableA("TEMP", temp, sizeof temp);
        SetEnvironmentVariableA("TMP", root.c_str());
        SetEnvironmentVariableA("TEMP", root.c_str());
        char check[MAX_PATH] = "";
        GetTempPathA(sizeof check, check);
        ASSERT_EQ(root + "\\", check);
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("TMP", tmp[0] ? tmp : NULL);
        SetEnvironmentVariableA("TEMP", temp[0] ? temp : NULL);
        RemoveTree(root);
    }
    std::string P(const std::string& rel) const { return root + "\\" + rel; }
    int PrivateFolders()
    {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA(P("HalvoSetup-*").c_str(), &fd);
        int n = 0;
        for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &fd))
            n += (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        FindClose(h);
        return n;
    }
};

TEST_F(JournalTest, UndoRemovesWhatItMadeAndPutsBackWhatItReplaced)
{
    WriteText(P("old.txt"), "old");
    WriteText(P("locked.txt"), "locked old");
    SetFileAttributesA(P("locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    JOURNAL journal;
    EXPECT_TRUE(journal.Empty());

    ASSERT_TRUE(journal.BeforeWrite(P("new\\deep\\a.txt").c_str()));
    EXPECT_TRUE(IsDirectory(P("new\\deep").c_str()));
    WriteText(P("new\\deep\\a.txt"), "a");
    ASSERT_TRUE(journal.BeforeWrite(P("old.txt").c_str()));
    WriteText(P("old.txt"), "first");
    ASSERT_TRUE(journal.BeforeWrite(P("old.txt").c_str()));     // written twice in one run
    WriteText(P("old.txt"), "second");
    ASSERT_TRUE(journal.BeforeWrite(P("locked.txt").c_str()));
    SetFileAttributesA(P("locked.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteText(P("locked.txt"), "new");
    ASSERT_TRUE(journal.CreateFolder(P("made/one/two").c_str()));
    EXPECT_TRUE(IsDirectory(P("made\\one\\two").c_str()));
    EXPECT_FALSE(journal.Empty());
    EXPECT_EQ(1, PrivateFolders()) << "copies kept in one private folder";

    // A file where a folder must go: no folder, no record. A folder where the
    // file must go is left to fail the write, and stays when undone.
    WriteText(P("blocker"), "b");
    EXPECT_FALSE(journal.BeforeWrite(P("blocker\\x.txt").c_str()));
    EXPECT_EQ("b", ReadText(P("blocker")));
    CreateDirectoryTree(P("empty folder").c_str());
    EXPECT_TRUE(journal.BeforeWrite(P("empty folder").c_str()));

    FAILURES failures;
    journal.Undo(failures);
    EXPECT_EQ(0, failures.Count());
    EXPECT_FALSE(FileExists(P("new").c_str()));
    EXPECT_FALSE(FileExists(P("made").c_str()));
    EXPECT_EQ("old", ReadText(P("old.txt")));
    EXPECT_EQ("locked old", ReadText(P("locked.txt")));
    EXPECT_TRUE(IsDirectory(P("empty folder").c_str()));
    EXPECT_TRUE(GetFileAttributesA(P("locked.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(IsDirectory(root.c_str()));
    SetFileAttributesA(P("locked.txt").c_str(), FILE_ATTRIBUTE_NORMAL);

    // Told that no file is there; the folders it knew are gone since the undo.
    ASSERT_TRUE(journal.BeforeWrite(P("new\\deep\\b.txt").c_str(), FALSE));
    EXPECT_TRUE(IsDirectory(P("new\\deep").c_str()));
    WriteText(P("new\\deep\\b.txt"), "b");
    ASSERT_TRUE(journal.BeforeWrite(P("new\\deep\\c.txt").c_str(), FALSE));
    WriteText(P("new\\deep\\c.txt"), "c");
    journal.Undo(failures);
    EXPECT_EQ(0, failures.Count());
    EXPECT_FALSE(FileExists(P("new").c_str()));

    journal.Clear();
    EXPECT_EQ(0, PrivateFolders()) << "private folder removed at the end";
}

TEST_F(JournalTest, FailuresListAScreenfulAndCountTheRest)
{
    FAILURES failures;
    // Gone already, or a folder that still holds something: no failure.
    EXPECT_TRUE(failures.Delete(P("never there").c_str()));
    CreateDirectoryTree(P("full").c_str());
    WriteText(P("full\\x"), "x");
    EXPECT_FALSE(failures.Delete(P("full").c_str()));
    EXPECT_EQ(0, failures.Count());
    EXPECT_EQ("heading\n", std::string(failures.Text("heading", "and $COUNT more")));

    for (int i = 1; i <= FAILURES_SHOWN + 2; i++)
        failures.Add(("C:\\file" + std::to_string(i)).c_str(), ERROR_ACCESS_DENIED);
    failures.Add((std::string("C:\\") + std::string(200, 'd') + "\\end.txt").c_str(), ERROR_ACCESS_DENIED);
    failures.Add("c:\\FILE1", ERROR_SHARING_VIOLATION);   // listed once
    EXPECT_EQ(FAILURES_SHOWN + 3, failures.Count());
    std::string text = failures.Text("Not written:", "and $COUNT more", FAILURES_SHOWN).Str();
    std::string want = "Not written:\n";
    for (int i = 1; i <= FAILURES_SHOWN; i++)
        want += "\nC:\\file" + std::to_string(i);
    want += "\nand 3 more";
    EXPECT_EQ(want, text);
    // A long entry keeps its start and its end.
    text = failures.Text("", "", FAILURES_SHOWN + 3).Str();
    std::string last = text.substr(text.rfind('\n') + 1);
    EXPECT_EQ(100u, last.size());
    EXPECT_EQ("C:\\ddd", last.substr(0, 6));
    EXPECT_EQ("...", last.substr(40, 3));
    EXPECT_EQ("d\\end.txt", last.substr(last.size() - 9));

    failures.Clear();
    EXPECT_EQ(0, failures.Count());
}

} // namespace
