// Scripted runs: a thread that drives the program's own windows as a person
// would, one action a line, for unattended runs and end-to-end tests.
#pragma once
#include <windows.h>

// Exit codes of a scripted run that fails (the program's own codes stay below 100).
#define SCRIPT_EXIT_BADSCRIPT   120  // script missing, unreadable, or a line not understood
#define SCRIPT_EXIT_EXPECT      121  // an expectation did not hold
#define SCRIPT_EXIT_TIMEOUT     122  // the program did not settle, or a window or control did not come
#define SCRIPT_EXIT_UNEXPECTED  123  // a message box came up while the script waited for something else
#define SCRIPT_EXIT_LEFTOPEN    124  // a box or dialog was still open after the last line
#define SCRIPT_EXIT_ACTION      125  // an action could not be done (no such button, entry, dialog ...)
#define SCRIPT_EXIT_EARLYEND    126  // the program ended before the script was done

// Hook of the application start: the script of "/SCRIPT:file", or of the
// environment variable BRISEL_SCRIPT when the switch is absent.
void AutomateStart();

// Starts the script thread for a script file (relative names resolve against
// basedir, NULL: the current folder). Must be called on the user-interface
// thread, whose idleness the script watches. FALSE when no script is given.
BOOL AutomateRun(const char* scriptfile, const char* basedir);

// TRUE while a script drives this process.
BOOL AutomateActive();

// Writes a 24-bit RGB image (rows top down, 3 bytes a pixel) as PNG.
BOOL AutomateWritePng(const char* file, int width, int height, const BYTE* rgb);
DWORD AutomateCrc32(const BYTE* data, size_t length, DWORD crc = 0);
