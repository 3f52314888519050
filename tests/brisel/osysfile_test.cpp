// Paths, folder trees and program start on real files, folders and processes.
#include <gtest/gtest.h>
#include "brisel/osysfile.h"
#include "brisel/stringarray.h"
#include "../testfiles.h"
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Str(const STRING& s) { return s.IsNull() ? std::string("<null>") : std::string(s.Str()); }

using namespace testfiles;

std::vector<std::string> Items(STRINGARRAY& list)
{
    std::vector<std::string> items;
    for (int i = 0; i < list.Count(); i++)
        items.push_back(Str(*list.Get(i)));
    return items;
}

// A fresh folder under the temporary folder, removed (as far as possible) afterwards.
class FileTest : public testing::Test
{
protected:
    std::string root;
    char saved[MAX_PATH];

    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof saved, saved);
        root = TempFolder("osysfile test", testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(CreateDirectoryTree(root.c_str()));
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(saved);
        RemoveTree(root);
    }
    std::string P(const std::string& rel) const { return root + "\\" + rel; }
};

} // namespace

TEST_F(FileTest, FilenameJoinsWithOneBackslash)
{
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    EXPECT_EQ(root + "\\a.txt", Str(FILENAME(NULL, "a.txt")));
    EXPECT_EQ(root + "\\a.txt", Str(FILENAME("", "a.txt")));
    EXPECT_EQ("C:\\a.txt", Str(FILENAME("C:\\", "a.txt")));
    EXPECT_EQ("C:\\x\\a.txt", Str(FILENAME("C:\\x", "a.txt")));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    EXPECT_EQ("C:\\a.txt", Str(FILENAME(NULL, "a.txt")));

    WriteText(P("f.txt"), "x");
    EXPECT_TRUE(FILENAME(root.c_str(), "f.txt").FileExists());
    EXPECT_FALSE(FILENAME(root.c_str(), "f.txt").IsDirectory());
    EXPECT_TRUE(FILENAME(root.c_str()).IsDirectory());
    EXPECT_TRUE(FileExists(root.c_str()));
    EXPECT_FALSE(FILENAME(root.c_str(), "nothing.txt").FileExists());
}

TEST(Paths, DirectoryAndNameParts)
{
    EXPECT_EQ("C:\\A", Str(DirectoryPart("C:\\A\\f.txt")));
    EXPECT_EQ("C:", Str(DirectoryPart("C:\\f.txt")));
    EXPECT_EQ(".", Str(DirectoryPart("f.txt")));
    EXPECT_EQ("a/b", Str(DirectoryPart("a/b/c")));
    EXPECT_EQ("C", Str(DirectoryPart("C:f.txt")));
    EXPECT_EQ("f.txt", Str(NamePart("C:\\A\\f.txt")));
    EXPECT_EQ("", Str(NamePart("C:\\A\\")));
    EXPECT_EQ("f.txt", Str(NamePart("f.txt")));
    EXPECT_EQ("c", Str(NamePart("a/b/c")));
}

TEST_F(FileTest, DirectoryOfUsesDriveAndFolder)
{
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    STRING cur = CurrentDirectory();
    EXPECT_EQ(root, Str(cur));
    EXPECT_EQ("C:\\A", Str(DirectoryOf("C:\\A\\f.txt")));
    EXPECT_EQ("C:\\", Str(DirectoryOf("C:\\f.txt")));
    EXPECT_EQ(root, Str(DirectoryOf("f.txt")));
    EXPECT_EQ(root.substr(0, 2) + "\\x", Str(DirectoryOf("\\x\\f.txt")));
    // Far longer than the runtime's fixed folder area.
    std::string longdir = "C:\\" + std::string(300, 'd') + "\\" + std::string(300, 'e');
    EXPECT_EQ(longdir, Str(DirectoryOf((longdir + "\\f.txt").c_str())));
}

TEST_F(FileTest, CreateDirectoryTree)
{
    std::string deep = P("x\\y\\z");
    EXPECT_TRUE(CreateDirectoryTree(deep.c_str()));
    EXPECT_TRUE(IsDirectory(P("x").c_str()));
    EXPECT_TRUE(IsDirectory(P("x\\y").c_str()));
    EXPECT_TRUE(IsDirectory(deep.c_str()));
    EXPECT_TRUE(CreateDirectoryTree(deep.c_str()));           // already there
    EXPECT_TRUE(CreateDirectoryTree((deep + "\\").c_str()));  // final backslash
    WriteText(P("file"), "x");                                // a file in the way
    EXPECT_FALSE(CreateDirectoryTree(P("file\\sub").c_str()));
    EXPECT_FALSE(CreateDirectoryTree(""));
    EXPECT_FALSE(CreateDirectoryTree(NULL));
}

