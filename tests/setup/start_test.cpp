// setup.exe's start: exact command lines given through CreateProcessA, the
// command-line files, the language module chosen and the "DLL not found" box.
// Each test copies setup.exe (and the modules it needs) into a fresh folder
// whose name has blanks and reads the log the program writes there.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>
#include "../testboxes.h"
#include "../testfiles.h"

namespace {

using namespace testfiles;

// The log's lines without their time and thread prefix.
std::vector<std::string> ReadLog(const std::string& path)
{
    std::vector<std::string> lines;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return lines;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    fclose(f);
    size_t start = 0, nl;
    while ((nl = text.find("\r\n", start)) != std::string::npos) {
        std::string line = text.substr(start, nl - start);
        size_t p = line.find("] ");
        lines.push_back(p == std::string::npos ? line : line.substr(p + 2));
        start = nl + 2;
    }
    return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line)
{
    for (const auto& l : lines)
        if (l == line)
            return true;
    return false;
}

// Lines of the install log without their time stamp ("YYYY-MM-DD HH:MM:SS ").
std::vector<std::string> Untimed(const std::vector<std::string>& lines)
{
    std::vector<std::string> out;
    for (const auto& l : lines) {
        bool stamped = l.size() >= 20 && l[4] == '-' && l[7] == '-' && l[10] == ' ' && l[13] == ':' && l[16] == ':';
        EXPECT_TRUE(stamped) << l;
        out.push_back(stamped ? l.substr(20) : l);
    }
    return out;
}

std::vector<std::string> Arguments(const std::vector<std::string>& lines)
{
    std::vector<std::string> args;
    for (const auto& l : lines) {
        std::string head = "Program Argument " + std::to_string(args.size()) + "= ";
        if (l.compare(0, head.size(), head) == 0)
            args.push_back(l.substr(head.size()));
    }
    return args;
}

class SetupStart : public testing::Test
{
protected:
    std::string bin, dir;

    void SetUp() override
    {
        bin = ProgramFolder();
        dir = TempFolder("Halvo Setup Test", testing::UnitTest::GetInstance()->current_test_info()->name());
        CreateDirectoryA(dir.c_str(), NULL);
    }
    void TearDown() override { RemoveTree(dir); }

    // Copies setup.exe and the named language modules into folder.
    void Install(const std::string& folder, std::vector<std::string> modules)
    {
        CreateDirectoryA(folder.c_str(), NULL);
        ASSERT_TRUE(CopyFileA((bin + "\\setup.exe").c_str(), (folder + "\\setup.exe").c_str(), FALSE));
        for (const auto& m : modules) {
            std::string name = "setup" + m + ".dll";
            ASSERT_TRUE(CopyFileA((bin + "\\" + name).c_str(), (folder + "\\" + name).c_str(), FALSE)) << name;
        }
    }

    // Starts the command line exactly as given; returns the exit code. The
    // child's first message box (such as the missing setup.cfg) is answered OK
    // and, with box, read into it; with answer false it is left to the child.
    DWORD Run(const std::string& commandline, const std::string& folder, std::string* box = NULL,
              const char* application = NULL, bool answer = true)
    {
        std::string unread;
        if (!box && answer)
            box = &unread;
        STARTUPINFOA si;
        memset(&si, 0, sizeof si);
        si.cb = sizeof si;
        PROCESS_INFORMATION pi;
        std::string cl = commandline;
        if (!CreateProcessA(application, &cl[0], NULL, NULL, FALSE, 0, NULL, folder.c_str(), &si, &pi)) {
            ADD_FAILURE() << "cannot start " << commandline;
            return (DWORD)-1;
        }
        DWORD wait = WAIT_TIMEOUT;
        for (int i = 0; i < 600 && wait == WAIT_TIMEOUT; i++) {
            wait = WaitForSingleObject(pi.hProcess, 50);
            if (box && wait == WAIT_TIMEOUT) {
                if (HWND found = testboxes::FindBox(pi.dwProcessId)) {
                    *box = testboxes::WindowText(found) + "|" + testboxes::BoxText(found);
                    testboxes::Press(found, IDOK);
                    box = NULL;
                }
            }
        }
        DWORD code = (DWORD)-1;
        if (wait == WAIT_TIMEOUT) {
            ADD_FAILURE() << "still running: " << commandline;
            TerminateProcess(pi.hProcess, 1);
            WaitForSingleObject(pi.hProcess, 5000);
        } else {
            GetExitCodeProcess(pi.hProcess, &code);
        }
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        return code;
    }

