// setup.exe: setup main, the install run, the product's settings and its hooks.
#pragma once
#include "brisel/app.h"
#include "brisel/stringarray.h"
#include "setup/setupdialog.h"
#include "setup/journal.h"

// Name and version under which setup loads its language module ("setup" + "english.dll" ...).
#define SETUP_APPNAME    "setup"
#define SETUP_APPVERSION "1.00"

// The product's old-style hook: event and a text (NULL for none).
typedef int (WINAPI* SETUPHOOKFN)(int event, const char* text);

// Steps of the install wizard.
#define INSTALL_STEPS 7

class SETUP
{
public:
    // Install state, shared by the install pages.
    static KEYTABLE Settings;        // setup.cfg after the language variants
    static STRING InstallMode;       // "0" fresh, "1" same version installed, "2" update
    static STRING DisplayName;       // AppName + " " + AppVersion
    static STRING InstallDir;        // without trailing "\" after the destination page
    static STRING ProgramGroup;      // start-menu folder that received the shortcuts
    static FAILURES Failures;        // writes that failed, told once at the end
    static JOURNAL Journal;          // what this install run changed, for undoing it
    static BOOL FilesIn;             // the files page has installed and registered the product

    // Hooks: the built-in defaults unless the product's library supplies its own.
    static SETUPHOOKFN fpSetupHook;
    static NEWSETUPHOOK fpNewSetupHook;
    static int WINAPI SetupHookDefault(int event, const char* text);
    static int WINAPI NewSetupHookDummy(int event, int value, HWND first, HWND second, INT_PTR address, INT_PTR data);
    // Built-in hook of the terminal program (AppName "Vantor", no hook of the product's own).
    static int WINAPI NewSetupHookVantor(int event, int value, HWND first, HWND second, INT_PTR address, INT_PTR data);
    static void CallSetupHook(int event, const char* text);
    static void CallNewSetupHook(int event, int value, HWND first, HWND second, INT_PTR address, INT_PTR data);
    // Loads "SETUPHOOK.DLL" from the program's own folder only; NULL when absent.
    static HMODULE LoadHookLibrary(const char* programpath);
    static void UnloadHookLibrary(HMODULE library);

    // Settings: a key with "." is a language variant; the one with the suffix
    // replaces its base key, every other one is dropped.
    static void ApplyLanguageVariants(KEYTABLE& table, const char* suffix);
    // Every occurrence, case-sensitive.
    static STRING ReplaceAll(const STRING& text, const char* placeholder, const char* value);
    // Non-empty entries of a "|" list.
    static STRINGARRAY ListEntries(const STRING& list);
    // Default install directory from InstallPath: "*" + absolute path, or below
    // Program Files; without InstallPath Program Files and the product's name.
    static STRING DefaultInstallDir(const STRING& installpath, const STRING& appname);
    // Caption of the install's boxes: string 2900 with the product's name.
    static STRING Caption(KEYTABLE& cfg);
    // Final message text: string 2994 with $PROGRAM = AppName.
    static STRING FinalMessage();

    static int InstallRun();
    // setup.cfg into Settings, with the hooks' first events, the language
    // variants and the defaults; FALSE when it cannot be read.
    static BOOL ReadSettings();
    // Where an earlier installation is (its UninstallPath, when that folder
    // is still there), else where InstallPath says.
    static STRING InstallFolder();
    // After the wizard or a silent install: the hooks learn how it ended and
    // the DeleteAfterExtract files go.
    static void EndInstall(BOOL completed);
    // The install step table (page functions of setup/install).
    static const SETUPSTEP* InstallSteps();
    // Uninstall entry of the product ("Software\Microsoft\Windows\CurrentVersion\Uninstall\" + IniKey).
    static STRING UninstallBase();
};
