// Inside the scripted mode: the state a run shares between the user-interface
// thread and the script thread, finding the program's windows, waiting until
// the program is idle, and the table of actions.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Exit codes of a scripted run that fails (the program's own codes stay below 100).
enum SCRIPTEXIT
{
    SCRIPT_EXIT_BADSCRIPT = 120,     // script missing, unreadable, or a line not understood
    SCRIPT_EXIT_EXPECT = 121,        // an expectation did not hold
    SCRIPT_EXIT_TIMEOUT = 122,       // the program did not settle, or a window or control did not come
    SCRIPT_EXIT_UNEXPECTED = 123,    // a message box came up while the script waited for something else
    SCRIPT_EXIT_LEFTOPEN = 124,      // a box or dialog was still open after the last line
    SCRIPT_EXIT_ACTION = 125,        // an action could not be done (no such button, entry, dialog ...)
    SCRIPT_EXIT_EARLYEND = 126,      // the program ended before the script was done
};

// Everything a scripted run shares between the user-interface thread (the
// probe window and the message hooks) and the script thread.
struct SCRIPTSTATE
{
    HWND hProbe = NULL;              // message-only window that the idle probes go to
    DWORD UiThread = 0;              // the thread whose idleness counts
    HHOOK hGetMsgHook = NULL;
    HHOOK hCallWndHook = NULL;
    volatile LONG Activity = 0;      // messages the UI thread handled, probes, timers and paints aside
    volatile LONG ProbeDone = 0;     // number of the last probe handled
    volatile LONG ActivityAtProbe = 0;   // Activity when that probe was handled
    volatile LONG ScriptSending = 0; // the script thread's own reads are no activity
    LONG ProbeSeq = 0;               // number of the last probe posted
    volatile LONG Active = 0;        // a script drives this process
    volatile LONG Finished = 0;      // its last line is done
    volatile LONG CurrentLine = 0;   // for messages
    DWORD TimeoutMs = 30000;         // how long a line may wait (BRISEL_SCRIPT_TIMEOUT)
    std::string BaseDir;             // relative names resolve against it
    std::vector<std::string> Lines;
    std::string LineText;            // the current line, for messages
    BYTE Held[4] = {};               // keys held down, released at the end
    int NumHeld = 0;
};

extern SCRIPTSTATE Script;

// ---- the end of a run (automate.cpp)

// Ends the process with code after writing "script line N (...): " and the
// message to standard error and the log.
[[noreturn]] void Fail(int code, const char* format, ...);
void ReleaseHeld();
std::string Resolve(const std::string& name);     // against the script's folder

// ---- the program's windows and its idleness (targets.cpp)

void StartProbe();                  // on the user-interface thread
DWORD Deadline();                   // now + the line's time
BOOL Expired(DWORD deadline);
// Waits until the program is idle; with boxok a message box that is up counts
// as idle too. Fails the run on a time-out.
void Settle(BOOL boxok = FALSE);

std::string ClassOf(HWND h);
std::string TextOf(HWND h);
// SendMessage with a time-out that is not counted as activity; -1 on a time-out.
LRESULT SendRead(HWND h, UINT message, WPARAM wparam, LPARAM lparam);
BOOL IsFramework(HWND h);
BOOL IsDialogClass(HWND h);
BOOL IsMessageBox(HWND h);
std::string BoxText(HWND h);
std::string Quote(HWND h);          // caption and text of a box, for messages
std::vector<HWND> TopWindows();     // the program's visible top-level windows, topmost first
HWND Target();                      // the topmost enabled one
HWND AnyBox();
void CheckNoBox();                  // fails the run when a message box is up
std::vector<int> DialogIds(HWND top);
HWND FindControl(HWND top, int id);
BOOL Ready(HWND c);                 // visible and enabled, with its parents
HWND WaitControl(int id);
HWND WaitBox(const std::string* text);
HWND ChildOfClass(HWND parent, const char* cls);
HWND WaitSystemDialog(const char* childclass, const char* what);

// ---- screenshots (png.cpp)

BOOL Screenshot(HWND h, const std::string& file);

// ---- the actions (actions.cpp)

// How an action reads the rest of its line.
enum SCRIPTARGS
{
    ARGS_NONE,
    ARGS_ID,            // a control id
    ARGS_ID_TEXT,       // a control id, a blank, then text to the end of the line
    ARGS_TEXT,          // text to the end of the line
};

// What the program must be before the action.
enum SCRIPTSETTLE
{
    SETTLE_NONE,        // nothing: the action does its own waiting
    SETTLE_IDLE,        // idle
    SETTLE_BOX,         // idle, or showing a message box
};

struct SCRIPTLINE
{
    std::string Action;
    int Id;             // ARGS_ID, ARGS_ID_TEXT
    std::string Text;   // ARGS_ID_TEXT, ARGS_TEXT
};

struct SCRIPTACTION
{
    const char* Name;
    SCRIPTARGS Args;
    SCRIPTSETTLE Settle;
    void (*Handler)(const SCRIPTLINE& line);
};

// Reads one script line and does it; fails the run on a line it cannot read.
void DoLine(const std::string& text);
