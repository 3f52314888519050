// Data-bound dialogs: item transfers, dependency rules, the modal data dialog.
#include "brisel/datadialogs.h"
#include "brisel/halvo.h"
#include "brisel/osysfile.h"
#include "brisel/stringarray.h"
#include <commctrl.h>
#include <cstdio>

#ifndef ARRAYMAX
#define ARRAYMAX(a) ((int)(sizeof(a) / sizeof((a)[0])))
#endif

static const char* IdText(int id, char* buf, int size)
{
    snprintf(buf, size, "%d", id);
    return buf;
}

static const char* Text(const STRING* s)
{
    return (s && s->Str()) ? s->Str() : "";
}

// ---------------------------------------------------------------- items

void EDITITEM::ToControl(HWND dialog)
{
    char info[16];
    CONTROL e(dialog, Id);
    ASSERTINFO(e.Hwnd(), IdText(Id, info, sizeof(info)));
    SetWindowLongPtrA(e.Hwnd(), GWL_STYLE, GetWindowLongPtrA(e.Hwnd(), GWL_STYLE) | ES_AUTOHSCROLL);
    SendMessageA(e.Hwnd(), EM_LIMITTEXT, (WPARAM)MaxLength, 0);
    SetWindowTextA(e.Hwnd(), Text(Value));
    SendMessageA(e.Hwnd(), EM_SETSEL, 0, -1);
}

void EDITITEM::FromControl(HWND dialog)
{
    char info[16];
    CONTROL e(dialog, Id);
    ASSERTINFO(e.Hwnd(), IdText(Id, info, sizeof(info)));
    *Value = e.GetText();
}

void SPINITEM::ToControl(HWND dialog)
{
    char info[16];
    CONTROL e(dialog, Id);
    ASSERTINFO(e.Hwnd(), IdText(Id, info, sizeof(info)));
    if (!Spin) {
        // The up-down control takes the first id from 65000 that the dialog does not use.
        int IdSpin = 65000;
        while (IdSpin < 65500 && GetDlgItem(dialog, IdSpin))
            IdSpin++;
        ASSERT(IdSpin<65500);
        Spin = std::make_unique<SPINCONTROL>("msctls_updown32", 0x100000A6, "", 0, 0, 0, 0, dialog, IdSpin, 0);
        SendMessageA(Spin->Hwnd(), UDM_SETBUDDY, (WPARAM)e.Hwnd(), 0);
        SetWindowLongPtrA(e.Hwnd(), GWL_STYLE, GetWindowLongPtrA(e.Hwnd(), GWL_STYLE) | ES_NUMBER);
    }
    Spin->SetRange(Lower, Upper);
    Spin->SetPos(Value ? Value->Atoi() : 0);
}

void SPINITEM::FromControl(HWND dialog)
{
    char info[16];
    CONTROL e(dialog, Id);
    ASSERTINFO(e.Hwnd(), IdText(Id, info, sizeof(info)));
    if (!Spin)
        return;
    // The high word of the answer is the up-down control's error flag, not part of the number.
    Value->Format("%d", (int)(short)LOWORD(Spin->GetPos()));
}

SPINITEM::~SPINITEM()
{
    if (Spin)
        SendMessageA(Spin->Hwnd(), UDM_SETBUDDY, 0, 0);
}

void RADIOITEM::ToControl(HWND dialog)
{
    char info[16];
    CONTROL radio(dialog, Id);
    ASSERTINFO(radio.Hwnd(), IdText(Id, info, sizeof(info)));
    radio.SetCheck((Value ? Value->Atoi() : 0) == Number ? BST_CHECKED : BST_UNCHECKED);
}

void RADIOITEM::FromControl(HWND dialog)
{
    char info[16];
    CONTROL radio(dialog, Id);
    ASSERTINFO(radio.Hwnd(), IdText(Id, info, sizeof(info)));
    if (radio.GetCheck() == BST_CHECKED)
        Value->Format("%d", Number);
}

