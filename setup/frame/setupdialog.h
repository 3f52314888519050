// The wizard frame: one dialog with a white header band, a page area and the
// Back / Next / Cancel row, through which a table of steps is walked. Each step
// creates its page inside the frame, runs its page function and removes it.
#pragma once
#include <windows.h>
#include <memory>
#include "brisel/datadialogs.h"
#include "brisel/strings.h"

// Page results for the step loop.
#define SETUP_NEXT    10781
#define SETUP_BACK    10780
#define SETUP_CANCEL  0
#define SETUP_SKIP    (-1)
#define SETUP_QUIT    (-2)      // the user has already agreed to quit: no question
#define SETUP_DONE    (-3)      // Run: the page's worker is done (never a page result)

// Gives the focus to control wparam of the frame.
#define WM_SETUP_FOCUS 0x0409
// Posted by a page's worker as its last step: ends the frame's Run with SETUP_DONE.
#define WM_SETUP_DONE  0x040A

// Events of the product's hooks (SetupHook gets 0, 1, 2, 3 and 7).
enum HOOKEVENT
{
    HOOK_START = 0,            // install: setup.cfg was read
    HOOK_INSTALLED = 1,        // install: the wizard has ended (SetupHook: only when it completed)
    HOOK_UNINSTALL = 2,        // uninstall: NewSetupHook before its first page, SetupHook before the files go
    HOOK_UNINSTALLED = 3,      // uninstall: SetupHook once the keys are gone, NewSetupHook after its wizard
    HOOK_PAGESTART = 4,        // the frame, before a page runs
    HOOK_PAGEEND = 5,          // the frame, after a page has run
    HOOK_FILESSTART = 6,       // file installation worker, before the first archive
    HOOK_FILESDONE = 7,        // file installation worker, after the uninstall entry
    HOOK_REMOVESTART = 8,      // uninstall worker, first of all
    HOOK_KEYSREMOVED = 9,      // uninstall worker, after SetupHook 3
};

// The product's new-style hook: event, value, first window, second window,
// address, data. Addresses travel pointer-sized.
typedef int (WINAPI* NEWSETUPHOOK)(int event, int value, HWND first, HWND second,
                                   INT_PTR address, INT_PTR data);

class SETUPDIALOG;
typedef int (*PAGEFUNCTION)(SETUPDIALOG* frame, DATADIALOG* page);

struct SETUPSTEP
{
    int idStep;            // never 0
    int Heading;           // string ids
    int Description;
    int Dialog;            // page template
    HINSTANCE Module;      // NULL: resource module
    PAGEFUNCTION Page;
    INT_PTR HookWord;      // handed to the hook with event 4
};

// 2-pixel etched line.
class SEPARATOR : public WINDOW
{
public:
    SEPARATOR(HWND parent, int id);
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
};

// A page: forwards Enter and Esc that end up in it (multi-line edits hand them to
// their parent) to the frame, which decides whether they count.
class SETUPPAGE : public DATADIALOG
{
public:
    SETUPPAGE(int templateid, HWND parent, HINSTANCE module) : DATADIALOG(templateid, parent, module) {}
    INT_PTR DialogProc(UINT message, WPARAM wparam, LPARAM lparam) override;
};

class SETUPDIALOG;

// A progress bar in place of the page's placeholder.
std::unique_ptr<PROGRESSBAR> PageProgressBar(HWND page);

// A page's worker thread and the page's wait for it. While the worker runs, the
// page keeps the frame's loop going (painting, the worker's messages) and
// ignores Next; the done message the worker posts as its last step ends the
// wait. Whatever the worker posts comes before that message, so nothing of it
// outlives its page.
class PAGEWORKER
{
public:
    explicit PAGEWORKER(SETUPDIALOG* frame) : Frame(frame), hThread(NULL), Finished(FALSE) {}
    ~PAGEWORKER();                      // waits for a worker still running
    PAGEWORKER(const PAGEWORKER&) = delete;
    PAGEWORKER& operator=(const PAGEWORKER&) = delete;

    // FALSE when no thread could be made: the page then runs the function itself.
    BOOL Start(LPTHREAD_START_ROUTINE function, LPVOID parameter);
    // The worker's last step.
    void Done();
    // Runs the frame while the worker works: SETUP_DONE once it is done (the
    // thread has ended then), else what ended the frame's loop other than
    // Next (Cancel, the close command), for the page to answer.
    int RunWhileWorking();
    BOOL Working() const { return hThread != NULL && !Finished; }
    // The thread, for a page that also waits on an event of its worker's.
    HANDLE Thread() const { return hThread; }

private:
    void Join();

    SETUPDIALOG* Frame;
    HANDLE hThread;
    BOOL Finished;          // the done message has ended the wait
};

class SETUPDIALOG : public DATADIALOG
{
public:
    SETUPDIALOG(const char* caption, const char* cancelquestion, int descsize);
    ~SETUPDIALOG() override;
    INT_PTR DialogProc(UINT message, WPARAM wparam, LPARAM lparam) override;
    int Run() override;

    // Walks count entries of steps; 1 when the step with idstep laststep ended
    // with 0, 0 when the user gave up.
    int RunSteps(const SETUPSTEP* steps, int count, int laststep);

    DATADIALOG* CreatePage(const char* heading, const char* description, int dialogid, HINSTANCE module);
    void RemovePage();
    DATADIALOG* Page() const { return pSubDlg.get(); }
    void SetSetupHook(NEWSETUPHOOK h) { Hook = h; }
    NEWSETUPHOOK GetSetupHook() const { return Hook; }
    HWND Item(int id) const { return GetDlgItem(hWnd, id); }
    // The cancel question; TRUE when the user wants to go on.
    BOOL AskContinue();
    // Visible and enabled: only then do keys and the close command act on a button.
    BOOL Usable(int id) const;
    // Button state: shown or hidden, default style on or off.
    void SetButton(int id, BOOL show, BOOL isdefault);

private:
    void ShowStep(const SETUPSTEP& step, BOOL first, BOOL last, const char* canceltext);
    int RunStep(const SETUPSTEP& step);

    HFONT hHeadFont;
    HFONT hDescFont;
    std::unique_ptr<DATADIALOG> pSubDlg;     // the page shown now
    int DescSize;
    STRING CancelQuestion;
    NEWSETUPHOOK Hook;
    std::unique_ptr<SEPARATOR> Upper;       // under the header band
    std::unique_ptr<SEPARATOR> Lower;       // above the buttons
};