    std::string Exe() const { return dir + "\\setup.exe"; }
    std::string Quoted() const { return "\"" + Exe() + "\""; }
};

} // namespace

TEST_F(SetupStart, QuotedProgramPathAndRemoveKey)
{
    Install(dir, { "english", "french" });
    // The uninstall job itself is not the point here: only how the line was read.
    // MyKey has no record, so the uninstall ends with its box.
    std::string box;
    ASSERT_NE((DWORD)-1, Run(Quoted() + "  -remove MyKey   /LOGIT:start.log /LOG:12  ", dir, &box));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\MyKey");
    EXPECT_EQ("MyKey Uninstall|The files are missing, or this program has already been uninstalled.", box);
    std::vector<std::string> log = ReadLog(dir + "\\start.log");
    EXPECT_EQ((std::vector<std::string>{ Exe(), "-remove", "MyKey", "/LOGIT:start.log", "/LOG:12" }), Arguments(log));
    EXPECT_TRUE(Has(log, "Trying commandline.ini"));
    EXPECT_TRUE(Has(log, "Trying " + dir + "\\setup_commandline.ini"));
    EXPECT_TRUE(Has(log, "GetArgValue(\"LANG\", 0) returned <NULL>"));
    EXPECT_TRUE(Has(log, "GetArgValue(\"REMOVE\", 0) returned MyKey"));
    EXPECT_TRUE(Has(log, "OSYS::GetStringFromResource 2901 returns Halvo Uninstall"));
}

TEST_F(SetupStart, LanguageSwitchesChooseTheModule)
{
    Install(dir, { "english", "french" });
    const char* lines[] = { " /LANG:FRENCH", " -lang 12", " /LANG:12" };
    for (const char* l : lines) {
        ASSERT_EQ(0u, Run(Quoted() + " /LOGIT:lang.log /LOG:12" + l, dir)) << l;
        EXPECT_TRUE(Has(ReadLog(dir + "\\lang.log"), "OSYS::GetStringFromResource 2900 returns Installation de Halvo")) << l;
    }
    // "/LANGUAGE" matches LANG with the value "UAGE": language 0, the English module.
    ASSERT_EQ(0u, Run(Quoted() + " /LOGIT:lang.log /LOG:12 /LANGUAGE", dir));
    std::vector<std::string> log = ReadLog(dir + "\\lang.log");
    EXPECT_TRUE(Has(log, "GetArgValue(\"LANG\", 0) returned UAGE"));
    EXPECT_TRUE(Has(log, "OSYS::GetStringFromResource 2900 returns Halvo Setup"));
    // No German module here: English instead.
    ASSERT_EQ(0u, Run(Quoted() + " /LOGIT:lang.log /LOG:12 /LANG:GER", dir));
    EXPECT_TRUE(Has(ReadLog(dir + "\\lang.log"), "OSYS::GetStringFromResource 2900 returns Halvo Setup"));
}

TEST_F(SetupStart, UnmatchedQuoteAndUnquotedProgram)
{
    Install(dir, { "english" });
    ASSERT_EQ(0u, Run(Quoted() + " /LOGIT:q.log \"rest of  the line", dir));
    EXPECT_EQ((std::vector<std::string>{ Exe(), "/LOGIT:q.log", "rest of  the line" }), Arguments(ReadLog(dir + "\\q.log")));

    // The program typed without path: entry 0 is still the full path.
    ASSERT_EQ(0u, Run("setup /LOGIT:q.log \"a b\"c", dir, NULL, Exe().c_str()));
    EXPECT_EQ((std::vector<std::string>{ Exe(), "/LOGIT:q.log", "a b", "c" }), Arguments(ReadLog(dir + "\\q.log")));
}

