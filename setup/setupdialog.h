// The wizard frame: one dialog with a white header band, a page area and the
// Back / Next / Cancel row, through which a table of steps is walked. Each step
// creates its page inside the frame, runs its page function and removes it.
#pragma once
#include <windows.h>
#include "brisel/datadialogs.h"
#include "brisel/strings.h"

// Page results for the step loop.
#define SETUP_NEXT    10781
#define SETUP_BACK    10780
#define SETUP_CANCEL  0
#define SETUP_SKIP    (-1)
#define SETUP_QUIT    (-2)      // the user has already agreed to quit: no question

// Gives the focus to control wparam of the frame.
#define WM_SETUP_FOCUS 0x0409

// The product's new-style hook: event, value, first window, second window,
// address, data. Addresses travel pointer-sized.
typedef int (WINAPI* NEWSETUPHOOK)(int event, int value, HWND first, HWND second,
                                   INT_PTR address, INT_PTR data);

class SETUPDIALOG;
typedef int (*PAGEFUNCTION)(SETUPDIALOG* frame, DATADIALOG* page);

struct SETUPSTEP
{
    int idstep;            // never 0
    int heading;           // string ids
    int description;
    int dialog;            // page template
    HINSTANCE module;      // NULL: resource module
    PAGEFUNCTION page;
    INT_PTR hookword;      // handed to the hook with event 4
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
    DATADIALOG* Page() const { return pSubDlg; }
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
    HFONT hHeadFont;
    HFONT hDescFont;
    DATADIALOG* pSubDlg;
    int DescSize;
    STRING CancelQuestion;
    NEWSETUPHOOK Hook;
    SEPARATOR* Upper;
    SEPARATOR* Lower;
};
