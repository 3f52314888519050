// Window framework: windows bound to objects, dialogs with their own modal loop,
// wrappers of the standard and common controls, geometry and context help.
#pragma once
#include <windows.h>
#include "brisel/strings.h"

// Private window messages of the framework.
#define WM_BRISEL_END        0x0441   // wparam: end value; ends the Run loop of its dialog
#define WM_BRISEL_LATECREATE 0x0442   // the object sees its creation after construction
#define WM_BRISEL_QUERYID    0x0443   // wparam: int* that receives the object's id

typedef LRESULT (*WINDOWHOOK)(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

class WINDOW
{
public:
    WINDOW(DWORD style, const char* title, int x, int y, int width, int height,
           HWND parent, int id, const char* classname = NULL, HCURSOR cursor = NULL);
    explicit WINDOW(HWND hwnd);
    virtual ~WINDOW();
    virtual LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam);

    HWND Hwnd() const { return hWnd; }
    operator HWND() const { return hWnd; }
    int Id() const { return WndId; }
    void SetHook(WINDOWHOOK h) { pHook = h; }
    STRING GetText();
    STRING GetClass();
    BOOL SetText(const char* text) { return SetWindowTextA(hWnd, text); }
    void Move(int x, int y, int width, int height);
    void Move(const RECT& r);
    RECT GetClientRect();
    RECT GetRect();
    WINDOW Parent();
    WINDOW Owner();
    void CenterOn(WINDOW& reference);

    static HFONT MakeFont(const char* face, int points, BOOL bold, BOOL italic);
    static ATOM RegisterWindowClass(const char* classname, WNDPROC proc, UINT classstyle,
                                    int iconid, HINSTANCE module = NULL, HCURSOR cursor = NULL);
    // The window procedure of every class registered here (the script finds our windows by it).
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    // The id of any window: control id, else the answer of the id query.
    static int QueryId(HWND hwnd);
    // The help cascade for this window; 0 without help file.
    LRESULT HelpCascade();

    WINDOW(const WINDOW& w) : hWnd(w.hWnd), WndId(w.WndId), Owns(0), pHook(NULL) {}
    WINDOW& operator=(const WINDOW&) = delete;

protected:
    WINDOW() : hWnd(NULL), WndId(-1), Owns(0), pHook(NULL) {}
    void Wrap(HWND hwnd);

    HWND hWnd;
    int WndId;          // control id, the id given at creation, or the template id
    int Owns;           // 1: created here, destroyed with the object
    WINDOWHOOK pHook;
};

class DIALOG : public WINDOW
{
public:
    DIALOG(int templateid, HWND parent, HINSTANCE module = NULL);
    virtual ~DIALOG();
    virtual INT_PTR DialogProc(UINT message, WPARAM wparam, LPARAM lparam);
    virtual int Run();
    virtual BOOL End(int value);
    // The dialog's own message loop: runs until End (or the window is gone)
    // and returns End's value.
    int ModalLoop();

    static INT_PTR CALLBACK DlgProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    // Push button: class "Button" with style type 0, 1 or 8. Radio: type 4 or 9.
    static BOOL IsPushButton(HWND hwnd);
    static BOOL IsRadioButton(HWND hwnd);
};

class CONTROL : public WINDOW
{
public:
    CONTROL(const char* classname, DWORD style, const char* text, int x, int y, int width, int height,
            HWND parent, int id, DWORD exstyle);
    CONTROL(HWND dialog, int id);
    int SetCheck(int state);
    int GetCheck();
};

class LISTCONTROL : public CONTROL
{
public:
    LISTCONTROL(HWND dialog, int id);
    BOOL IsList() const { return ListBox; }
    int Reset();
    int Add(const char* text);
    int Insert(int index, const char* text);
    int Find(const char* text);
    STRING ItemText(int index);
    int Selection(int n);
    int Select(int index, BOOL on);
private:
    int ListBox;        // 1: a list box, 0: a combo box
};

class SPINCONTROL : public CONTROL
{
public:
    SPINCONTROL(HWND dialog, int id) : CONTROL(dialog, id) {}
    SPINCONTROL(const char* classname, DWORD style, const char* text, int x, int y, int width, int height,
                HWND parent, int id, DWORD exstyle)
        : CONTROL(classname, style, text, x, y, width, height, parent, id, exstyle) {}
    void SetRange(int lower, int upper);
    void SetPos(int value);
    LRESULT GetPos();
};

class PROGRESSBAR : public CONTROL
{
public:
    PROGRESSBAR(HWND parent, int id);
    LRESULT SetPos(int percent);
    // For a worker thread: posts the position, and only when it changes what
    // the bar shows, so that the worker never waits for the window's thread.
    void PostPos(int percent);
private:
    int Shown;
};

class WINHELP
{
public:
    WINHELP();
    void SetHelpFile(const char* path);
    void SetDefaultId(int id) { DefaultId = id; }
    int GetDefaultId() const { return DefaultId; }
    BOOL HasHelpFile() const;
    int ShowHelp(int id);
    int ShowHelpFor(HWND window);
    int GetNumHelpIds() const { return NumHelpIds; }
    int GetHelpId(int i) const { return (i >= 0 && i < NumHelpIds) ? HelpIds[i] : -1; }
    // Called instead of the help viewer when set (tests); returns whether it showed.
    void SetViewer(BOOL (*viewer)(const char* file, int id)) { Viewer = viewer; }
private:
    HWND hOwner;
    STRING HelpFile;
    int DefaultId;
    int HelpIds[256];
    int NumHelpIds;
    BOOL (*Viewer)(const char* file, int id);
};

extern WINHELP AppHelp;   // the help service of the process
