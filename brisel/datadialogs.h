// Data-bound dialogs: controls bound to STRING values, copied in before a dialog
// is shown and back when it is confirmed, and rules that disable or hide
// controls while a condition on another control holds.
#pragma once
#include <windows.h>
#include <memory>
#include "brisel/windows.h"
#include "brisel/strings.h"

class STRINGARRAY;

// Rule conditions (low 12 bits); DEPEND_HIDE hides the target instead of disabling it.
#define DEPEND_CHECKED      0   // button checked / edit not empty
#define DEPEND_UNCHECKED    1   // button not checked / edit empty
#define DEPEND_EQUAL        2   // list selection or edit text equals the text
#define DEPEND_DIFFERENT    3
#define DEPEND_EXISTS       4   // edit names an existing file or folder
#define DEPEND_NOTEXISTS    5
#define DEPEND_ISDIR        6   // edit names an existing folder
#define DEPEND_NOTDIR       7
#define DEPEND_HIDE         0x10000

class DATAITEM
{
public:
    DATAITEM(int id, STRING* value) : Id(id), Value(value) {}
    virtual void ToControl(HWND dialog) = 0;
    virtual void FromControl(HWND dialog) = 0;
    virtual ~DATAITEM() {}
    int GetId() const { return Id; }
protected:
    int Id;
    STRING* Value;
};

class EDITITEM : public DATAITEM
{
public:
    EDITITEM(int id, STRING* value, int maxlength) : DATAITEM(id, value), MaxLength(maxlength) {}
    void ToControl(HWND dialog) override;
    void FromControl(HWND dialog) override;
private:
    int MaxLength;
};

class SPINITEM : public DATAITEM
{
public:
    SPINITEM(int id, STRING* value, int lower, int upper)
        : DATAITEM(id, value), Lower(lower), Upper(upper) {}
    void ToControl(HWND dialog) override;
    void FromControl(HWND dialog) override;
    ~SPINITEM() override;
    SPINCONTROL* GetSpin() const { return Spin.get(); }
private:
    int Lower, Upper;
    std::unique_ptr<SPINCONTROL> Spin;   // made with the first transfer
};

class RADIOITEM : public DATAITEM
{
public:
    RADIOITEM(int id, STRING* value, int number) : DATAITEM(id, value), Number(number) {}
    void ToControl(HWND dialog) override;
    void FromControl(HWND dialog) override;
private:
    int Number;
};

class LISTITEM : public DATAITEM
{
public:
    LISTITEM(int id, STRING* value, STRINGARRAY* choices) : DATAITEM(id, value), Choices(choices) {}
    void ToControl(HWND dialog) override;
    void FromControl(HWND dialog) override;
private:
    STRINGARRAY* Choices;
};

typedef STRING (*PUSHCALLBACK)(INT_PTR userdata, HWND dialog, STRING value);

class PUSHITEM : public DATAITEM
{
public:
    PUSHITEM(int id, STRING* value, PUSHCALLBACK callback, INT_PTR userdata)
        : DATAITEM(id, value), Callback(callback), UserData(userdata), hDialog(NULL), Magic(0x50555348) {}
    void ToControl(HWND dialog) override;
    void FromControl(HWND dialog) override;
    void Click();
private:
    PUSHCALLBACK Callback;
    INT_PTR UserData;
    HWND hDialog;
    STRING Work;
    DWORD Magic;
};

struct DEPENDRULE
{
    HWND hTarget;
    int idTarget;
    HWND hDepend;
    int idDepend;
    int Condition;
    STRING Text;
};

class DATADIALOG : public DIALOG
{
public:
    DATADIALOG(int templateid, HWND parent, HINSTANCE module = NULL);
    ~DATADIALOG() override;
    INT_PTR DialogProc(UINT message, WPARAM wparam, LPARAM lparam) override;
    virtual int ToControls();
    virtual int FromControls();
    virtual void DiscardChanges() { Transfer = 0; }

    // Takes the item over; one more than the dialog holds is reported and dropped.
    void AddItem(std::unique_ptr<DATAITEM> item);
    // The same for an item made here: Add<EDITITEM>(201, &folder, MAX_PATH - 1).
    template <class ITEM, class... ARGS>
    void Add(ARGS&&... args) { AddItem(std::make_unique<ITEM>(std::forward<ARGS>(args)...)); }
    int DisableItem(int target, int depend, int condition, const char* text = NULL);
    int ItemCount() const { return Howmany; }
    // Re-evaluates the rules that watch control id (as after a change of it).
    void UpdateDependencies(int id);
    BOOL EvaluateRule(int j);

protected:
    std::unique_ptr<DATAITEM> Items[64];
    int Howmany;
    int Max;
    DEPENDRULE DisableItems[64];
    int DisableItemCount;
    int Transfer;
};

class MODALDATADIALOG : public DATADIALOG
{
public:
    MODALDATADIALOG(int templateid, HWND parent, HINSTANCE module = NULL)
        : DATADIALOG(templateid, parent, module) {}
    int Run() override;
    INT_PTR DialogProc(UINT message, WPARAM wparam, LPARAM lparam) override;
};