TEST_F(SetupStart, CommandLineFilesAddArguments)
{
    Install(dir, { "english", "french" });
    WriteText(dir + "\\commandline.ini", "  /EXTRA \t\r\n\r\n/LOGIT:files.log\r\nname with blanks\r\n");
    WriteText(dir + "\\setup_commandline.ini", "/LANG:FRENCH\r\n/LOG:12");
    ASSERT_EQ(0u, Run(Quoted() + " -x", dir));
    std::vector<std::string> log = ReadLog(dir + "\\files.log");
    EXPECT_EQ((std::vector<std::string>{ Exe(), "-x", "/EXTRA", "/LOGIT:files.log", "name with blanks", "/LANG:FRENCH", "/LOG:12" }),
              Arguments(log));
    EXPECT_TRUE(Has(log, "Loading " + dir + "\\setup_commandline.ini"));
    EXPECT_TRUE(Has(log, "OSYS::GetStringFromResource 2900 returns Installation de Halvo"));
}

TEST_F(SetupStart, ExcessArgumentsAreIgnored)
{
    Install(dir, { "english" });
    std::string cl = Quoted() + " /LOGIT:many.log";
    for (int i = 2; i < 200; i++)
        cl += " a" + std::to_string(i);
    WriteText(dir + "\\commandline.ini", "/FROMFILE\r\n");
    ASSERT_EQ(0u, Run(cl, dir));
    std::vector<std::string> args = Arguments(ReadLog(dir + "\\many.log"));
    ASSERT_EQ(127u, args.size());
    EXPECT_EQ("a126", args[126]);
}

TEST_F(SetupStart, MissingEnglishModuleEndsWith99)
{
    Install(dir, {});
    std::string box;
    EXPECT_EQ(99u, Run(Quoted() + " /LOGIT:none.log /LANG:GER", dir, &box));
    EXPECT_EQ("Halvo Application|DLL not found:\r" + dir + "\\setupenglish.dll", box);
}

TEST_F(SetupStart, LongProgramFolderFindsItsModule)
{
    // A program path of 258 characters, the most a folder of this kind allows.
    std::string folder = dir + "\\";
    folder += std::string(258 - folder.size() - strlen("\\setup.exe"), 'L');
    ASSERT_EQ(258u, folder.size() + strlen("\\setup.exe"));
    Install(folder, { "english" });
    ASSERT_EQ(0u, Run("\"" + folder + "\\setup.exe\" /LOGIT:long.log /LOG:12", folder));
    std::vector<std::string> log = ReadLog(folder + "\\long.log");
    ASSERT_FALSE(Arguments(log).empty());
    EXPECT_EQ(folder + "\\setup.exe", Arguments(log)[0]);
    EXPECT_TRUE(Has(log, "OSYS::GetStringFromResource 2900 returns Halvo Setup"));
}

TEST_F(SetupStart, DevelopmentTreeFolder)
{
    // setup.exe in tree\Release beside a main source file one level up: the
    // module and the command-line file are taken from the tree.
    Install(dir + "\\Release", {});
    ASSERT_TRUE(CopyFileA((bin + "\\setupenglish.dll").c_str(), (dir + "\\setupenglish.dll").c_str(), FALSE));
    WriteText(dir + "\\main.cpp", "");
    WriteText(dir + "\\commandline.ini", "/LOG:12\r\n");
    ASSERT_EQ(0u, Run("\"" + dir + "\\Release\\setup.exe\" /LOGIT:dev.log", dir + "\\Release"));
    std::vector<std::string> log = ReadLog(dir + "\\dev.log");
    EXPECT_TRUE(Has(log, "Program Argument 2= /LOG:12"));
    EXPECT_TRUE(Has(log, "OSYS::GetStringFromResource 2900 returns Halvo Setup"));
}