TEST_F(FileTest, FindFileWalksAndEnds)
{
    WriteText(P("one.txt"), "1");
    WriteText(P("two.txt"), "2");
    CreateDirectoryTree(P("sub").c_str());
    STRING name("start");
    std::vector<std::string> found;
    {
        FINDFILE find(P("*.txt").c_str(), name);
        for (; !name.IsNull(); find.Next()) {
            found.push_back(Str(name));
            EXPECT_FALSE(find.Attributes() & FILE_ATTRIBUTE_DIRECTORY);
        }
        EXPECT_FALSE(find.Next());
        EXPECT_TRUE(name.IsNull());
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ((std::vector<std::string>{ "one.txt", "two.txt" }), found);

    FINDFILE none(P("*.none").c_str(), name);
    EXPECT_TRUE(name.IsNull());
    EXPECT_FALSE(none.Next());
}

TEST_F(FileTest, ListFilesPutsFoldersAfterTheirContents)
{
    CreateDirectoryTree(P("sub\\deep").c_str());
    CreateDirectoryTree(P("dir.txt").c_str());   // a folder that matches *.txt
    CreateDirectoryTree(P(".hidden").c_str());
    WriteText(P("a.txt"), "a");
    WriteText(P("b.dat"), "b");
    WriteText(P("sub\\c.txt"), "c");
    WriteText(P("sub\\deep\\d.txt"), "d");
    WriteText(P("dir.txt\\e.txt"), "e");
    WriteText(P(".hidden\\h.txt"), "h");

    STRINGARRAY list;
    int n = ListFiles(root.c_str(), "*.*", &list, TRUE);
    std::vector<std::string> items = Items(list);
    EXPECT_EQ((int)items.size(), n);
    auto at = [&](const std::string& rel) {
        auto it = std::find(items.begin(), items.end(), P(rel));
        return it == items.end() ? -1 : (int)(it - items.begin());
    };
    for (const char* rel : { "a.txt", "b.dat", "sub\\c.txt", "sub\\deep\\d.txt", "sub", "sub\\deep", "dir.txt", "dir.txt\\e.txt" })
        EXPECT_GE(at(rel), 0) << rel;
    EXPECT_LT(at("sub\\deep\\d.txt"), at("sub\\deep"));
    EXPECT_LT(at("sub\\deep"), at("sub"));
    EXPECT_LT(at("sub\\c.txt"), at("sub"));
    EXPECT_LT(at("dir.txt\\e.txt"), at("dir.txt"));
    EXPECT_EQ(-1, at(".hidden"));            // names beginning with "." are not entered
    EXPECT_EQ(8, n);

    // Only folders matching the pattern are entered; without recursion no folder counts.
    STRINGARRAY txt;
    EXPECT_EQ(3, ListFiles(root.c_str(), "*.txt", &txt, TRUE));  // a.txt, dir.txt\e.txt, dir.txt
    EXPECT_EQ(2, ListFiles(root.c_str(), "*.*", NULL, FALSE));   // a.txt, b.dat
}

TEST_F(FileTest, CopyTreeCopiesNestedFolders)
{
    CreateDirectoryTree(P("src\\sub\\deep").c_str());
    WriteText(P("src\\top.txt"), "top");
    WriteText(P("src\\sub\\f.txt"), "f");
    WriteText(P("src\\sub\\deep\\g.bin"), std::string("g\0h", 3));
    CreateDirectoryTree(P("src\\empty").c_str());

    EXPECT_TRUE(CopyTree(P("src").c_str(), P("dst").c_str(), "*.*", TRUE, FALSE));
    EXPECT_EQ("top", ReadText(P("dst\\top.txt")));
    EXPECT_EQ("f", ReadText(P("dst\\sub\\f.txt")));
    EXPECT_EQ(std::string("g\0h", 3), ReadText(P("dst\\sub\\deep\\g.bin")));
    EXPECT_TRUE(IsDirectory(P("dst\\empty").c_str()));

    // A source with a final backslash and a target without one still join correctly.
    EXPECT_TRUE(CopyTree((P("src") + "\\").c_str(), P("dst2").c_str(), "*.*", TRUE, FALSE));
    EXPECT_EQ("f", ReadText(P("dst2\\sub\\f.txt")));
    EXPECT_FALSE(FileExists(P("dst2sub").c_str()));

    // Without recursion only the top files.
    EXPECT_TRUE(CopyTree(P("src").c_str(), P("flat").c_str(), "*.*", FALSE, FALSE));
    EXPECT_EQ("top", ReadText(P("flat\\top.txt")));
    EXPECT_FALSE(FileExists(P("flat\\sub").c_str()));
}

TEST_F(FileTest, CopyTreeReportsFailedCopiesAndGoesOn)
{
    CreateDirectoryTree(P("src\\sub").c_str());
    WriteText(P("src\\a.txt"), "new a");
    WriteText(P("src\\sub\\b.txt"), "new b");
    CreateDirectoryTree(P("dst").c_str());
    WriteText(P("dst\\a.txt"), "old a");

    EXPECT_FALSE(CopyTree(P("src").c_str(), P("dst").c_str(), "*.*", TRUE, TRUE));
    EXPECT_EQ("old a", ReadText(P("dst\\a.txt")));
    EXPECT_EQ("new b", ReadText(P("dst\\sub\\b.txt")));

    EXPECT_TRUE(CopyTree(P("src").c_str(), P("dst").c_str(), "*.*", TRUE, FALSE));
    EXPECT_EQ("new a", ReadText(P("dst\\a.txt")));
}

TEST_F(FileTest, DeleteTreeStopsAtReadOnlyFiles)
{
    CreateDirectoryTree(P("tree\\keep\\inner").c_str());
    CreateDirectoryTree(P("tree\\gone").c_str());
    WriteText(P("tree\\a.txt"), "a");
    WriteText(P("tree\\gone\\b.txt"), "b");
    WriteText(P("tree\\keep\\inner\\c.txt"), "c");
    WriteText(P("tree\\keep\\ro.txt"), "r");
    SetFileAttributesA(P("tree\\keep\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    // Folders tried: gone, keep, keep\inner and the tree itself.
    EXPECT_EQ(4, DeleteTree(P("tree").c_str(), "*.*", TRUE));
    EXPECT_FALSE(FileExists(P("tree\\a.txt").c_str()));
    EXPECT_FALSE(FileExists(P("tree\\gone").c_str()));
    EXPECT_FALSE(FileExists(P("tree\\keep\\inner").c_str()));
    EXPECT_TRUE(FileExists(P("tree\\keep\\ro.txt").c_str()));
    EXPECT_TRUE(IsDirectory(P("tree\\keep").c_str()));
    EXPECT_TRUE(IsDirectory(P("tree").c_str()));

    SetFileAttributesA(P("tree\\keep\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(2, DeleteTree(P("tree").c_str(), "*.*", TRUE));
    EXPECT_FALSE(FileExists(P("tree").c_str()));
}

TEST_F(FileTest, ExistingFolderAndUniqueFolders)
{
    CreateDirectoryTree(P("a").c_str());
    EXPECT_EQ(P("a"), Str(ExistingFolder(P("a\\b\\c").c_str())));
    EXPECT_EQ(P("a"), Str(ExistingFolder(P("a").c_str())));
    WriteText(P("file"), "f");
    EXPECT_EQ(root, Str(ExistingFolder(P("file\\below").c_str())));
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    EXPECT_EQ("<null>", Str(ExistingFolder("missing\\x")));
    EXPECT_EQ("<null>", Str(ExistingFolder("")));

    STRING one = CreateUniqueFolder(root.c_str(), "T-");
    STRING two = CreateUniqueFolder((root + "\\").c_str(), "T-");
    EXPECT_TRUE(IsDirectory(one) && IsDirectory(two) && Str(one) != Str(two));
    EXPECT_EQ(P("T-").size() + 8, (size_t)two.Len()) << Str(two);
    EXPECT_TRUE(CreateUniqueFolder(P("no such folder").c_str(), "T-").IsNull());
}

TEST_F(FileTest, DeletePathClearsReadOnlyAndKeepsWhatStays)
{
    CreateDirectoryTree(P("ro folder").c_str());
    WriteText(P("ro.txt"), "r");
    SetFileAttributesA(P("ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(P("ro folder").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(DeletePath(P("ro.txt").c_str()));
    EXPECT_TRUE(DeletePath(P("ro folder").c_str()));
    EXPECT_FALSE(FileExists(P("ro.txt").c_str()) || FileExists(P("ro folder").c_str()));

    EXPECT_FALSE(DeletePath(P("ro.txt").c_str()));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    CreateDirectoryTree(P("full").c_str());
    WriteText(P("full\\x"), "x");
    EXPECT_FALSE(DeletePath(P("full").c_str()));
    EXPECT_EQ((DWORD)ERROR_DIR_NOT_EMPTY, GetLastError());

    // A read-only file in use stays read-only.
    WriteText(P("busy.txt"), "b");
    SetFileAttributesA(P("busy.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE h = CreateFileA(P("busy.txt").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_FALSE(DeletePath(P("busy.txt").c_str()));
    DWORD error = GetLastError();
    EXPECT_TRUE(error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) << error;
    CloseHandle(h);
    EXPECT_TRUE(GetFileAttributesA(P("busy.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(DeletePath(P("busy.txt").c_str()));
}

TEST_F(FileTest, DeleteTreeWithoutFolderDeletesNothing)
{
    WriteText(P("stay.txt"), "s");
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    EXPECT_EQ(0, DeleteTree("", "*.*", TRUE));
    EXPECT_EQ(0, DeleteTree(NULL, "*.*", TRUE));
    EXPECT_TRUE(FileExists(P("stay.txt").c_str()));
}

TEST_F(FileTest, DeleteTreeDoesNotFollowFolderLinks)
{
    CreateDirectoryTree(P("outside").c_str());
    WriteText(P("outside\\precious.txt"), "p");
    CreateDirectoryTree(P("tree").c_str());
    // Only where the link works as one: the outside file is visible through it.
    BOOL made = CreateSymbolicLinkA(P("tree\\link").c_str(), P("outside").c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    DWORD attributes = GetFileAttributesA(P("tree\\link").c_str());
    if (!made || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        || !FileExists(P("tree\\link\\precious.txt").c_str()))
        GTEST_SKIP() << "folder links are not available here";
    DeleteTree(P("tree").c_str(), "*.*", TRUE);
    EXPECT_EQ("p", ReadText(P("outside\\precious.txt")));
}

class StartTest : public FileTest
{
protected:
    std::string child;
    void SetUp() override
    {
        FileTest::SetUp();
        child = ProgramFolder() + "\\cmdline_echo.exe";
        ASSERT_TRUE(FileExists(child.c_str())) << child;
    }
    std::vector<std::string> Result()
    {
        std::string text = ReadText(P("cmdline.txt"));
        std::vector<std::string> lines;
        size_t start = 0, nl;
        while ((nl = text.find('\n', start)) != std::string::npos) {
            lines.push_back(text.substr(start, nl - start));
            start = nl + 1;
        }
        lines.resize(3);
        return lines;
    }
};

TEST_F(StartTest, HiddenWithArgumentsAndWaiting)
{
    EXPECT_EQ(1, StartProgram(("*" + child).c_str(), "/x \"a b\"", root.c_str(), "Echo Title", TRUE));
    std::vector<std::string> r = Result();   // present at once: the call waited
    EXPECT_EQ("\"" + child + "\" /x \"a b\"", r[0]);
    EXPECT_EQ(std::to_string(SW_HIDE), r[1]);
    EXPECT_EQ("Echo Title", r[2]);
}

TEST_F(StartTest, CommandLineForms)
{
    // Without arguments the program text goes alone, unquoted.
    EXPECT_EQ(1, StartProgram(child.c_str(), "", root.c_str(), NULL, TRUE));
    EXPECT_EQ(child, Result()[0]);
    EXPECT_NE(std::to_string(SW_HIDE), Result()[1]);
    // A program already in quotes is not quoted again.
    std::string quoted = "\"" + child + "\"";
    EXPECT_EQ(1, StartProgram(quoted.c_str(), "-y", root.c_str(), NULL, TRUE));
    EXPECT_EQ(quoted + " -y", Result()[0]);
}

TEST_F(StartTest, WithoutWaitingAndFailures)
{
    int rc = StartProgram(child.c_str(), "/nowait", root.c_str(), NULL, FALSE);
    EXPECT_NE(0, rc);
    EXPECT_FALSE(FileExists(P("cmdline.txt").c_str()));   // the child is still sleeping
    for (int i = 0; i < 100 && !FileExists(P("cmdline.txt").c_str()); i++)
        Sleep(100);
    EXPECT_EQ("\"" + child + "\" /nowait", Result()[0]);

    EXPECT_EQ(0, StartProgram(P("missing.exe").c_str(), "/x", root.c_str(), NULL, TRUE));
    EXPECT_EQ(0, StartProgram(child.c_str(), "/x", P("no such folder").c_str(), NULL, TRUE));
}
