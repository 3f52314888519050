// Small shell-level dialogs: the program's message boxes.
#pragma once
#include <windows.h>
#include "brisel/strings.h"

// Caption NULL: string 10001 of the language module. Each box comes to the foreground.
void MessageInfo(HWND owner, const char* caption, const char* text);
void MessageError(HWND owner, const char* caption, const char* text);
BOOL MessageYesNo(HWND owner, const char* caption, const char* text);  // TRUE for Yes

// The system's save dialog. filter: lines "description|pattern" separated by "\n"
// (NULL: all files); initial: a folder, or a path whose name is proposed.
// Returns the chosen path, or the null string when cancelled.
STRING SaveFileDialog(HWND owner, const char* title, const char* initial, const char* filter);

// The shell's folder browser, opened at start (or its nearest existing parent);
// the chosen folder without a final "\", or null when cancelled.
STRING ChooseFolder(HWND owner, const char* title, const char* start);

// Callbacks of push buttons in data dialogs: id is the dialog control the
// button belongs to, value the button's value text, returned unchanged.
// Folder browser (title: value up to "|") that writes the chosen folder into edit id.
STRING BrowseForFolder(INT_PTR id, HWND owner, STRING value);
// Opens the value (a file or an address) with the shell.
STRING OpenDocument(INT_PTR id, HWND owner, STRING value);
