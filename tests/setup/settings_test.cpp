// The product's settings as the install reads them: language variants, lists,
// placeholders, the default install directory, the install mode from an
// earlier installation and the licence text.
#include <gtest/gtest.h>
#include <windows.h>
#include "setup/main.h"
#include "setup/install.h"
#include "brisel/osys.h"
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
    EXPECT_STREQ(SETUP::DefaultInstallDir("*D:\\Tools\\Product").Str(), "D:\\Tools\\Product");
    STRING pf = OSYS::GetWin32SystemPath(2);
    ASSERT_GT(pf.Len(), 0);
    EXPECT_STREQ(SETUP::DefaultInstallDir("Product").Str(), (pf || "Product").Str());
    EXPECT_STREQ(SETUP::DefaultInstallDir(STRING()).Str(), "");
}

TEST(Settings, InstallModeFromEarlierInstallation)
{
    BOOL e2, e3;
    // Nothing installed: the mode stays, both other options are off.
    EXPECT_STREQ(INSTALL::DecideMode(STRING(), STRING(), "2.0", "0", &e2, &e3).Str(), "0");
    EXPECT_FALSE(e2);
    EXPECT_FALSE(e3);
    // Same version (any case): reinstall, update off.
    EXPECT_STREQ(INSTALL::DecideMode("C:\\P", "2.0a", "2.0A", "0", &e2, &e3).Str(), "1");
    EXPECT_TRUE(e2);
    EXPECT_FALSE(e3);
    // Text order: 1.10 sorts before 1.9, so that is an update.
    EXPECT_STREQ(INSTALL::DecideMode("C:\\P", "1.10", "1.9", "0", &e2, &e3).Str(), "2");
    EXPECT_FALSE(e2);
    EXPECT_TRUE(e3);
    // A newer installed version leaves the choice and all options.
    EXPECT_STREQ(INSTALL::DecideMode("C:\\P", "3.0", "2.0", "0", &e2, &e3).Str(), "0");
    EXPECT_TRUE(e2);
    EXPECT_TRUE(e3);
    // Installed without a version: it reads as "<NULL>", which sorts after "2.0".
    EXPECT_STREQ(INSTALL::DecideMode("C:\\P", STRING(), "2.0", "0", &e2, &e3).Str(), "0");
}

TEST(Settings, WelcomeMessageFirstLine)
{
    EXPECT_STREQ(INSTALL::FirstLine("One\r\nTwo").Str(), "One");
    EXPECT_STREQ(INSTALL::FirstLine("One\rTwo\nThree").Str(), "One");
    EXPECT_STREQ(INSTALL::FirstLine("Only").Str(), "Only");
    EXPECT_STREQ(INSTALL::FirstLine(STRING()).Str(), "");
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

}  // namespace
