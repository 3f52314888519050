// The product's settings as the install reads them: language variants, lists,
// placeholders, the default install directory and the checks of the one
// chosen, the install mode from an earlier installation and the licence text.
#include <gtest/gtest.h>
#include <windows.h>
#include "setup/frame/settings.h"
#include "setup/install/install.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "setup/lang/resource.h"
#include <string>
#include "../brisel/scratchdir.h"

namespace {

KEYTABLE Parse(const char* text)
{
    return KEYTABLE(STRING(text));
}

TEST(Settings, LanguageVariantReplacesBaseAndDropsOthers)
{
    KEYTABLE t = Parse("WelcomeMsg=Hello\nWelcomeMsg.GER=Hallo\nWelcomeMsg.ENG=Hi\n"
                       "Setup.Version=3\nAppName=Tool\nFinishMsg.ger=Fertig\n");
    SETUP::ApplyLanguageVariants(t, ".GER");
    EXPECT_STREQ(t["WelcomeMsg"].Str(), "Hallo");
    // The suffix compares case-insensitively; a missing base key is added.
    EXPECT_STREQ(t["FinishMsg"].Str(), "Fertig");
    EXPECT_STREQ(t["AppName"].Str(), "Tool");
    for (int i = 0; i < t.Count(); i++)
        EXPECT_LT(t.KeyAt(i)->Pos("."), 0) << t.KeyAt(i)->Str();
    EXPECT_FALSE(t.Exists("Setup.Version"));
    EXPECT_FALSE(t.Exists("WelcomeMsg.ENG"));
}

TEST(Settings, LanguageVariantOfOtherLanguageLeavesBase)
{
    KEYTABLE t = Parse("WelcomeMsg=Hello\nWelcomeMsg.GER=Hallo\n");
    SETUP::ApplyLanguageVariants(t, ".ENG");
    EXPECT_STREQ(t["WelcomeMsg"].Str(), "Hello");
    EXPECT_FALSE(t.Exists("WelcomeMsg.GER"));
    // A key that is only the suffix has no base name: dropped, nothing added.
    KEYTABLE u = Parse(".ENG=x\nA=1\n");
    SETUP::ApplyLanguageVariants(u, ".ENG");
    EXPECT_EQ(u.Count(), 1);
    EXPECT_STREQ(u["A"].Str(), "1");
}

TEST(Settings, PlaceholdersAreCaseSensitiveAndEveryOccurrence)
{
    EXPECT_STREQ(SETUP::ReplaceAll("$PROGRAM and $PROGRAM, $Program", "$PROGRAM", "Tool").Str(),
                 "Tool and Tool, $Program");
    EXPECT_STREQ(SETUP::ReplaceAll(STRING(), "$PROGRAM", "Tool").Str(), "");
    // The value may hold the placeholder itself without looping.
    EXPECT_STREQ(SETUP::ReplaceAll("<$PROG>", "$PROG", "$PROG$PROG").Str(), "<$PROG$PROG>");
}

TEST(Settings, ListsSkipEmptyEntries)
{
    STRINGARRAY e = SETUP::ListEntries("a.txt||b.txt|");
    ASSERT_EQ(e.Count(), 2);
    EXPECT_STREQ(e.Get(0)->Str(), "a.txt");
    EXPECT_STREQ(e.Get(1)->Str(), "b.txt");
    EXPECT_EQ(SETUP::ListEntries(STRING()).Count(), 0);
}

TEST(Settings, DefaultInstallDirectory)
{
    EXPECT_STREQ(INSTALL::DefaultInstallDir("*D:\\Tools\\Product", "Tool").Str(), "D:\\Tools\\Product");
    STRING pf = OSYS::GetWin32SystemPath(2);
    ASSERT_GT(pf.Len(), 0);
    EXPECT_STREQ(INSTALL::DefaultInstallDir("Product", "Tool").Str(), (pf || "Product").Str());
    // Without InstallPath: Program Files and the product's name; without either nothing.
    EXPECT_STREQ(INSTALL::DefaultInstallDir(STRING(), "Tool").Str(), (pf || "Tool").Str());
    EXPECT_STREQ(INSTALL::DefaultInstallDir("", "Tool").Str(), (pf || "Tool").Str());
    EXPECT_STREQ(INSTALL::DefaultInstallDir(STRING(), "").Str(), "");
}

TEST(Settings, InstallModeFromEarlierInstallation)
{
    BOOL e2, e3;
    // Nothing installed: the mode stays, both other options are off.
    EXPECT_EQ(INSTALL::DecideMode(STRING(), STRING(), "2.0", MODE_FRESH, &e2, &e3), MODE_FRESH);
    EXPECT_FALSE(e2);
    EXPECT_FALSE(e3);
    // Same version (any case): reinstall, update off.
    EXPECT_EQ(INSTALL::DecideMode("C:\\P", "2.0a", "2.0A", MODE_FRESH, &e2, &e3), MODE_REINSTALL);
    EXPECT_TRUE(e2);
    EXPECT_FALSE(e3);
    // Text order: 1.10 sorts before 1.9, so that is an update.
    EXPECT_EQ(INSTALL::DecideMode("C:\\P", "1.10", "1.9", MODE_FRESH, &e2, &e3), MODE_UPDATE);
    EXPECT_FALSE(e2);
    EXPECT_TRUE(e3);
    // A newer installed version leaves the choice and all options.
    EXPECT_EQ(INSTALL::DecideMode("C:\\P", "3.0", "2.0", MODE_FRESH, &e2, &e3), MODE_FRESH);
    EXPECT_TRUE(e2);
    EXPECT_TRUE(e3);
    // Installed without a version: it reads as "<NULL>", which sorts after "2.0".
    EXPECT_EQ(INSTALL::DecideMode("C:\\P", STRING(), "2.0", MODE_FRESH, &e2, &e3), MODE_FRESH);
}

TEST(Settings, WelcomeMessageFirstLine)
{
    EXPECT_STREQ(SETUP::FirstLine("One\r\nTwo").Str(), "One");
    EXPECT_STREQ(SETUP::FirstLine("One\rTwo\nThree").Str(), "One");
    EXPECT_STREQ(SETUP::FirstLine("Only").Str(), "Only");
    EXPECT_STREQ(SETUP::FirstLine(STRING()).Str(), "");
}

TEST(Settings, LicenceFromFileWithPlaceholderAndLineEnds)
{
    SCRATCHDIR dir;
    FILE* f = fopen("LICENSE.TXT", "wb");
    ASSERT_TRUE(f);
    fputs("Terms of $PROGRAM\r\nline two\nline three\r\n", f);
    fclose(f);
    EXPECT_STREQ(INSTALL::LicenceText(44, "Tool 2.0").Str(), "Terms of Tool 2.0\r\nline two\r\nline three\r\n");
    // German is chosen by 49 only; its file is missing here, so the built-in text.
    STRING german = INSTALL::LicenceText(49, "Tool 2.0");
    EXPECT_GE(german.Pos("LIZENZVERTRAG F\xDCR Tool 2.0"), 0);
    EXPECT_LT(german.Pos("$PROGRAM"), 0);
    int bare = -1;
    for (int i = 0; i < german.Len(); i++)
        if (german[i] == '\n' && (i == 0 || german[i - 1] != '\r'))
            bare = i;
    EXPECT_EQ(bare, -1);
    DeleteFileA("LICENSE.TXT");
    STRING english = INSTALL::LicenceText(33, "X");
    EXPECT_GE(english.Pos("LICENCE AGREEMENT FOR X"), 0);
}

TEST(Settings, DestinationChecks)
{
    SCRATCHDIR scratch;
    const std::string& dir = scratch.path;
    CreateDirectoryA((dir + "\\sub").c_str(), NULL);
    FILE* f = fopen((dir + "\\afile").c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fclose(f);
    char unused[] = "?:";
    DWORD drives = GetLogicalDrives();
    for (int d = 25; d >= 2 && unused[0] == '?'; d--)
        if (!(drives & (1u << d)))
            unused[0] = (char)('A' + d);

    const struct { std::string path; int why; std::string names; } cases[] = {
        {"", IDS_DESTEMPTY, ""},
        {std::string(MAX_PATH, 'x'), IDS_DESTTOOLONG, std::string(MAX_PATH, 'x')},
        {"Tool", IDS_DESTRELATIVE, "Tool"},
        {"\\Tool", IDS_DESTRELATIVE, "\\Tool"},
        {"C:Tool", IDS_DESTRELATIVE, "C:Tool"},
        {"C:\\", IDS_DESTRELATIVE, "C:\\"},
        {"\\\\server", IDS_DESTRELATIVE, "\\\\server"},
        {"\\\\server\\share", IDS_DESTRELATIVE, "\\\\server\\share"},
        {dir + "\\a<b", IDS_DESTBADNAME, dir + "\\a<b"},
        {dir + "\\a/b", IDS_DESTBADNAME, dir + "\\a/b"},
        {dir + "\\x:y", IDS_DESTBADNAME, dir + "\\x:y"},
        {dir + "\\Tool \\bin", IDS_DESTBADNAME, dir + "\\Tool \\bin"},
        {dir + "\\Tool.", IDS_DESTBADNAME, dir + "\\Tool."},
        {dir + "\\..\\Tool", IDS_DESTBADNAME, dir + "\\..\\Tool"},
        {dir + "\\a\\\\b", IDS_DESTBADNAME, dir + "\\a\\\\b"},
        {dir + "\\con", IDS_DESTBADNAME, dir + "\\con"},
        {dir + "\\LPT1.txt\\x", IDS_DESTBADNAME, dir + "\\LPT1.txt\\x"},
        {std::string(unused) + "\\Tool", IDS_DESTNODRIVE, unused},
        {dir + "\\afile", IDS_DESTISFILE, dir + "\\afile"},
        {dir + "\\afile\\Tool\\bin", IDS_DESTISFILE, dir + "\\afile"},
        {dir + "\\sub", 0, dir + "\\sub"},
        {dir + "\\new\\Tool", 0, dir + "\\new\\Tool"},
        {dir + "\\con2\\COM10\\Tool (2)", 0, dir + "\\con2\\COM10\\Tool (2)"},
    };
    for (const auto& c : cases) {
        STRING folder;
        EXPECT_EQ(c.why, INSTALL::CheckDestination(c.path.c_str(), folder)) << c.path;
        EXPECT_EQ(c.names, std::string(folder.IsNull() ? "<null>" : folder.Str())) << c.path;
    }
    // The probe leaves nothing behind, and creates none of the folders asked for.
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    int entries = 0;
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &fd))
        entries++;
    FindClose(h);
    EXPECT_EQ(4, entries) << ". .. sub afile";

