// Argument queries, language choice and the development-tree rule, in process.
#include <gtest/gtest.h>
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include <cstdio>
#include <string>

namespace {

std::string Str(const STRING& s) { return s.IsNull() ? std::string("<null>") : std::string(s.Str()); }

int Parse(const char* commandline)
{
    char saved[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    int argc = APP::ParseCommandLine(GetModuleHandleA(NULL), commandline);
    SetCurrentDirectoryA(saved);
    return argc;
}

} // namespace

TEST(AppArgs, QueriesFollowThePrefixRules)
{
    EXPECT_EQ(6, Parse("prog.exe /FINALLY -remove MyKey /langGER /LANG:FRENCH"));
    EXPECT_EQ(Str(APP::ProgramPath()), Str(APP::Arg(0)));   // token 0 is the full path
    EXPECT_EQ(0, TestArg("FINAL"));
    EXPECT_EQ(1, TestArg("finally"));
    EXPECT_EQ(1, TestArgValue("FINAL", 0));
    EXPECT_EQ(0, TestArgValue("FINAL", 1));
    EXPECT_EQ("MyKey", Str(GetArgValue("REMOVE", 0)));
    EXPECT_EQ("GER", Str(GetArgValue("LANG", 0)));
    EXPECT_EQ("FRENCH", Str(GetArgValue("lang", 1)));
    EXPECT_EQ("<null>", Str(GetArgValue("LANG", 2)));
    EXPECT_EQ("<null>", Str(GetArgValue("ORDER", 0)));
    EXPECT_EQ(0, TestArg("MyKey"));                        // not a switch
    EXPECT_EQ(0, TestArgValue("LANG", -1));
}

TEST(AppArgs, DashSwitchTakesTheNextEntry)
{
    Parse("p -lang 12 /LANGUAGE -LANG");
    EXPECT_EQ("12", Str(GetArgValue("LANG", 0)));
    EXPECT_EQ("UAGE", Str(GetArgValue("LANG", 1)));
    EXPECT_EQ("<null>", Str(GetArgValue("LANG", 2)));      // "-LANG" is the last entry
    EXPECT_EQ(1, TestArgValue("LANG", 2));
}

TEST(AppArgs, TokensQuotesAndBlanks)
{
    EXPECT_EQ(5, Parse("   \"C:\\Program Files\\x.exe\"   a  \"b c\"\"d\" \"open end  "));
    EXPECT_EQ("a", Str(APP::Arg(1)));
    EXPECT_EQ("b c", Str(APP::Arg(2)));
    EXPECT_EQ("d", Str(APP::Arg(3)));
    EXPECT_EQ("open end", Str(APP::Arg(4)));
    EXPECT_EQ(5, APP::ArgCount());
    char** argv = APP::ArgVector();
    EXPECT_STREQ("b c", argv[2]);
    EXPECT_EQ(nullptr, argv[5]);

    EXPECT_EQ(3, Parse("x a\"b c\""));                     // quotes inside a token mean nothing
    EXPECT_EQ("a\"b", Str(APP::Arg(1)));
    EXPECT_EQ("c\"", Str(APP::Arg(2)));
    EXPECT_EQ(1, Parse(""));                               // the program is always entry 0
    EXPECT_EQ(Str(APP::ProgramPath()), Str(APP::Arg(0)));
}

TEST(AppArgs, TableIgnoresTheExcess)
{
    std::string line = "prog.exe";
    for (int i = 1; i <= 300; i++)
        line += " /A" + std::to_string(i);
    EXPECT_EQ(APP_MAXARGS - 1, Parse(line.c_str()));
    EXPECT_EQ(APP_MAXARGS - 1, APP::ArgCount());
    EXPECT_EQ("/A126", Str(APP::Arg(126)));
    EXPECT_EQ(1, TestArg("A126"));
    EXPECT_EQ(0, TestArg("A127"));
    EXPECT_EQ(nullptr, APP::ArgVector()[APP_MAXARGS - 1]);
}

TEST(AppLanguage, NamesNumbersAndLocale)
{
    EXPECT_EQ(7, APP::LanguageFromText("ger", 0));
    EXPECT_EQ(9, APP::LanguageFromText("Engl", 0));
    EXPECT_EQ(12, APP::LanguageFromText("FRENCH", 0));
    EXPECT_EQ(14, APP::LanguageFromText("hungarian", 0));
    EXPECT_EQ(0, APP::LanguageFromText("GERMAN", 0));      // whole words only
    EXPECT_EQ(0, APP::LanguageFromText("UAGE", 0));
    EXPECT_EQ(12, APP::LanguageFromText("12", 0));
    EXPECT_EQ(12, APP::LanguageFromText(NULL, 0x040C));
    EXPECT_EQ(7, APP::LanguageFromText(NULL, 0x0807));     // Swiss German: primary language 7
}

TEST(AppFolder, DevelopmentTreeRule)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string tree = std::string(temp) + "app tree " + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryTree((tree + "\\Release2").c_str()));
    std::string exe = tree + "\\Release2\\setup.exe";
    EXPECT_EQ(tree + "\\Release2", Str(APP::ModuleFolder(exe.c_str())));   // no main.cpp yet
    FILE* f = fopen((tree + "\\main.cpp").c_str(), "wb");
    ASSERT_TRUE(f);
    fclose(f);
    EXPECT_EQ(tree, Str(APP::ModuleFolder(exe.c_str())));
    EXPECT_EQ(tree, Str(APP::ModuleFolder((tree + "\\debug\\setup.exe").c_str())));
    EXPECT_EQ(tree + "\\Other", Str(APP::ModuleFolder((tree + "\\Other\\setup.exe").c_str())));
    EXPECT_EQ(".", Str(APP::ModuleFolder("setup.exe")));
    DeleteFileA((tree + "\\main.cpp").c_str());
    RemoveDirectoryA((tree + "\\Release2").c_str());
    RemoveDirectoryA(tree.c_str());
}

TEST(AppModule, FallsBackToEnglishAndNamesTheApplication)
{
    // A program folder holding only the English module.
    char temp[MAX_PATH], self[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    GetModuleFileNameA(NULL, self, sizeof self);
    std::string bin(self);
    bin = bin.substr(0, bin.find_last_of('\\'));
    std::string dir = std::string(temp) + "app module " + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryTree(dir.c_str()));
    ASSERT_TRUE(CopyFileA((bin + "\\setupenglish.dll").c_str(), (dir + "\\setupenglish.dll").c_str(), FALSE));

    APP::SetLanguage(12);
    EXPECT_TRUE(LoadLanguageModule((dir + "\\setup.exe").c_str(), "setup", "1.00"));
    EXPECT_EQ(9, APP::Language());
    EXPECT_EQ(9, HalvoLanguage());
    EXPECT_EQ(".ENG", Str(OSYS::GetStringFromResource(2980, APP::ResourceModule())));
    std::string title = HalvoAppTitle();
    EXPECT_EQ(" (Setup 1.00)", title.substr(title.size() - 13));

    // The French module beside the test program is taken when asked for.
    APP::SetLanguage(12);
    EXPECT_TRUE(LoadLanguageModule(self, "setup", "1.00"));
    EXPECT_EQ(12, APP::Language());
    EXPECT_EQ(".FRA", Str(OSYS::GetStringFromResource(2980, APP::ResourceModule())));
    APP::SetResourceModule(NULL);
    HMODULE english = GetModuleHandleA((dir + "\\setupenglish.dll").c_str());
    if (english)
        FreeLibrary(english);
    DeleteFileA((dir + "\\setupenglish.dll").c_str());
    RemoveDirectoryA(dir.c_str());
}