void LISTITEM::ToControl(HWND dialog)
{
    char info[16];
    LISTCONTROL lb(dialog, Id);
    ASSERTINFO(lb.Hwnd(), IdText(Id, info, sizeof(info)));
    if (Choices) {
        lb.Reset();
        for (int i = 0; i < Choices->Count(); i++) {
            STRING* choice = Choices->Get(i);
            int index = lb.Add(Text(choice));
            if (choice && Value && *choice == *Value)
                lb.Select(index, TRUE);
        }
    } else
        lb.Select(lb.Find(Text(Value)), TRUE);
}

void LISTITEM::FromControl(HWND dialog)
{
    char info[16];
    LISTCONTROL lb(dialog, Id);
    ASSERTINFO(lb.Hwnd(), IdText(Id, info, sizeof(info)));
    int i = lb.Selection(0);
    *Value = i == -1 ? STRING("") : lb.ItemText(i);
}

void PUSHITEM::ToControl(HWND dialog)
{
    hDialog = dialog;
    Work = *Value;
}

void PUSHITEM::FromControl(HWND)
{
    *Value = Work;
}

void PUSHITEM::Click()
{
    ASSERT(this->Magic==0x50555348);
    if (Magic != 0x50555348 || !Callback)
        return;
    Work = Callback(UserData, hDialog, STRING(Work));
}

// ---------------------------------------------------------------- DATADIALOG

DATADIALOG::DATADIALOG(int templateid, HWND parent, HINSTANCE module)
    : DIALOG(templateid, parent, module), Howmany(0), Max(64), DisableItemCount(0), Transfer(1)
{
    for (int i = 0; i < ARRAYMAX(DisableItems); i++) {
        DisableItems[i].hTarget = DisableItems[i].hDepend = NULL;
        DisableItems[i].idTarget = DisableItems[i].idDepend = DisableItems[i].Condition = 0;
    }
}

DATADIALOG::~DATADIALOG()
{
    // Newest first, as they were added.
    for (int i = Howmany - 1; i >= 0; i--)
        Items[i].reset();
    Howmany = 0;
}

void DATADIALOG::AddItem(std::unique_ptr<DATAITEM> item)
{
    ASSERT(this->Howmany < this->Max);
    if (Howmany < Max)
        Items[Howmany++] = std::move(item);
}

int DATADIALOG::DisableItem(int target, int depend, int condition, const char* text)
{
    ASSERT(this->DisableItemCount<ARRAYMAX(this->DisableItems));
    if (DisableItemCount >= ARRAYMAX(DisableItems))
        return DisableItemCount;
    DEPENDRULE& r = DisableItems[DisableItemCount++];
    r.hTarget = hWnd;
    r.idTarget = target;
    r.hDepend = hWnd;
    r.idDepend = depend;
    r.Condition = condition;
    r.Text = STRING(text);
    return DisableItemCount;
}

int DATADIALOG::ToControls()
{
    for (int i = 0; i < Howmany; i++)
        Items[i]->ToControl(hWnd);
    return Howmany;
}

int DATADIALOG::FromControls()
{
    if (Transfer == 0)
        return 0;
    for (int i = 0; i < Howmany; i++)
        Items[i]->FromControl(hWnd);
    return Howmany;
}

