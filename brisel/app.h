// Application start: the argument table built from the command line and the
// command-line files, the language choice, the language module, and the
// argument queries used by the whole program.
#pragma once
#include <windows.h>
#include "brisel/strings.h"

// Entries of the argument table; the last one stays null as the end mark.
#define APP_MAXARGS 128

class APP
{
public:
    // The process entry: parses the arguments, chooses the language, runs
    // AppMain, closes the log and returns AppMain's result.
    static int WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR parm, int show);

    static HINSTANCE Instance();              // the instance handed to WinMain
    static HINSTANCE ResourceModule();        // dialogs and strings come from here
    static void SetResourceModule(HINSTANCE module);
    static int Language();                    // primary language id (7, 9, 12, 14, ...)
    static void SetLanguage(int language);
    static const STRING& ProgramPath();       // full path of the program file
    static const STRING& ProgramDirectory();  // its folder (development tree rule applied)
    static const STRING& StartDirectory();    // current directory at start

    // Argument table: entries 0 .. ArgCount()-1 (entry 0 the program path).
    static int ArgCount();
    static const STRING& Arg(int index);

    // Builds the argument table from a whole command line (program included)
    // and the command-line files; returns the number of command-line tokens.
    // Sets the current directory to the program directory.
    static int ParseCommandLine(HINSTANCE instance, const char* commandline);
    // Argument vector for AppMain: program path, command-line tokens, NULL.
    static char** ArgVector();
    // Language code from a LANG value (NULL: from the thread locale).
    static int LanguageFromText(const char* text, LCID locale);
    // Program directory of a program path, with the development tree rule.
    static STRING ModuleFolder(const char* programpath);
    // Forgets the argument table (tests parse several command lines).
    static void ResetArguments();

    // Called right after the arguments are parsed, before the language module
    // is loaded, to start a scripted run; NULL runs nothing. The program's own
    // WinMain sets it before calling APP::WinMain (a static library member
    // that only registers itself would never be linked in).
    static void (*StartAutomation)();
};

// Provided by the application.
int AppMain(int argc, char** argv);

// Loads "<folder>\<name><language>.dll" (English as fallback) as resource module
// and extends the application title; a missing English module ends the process
// with exit code 99 after a message box.
BOOL LoadLanguageModule(const char* path, const char* name, const char* version);

int TestArg(const char* name);
int TestArgValue(const char* name, int index);
STRING GetArgValue(const char* name, int index);
