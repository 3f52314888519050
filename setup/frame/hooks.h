// The product's hooks: its own library (SETUPHOOK.DLL beside the program) or
// the built-in ones, called by the install and the uninstall at their events.
#pragma once
#include <windows.h>
#include "setup/frame/setupdialog.h"

// The product's old-style hook: event and a text (NULL for none).
typedef int (WINAPI* SETUPHOOKFN)(int event, const char* text);

class HOOKS
{
public:
    static SETUPHOOKFN fpSetupHook;
    static NEWSETUPHOOK fpNewSetupHook;
    static int WINAPI SetupHookDefault(int event, const char* text);
    static int WINAPI NewSetupHookDummy(int event, int value, HWND first, HWND second, INT_PTR address, INT_PTR data);
    static void CallSetupHook(int event, const char* text);
    static void CallNewSetupHook(int event, int value, HWND first, HWND second, INT_PTR address, INT_PTR data);
    // Loads "SETUPHOOK.DLL" from the program's own folder only; NULL when absent.
    static HMODULE LoadHookLibrary(const char* programpath);
    static void UnloadHookLibrary(HMODULE library);
};