BOOL DATADIALOG::EvaluateRule(int j)
{
    DEPENDRULE& r = DisableItems[j];
    char info[16];
    CONTROL cdepend(r.hDepend, r.idDepend);
    ASSERTINFO((HWND)cdepend, IdText(r.idDepend, info, sizeof(info)));
    char cls[64] = "";
    GetClassNameA(cdepend.Hwnd(), cls, sizeof(cls));
    int code = r.Condition & 0xFFF;
    if (lstrcmpiA(cls, "BUTTON") == 0 && !IsPushButton(cdepend.Hwnd())) {
        BOOL checked = cdepend.GetCheck() == BST_CHECKED;
        if (code == 0)
            return checked;
        if (code == 1)
            return !checked;
        ASSERTINFO(FALSE, IdText(r.idDepend, info, sizeof(info)));
        return FALSE;
    }
    if (lstrcmpiA(cls, "COMBOBOX") == 0 || lstrcmpiA(cls, "LISTBOX") == 0) {
        LISTCONTROL lc(r.hDepend, r.idDepend);
        STRING sel = lc.ItemText(-1);
        if (code == 2)
            return sel == r.Text;
        if (code == 3)
            return sel != r.Text;
        ASSERTINFO(FALSE, IdText(r.idDepend, info, sizeof(info)));
        return FALSE;
    }
    if (lstrcmpiA(cls, "EDIT") == 0) {
        STRING t = cdepend.GetText();
        switch (code) {
        case 0: return t.Len() > 0;
        case 1: return t.Len() == 0;
        case 2: return t == r.Text;
        case 3: return t != r.Text;
        case 4: return FileExists(Text(&t));
        case 5: return !FileExists(Text(&t));
        case 6: return IsDirectory(Text(&t));
        case 7: return !IsDirectory(Text(&t));
        }
        ASSERTINFO(FALSE, IdText(r.idDepend, info, sizeof(info)));
        return FALSE;
    }
    return FALSE;
}

void DATADIALOG::UpdateDependencies(int id)
{
    BOOL changedRadio = IsRadioButton(GetDlgItem(hWnd, id));
    for (int j = 0; j < DisableItemCount; j++) {
        DEPENDRULE& r = DisableItems[j];
        BOOL affected = (r.hDepend == hWnd && r.idDepend == id) ||
                        (changedRadio && IsRadioButton(GetDlgItem(r.hDepend, r.idDepend)));
        if (!affected)
            continue;
        BOOL d = EvaluateRule(j);
        if (!d)
            for (int k = 0; k < DisableItemCount; k++)
                if (k != j && DisableItems[k].hTarget == r.hTarget && DisableItems[k].idTarget == r.idTarget)
                    d = EvaluateRule(k) || d;
        HWND target = GetDlgItem(r.hTarget, r.idTarget);
        if ((GetWindowLongPtrA(target, GWL_EXSTYLE) & 0x10000) || (r.Condition & DEPEND_HIDE))
            ShowWindow(target, d ? SW_HIDE : SW_SHOWNORMAL);
        else
            EnableWindow(target, !d);
    }
}

INT_PTR DATADIALOG::DialogProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message != WM_COMMAND)
        return DIALOG::DialogProc(message, wparam, lparam);
    int cid = LOWORD(wparam), code = HIWORD(wparam);
    if (code == 0 && IsPushButton((HWND)lparam)) {
        if (cid != 9)
            for (int i = 0; i < Howmany; i++)
                if (Items[i]->GetId() == cid) {
                    PUSHITEM* p = dynamic_cast<PUSHITEM*>(Items[i].get());
                    ASSERT(p != NULL);
                    if (p)
                        p->Click();
                    return 1;
                }
        return DIALOG::DialogProc(message, wparam, lparam);
    }
    if (code != 0 && code != 0x0300 && code != 1)
        return DIALOG::DialogProc(message, wparam, lparam);
    UpdateDependencies(cid);
    return DIALOG::DialogProc(message, wparam, lparam);
}

// ---------------------------------------------------------------- MODALDATADIALOG

int MODALDATADIALOG::Run()
{
    Transfer = 1;
    ToControls();
    int rc = DIALOG::Run();
    FromControls();
    return rc;
}

INT_PTR MODALDATADIALOG::DialogProc(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_COMMAND && HIWORD(wparam) == 0 && LOWORD(wparam) == 2 && IsPushButton((HWND)lparam))
        DiscardChanges();
    return DATADIALOG::DialogProc(message, wparam, lparam);
}