    // A folder where nobody may create anything: below Z:\proc when Z: is the host's root.
    if (IsDirectory("Z:\\proc\\self")) {
        STRING folder;
        EXPECT_EQ(IDS_DESTNOWRITE, INSTALL::CheckDestination("Z:\\proc\\Tool", folder));
        EXPECT_STREQ("Z:\\proc", folder.Str());
    }
    RemoveDirectoryA((dir + "\\sub").c_str());
}

TEST(Settings, BrowsedFolderGetsTheProductFolder)
{
    EXPECT_STREQ("D:\\Apps\\Tool", INSTALL::WithProductFolder("D:\\Apps", "Tool").Str());
    EXPECT_STREQ("D:\\Apps\\Tool", INSTALL::WithProductFolder("D:\\Apps\\", "Tool").Str());
    EXPECT_STREQ("D:\\Tool", INSTALL::WithProductFolder("D:\\", "Tool").Str());
    EXPECT_STREQ("D:\\Apps\\TOOL", INSTALL::WithProductFolder("D:\\Apps\\TOOL", "Tool").Str());
    EXPECT_STREQ("D:\\Apps\\Tools\\Tool", INSTALL::WithProductFolder("D:\\Apps\\Tools", "Tool").Str());
    EXPECT_STREQ("D:\\Apps", INSTALL::WithProductFolder("D:\\Apps", "").Str());
}

}  // namespace
