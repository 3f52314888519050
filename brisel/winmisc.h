// Small shell-level dialogs: the program's message boxes.
#pragma once
#include <windows.h>

// Caption NULL: string 10001 of the language module. Each box comes to the foreground.
void MessageInfo(HWND owner, const char* caption, const char* text);
void MessageError(HWND owner, const char* caption, const char* text);
BOOL MessageYesNo(HWND owner, const char* caption, const char* text);  // TRUE for Yes
