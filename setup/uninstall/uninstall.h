// The uninstall: reads back what the install recorded, restarts from a folder
// of its own in the temporary folder, and removes the product in a three-page
// wizard (feedback, options, removal on a worker thread).
#pragma once
#include <windows.h>
#include "brisel/strings.h"
#include "setup/frame/setupdialog.h"

class STRINGARRAY;

// Steps of the uninstall wizard: their ids (idstep), as the hooks see them.
enum UNINSTALLSTEP
{
    STEP_FEEDBACK = 11,
    STEP_OPTIONS = 12,
    STEP_REMOVE = 7,
};
#define UNINSTALL_STEPS 3

// Built-in feedback target (recipient;relay) when the product recorded none.
#define UNINSTALL_DEFAULTMAIL "feedback@halvo.example;mail.halvo.example"

class UNINSTALL
{
public:
    // Process-wide state, set by the entry and read by the pages and the worker.
    static STRING KeyName;        // the REMOVE value: the product's uninstall key
    static STRING InstallDir;     // UninstallPath, without trailing "\"
    static STRING ProductName;    // AppName, or the key name
    static STRING RemovalChoice;  // "0" keep the user's data, "1" remove everything
    static STRING MailOffered;    // "1" once the feedback mail dialog was shown

    static int Main(const char* programpath);
    static const SETUPSTEP* Steps();

    static int FeedbackPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int OptionsPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int RemovePage(SETUPDIALOG* frame, DATADIALOG* page);
    static STRING SendMail(INT_PTR id, HWND dialog, STRING value);
    // /SILENT: the removal without the wizard, the user's data kept unless
    // /REMOVEALL; returns the exit code.
    static int RemoveSilently();

    // Restart: copies program and modules into a new folder inside temp and
    // starts the copy; FALSE when the uninstall must run in place.
    static BOOL Restart(const char* programpath, const char* temp);

    // Whether a recorded file is protected by an UninstallProtect entry: its
    // first ";" field names the file's name part or its whole relative path.
    static BOOL IsProtected(const STRING& item, const STRING& protect);
    // Whether an UninstallFiles item stays inside the install folder (no
    // absolute path, no ".." component).
    static BOOL IsInsideItem(const STRING& item);
    // Full, normalised form of a folder for comparisons (upper case, "\",
    // no trailing "\" except at a root); null for a relative or empty path.
    static STRING NormalisePath(const char* path);
    // Folders whose trees are never deleted: roots, system, profile, shell
    // and temporary folders, and every folder above one of them.
    static BOOL IsRefusedTree(const char* path);
    // The same against a given list of normalised protected folders.
    static BOOL IsRefusedTree(const char* path, STRINGARRAY& protectedfolders);
    static void ProtectedFolders(STRINGARRAY& list);
    // Deletes a registry key with everything below it; TRUE when it is gone.
    static BOOL DeleteKeyTree(HKEY root, const char* path, const char* name);
    // The product's keys (with everything), its uninstall entry and its
    // autostart value; what stays is reported.
    static void RemoveProductKeys(BOOL everything);
};

// The entry of setup main for the REMOVE switch.
int UninstallMain(const char* programpath);
