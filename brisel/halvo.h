// Debug log and assertions: the trace lines of every module and the one routine
// through which every consistency check reports.
#pragma once
#include <windows.h>

// Log lines are cut below this size (prefix and text together).
#define LOGIT_LINE_MAX 8192

// Writes one trace line when the log file or debugger output is on.
BOOL Logit(const char* format, ...);
// As Logit, but only when the level passes the level mask.
BOOL LogitLevel(int level, const char* format, ...);
// Applies one command-line switch; FALSE when the text is not one of ours.
BOOL LogitSwitch(const char* text);
// Ctrl+Shift+F5/F6/F8 in a list view opens, opens hard, or closes the log.
void LogitHotkey(UINT message, WPARAM wparam, LPARAM lparam);

// Reports a failed condition to the log, "assert.log" and (unless silent or
// switched off) the user; returns TRUE when the program may go on.
BOOL Assert(BOOL condition, const char* text, const char* file, int line, const char* info, BOOL silent);

#define ASSERT(cond)             Assert((cond) ? TRUE : FALSE, #cond, __FILE__, __LINE__, NULL, FALSE)
#define ASSERTINFO(cond, info)   Assert((cond) ? TRUE : FALSE, #cond, __FILE__, __LINE__, (info), FALSE)
#define ASSERTSILENT(cond, info) Assert((cond) ? TRUE : FALSE, #cond, __FILE__, __LINE__, (info), TRUE)

// The system's text for an error code, without trailing line ends, into a
// caller's buffer; none when the system has no text for it.
void HalvoErrorText(DWORD code, char* buf, int size, const char* none);

// Set by the application start: the title used in assertion reports
// ("Halvo Application" until then) and the language number (7 = German texts).
void HalvoSetAppTitle(const char* title);
const char* HalvoAppTitle();
void HalvoSetLanguage(int language);
int HalvoLanguage();

// State queries, for the application start and for tests.
const char* HalvoLogFileName();   // name of the open log file, "" when none
BOOL HalvoLogging();              // a log file is open
int HalvoLevelMask();
BOOL HalvoAssertBoxesOff();
// Closes the log and returns every setting to its start value (tests only).
void HalvoResetState();