TEST_F(SetupStart, SwitchesBoxAndUnattendedCommandLines)
{
    Install(dir, { "english", "german" });
    // "/?": the switches in the user's language, exit code 0.
    std::string box;
    ASSERT_EQ(0u, Run(Quoted() + " /?", dir, &box));
    EXPECT_EQ(0u, box.find("Halvo Setup|Setup switches:\n/SILENT ")) << box;
    EXPECT_NE(std::string::npos, box.find("/INSTALLLOG:\"file\"")) << box;
    EXPECT_NE(std::string::npos, box.find("7 Setup is already running.")) << box;
    ASSERT_EQ(0u, Run(Quoted() + " /LANG:GER -?", dir, &box));
    EXPECT_EQ(0u, box.find("Installation von Halvo|Setup-Schalter:\n")) << box;

    // Switches are matched whole: /DIRECTORY is no /DIR, but a misspelt one of
    // ours, which a silent run refuses. The log goes where setup was started.
    std::string work = dir + "\\work";
    CreateDirectoryA(work.c_str(), NULL);
    EXPECT_EQ(2u, Run(Quoted() + " /SILENT /ACCEPTLICENCE /DIRECTORY:x /INSTALLLOG:s.log", work));
    EXPECT_EQ((std::vector<std::string>{ "Bad command line: unknown switch /DIRECTORY:x", "Result: 2, bad command line" }),
              Untimed(ReadLog(work + "\\s.log")));

    // The debug trace's switches and an unknown language beside the silent ones.
    EXPECT_EQ(3u, Run(Quoted() + " /SILENT /ACCEPTLICENSE /LOGIT:trace.log /LOG:12 /LANG:KLINGON \"/INSTALLLOG:s 2.log\"",
                      work));
    EXPECT_TRUE(Has(Untimed(ReadLog(work + "\\s 2.log")), "Language KLINGON is not known: English is used"));
    EXPECT_TRUE(Has(ReadLog(dir + "\\trace.log"), "GetArgValue(\"LANG\", 0) returned KLINGON"));

    // "/REMOVEALL" is never taken for the key of REMOVE.
    EXPECT_EQ(3u, Run(Quoted() + " /REMOVEALL -remove BriselNoSuchKey /SILENT /INSTALLLOG:s.log", work));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\BriselNoSuchKey");
    std::vector<std::string> log = Untimed(ReadLog(work + "\\s.log"));
    ASSERT_EQ(5u, log.size());
    EXPECT_EQ(0u, log[2].find("Silent removal of BriselNoSuchKey:")) << log[2];
    EXPECT_EQ("Result: 3, settings missing or unreadable", log[4]);
}

TEST_F(SetupStart, OneSetupOfAProductAtATime)
{
    Install(dir, { "english" });
    WriteText(dir + "\\setup.cfg", "AppName=Tool\r\nIniKey=BriselLockTest\r\n");
    HANDLE held = CreateMutexA(NULL, TRUE, "Global\\Halvo Setup BriselLockTest");
    ASSERT_TRUE(held != NULL);
    std::string box;
    EXPECT_EQ(0u, Run(Quoted(), dir, &box));
    EXPECT_EQ("Halvo Setup|Setup of Tool is already running.\nPlease wait until it has finished.", box);
    EXPECT_EQ(7u, Run(Quoted() + " /SILENT /ACCEPTLICENCE", dir));
    ReleaseMutex(held);
    CloseHandle(held);
}

TEST_F(SetupStart, OnlyTheScriptSwitchRunsAScript)
{
    Install(dir, { "english" });
    SetEnvironmentVariableA("BRISEL_SCRIPT", NULL);
    // A script that fails at once, were it run.
    WriteText(dir + "\\s.script", "jump\r\n");
    const char* others[] = { " /SCRIPTING", " -scripted s.script", " -SCRIPT:s.script", " /SCRIPT s.script" };
    for (const char* other : others) {
        std::string box;
        EXPECT_EQ(0u, Run(Quoted() + " /LOGIT:s.log" + other, dir, &box)) << other;
        EXPECT_EQ("Halvo Setup|Setup cannot find the file SETUP.CFG.\n(Is the program already installed?)", box)
            << other;
        // Only the lines that echo the command line name the switch.
        for (const std::string& line : ReadLog(dir + "\\s.log")) {
            if (line.compare(0, 17, "Program Argument ") != 0 && line.compare(0, 13, "APP::WinMain ") != 0) {
                EXPECT_EQ(std::string::npos, line.find("SCRIPT")) << other << ": " << line;
            }
        }
    }

    // The switch itself, in any case, answers the box through its script.
    WriteText(dir + "\\s.script", "expect-box SETUP.CFG\r\nanswer ok\r\n");
    EXPECT_EQ(0u, Run(Quoted() + " /LOGIT:s.log /script:s.script", dir, NULL, NULL, false));
    std::vector<std::string> log = ReadLog(dir + "\\s.log");
    EXPECT_TRUE(Has(log, "SCRIPT 2: answer ok"));
}
