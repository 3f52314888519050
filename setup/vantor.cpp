// The built-in hook for the terminal program Vantor: offers to take the settings,
// scripts and phone book of an earlier installation into the new folder, and sets
// the script interpreter option the terminal needs.
#include "setup/main.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/winmisc.h"

static STRING VantorOldHome("");
static STRING VantorNewHome("");
static BOOL VantorTakeOver = FALSE;

static STRING ControlText(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    int n = control ? GetWindowTextLengthA(control) : 0;
    STRING text("");
    if (n > 0) {
        char* buffer = new char[n + 1];
        GetWindowTextA(control, buffer, n + 1);
        text = buffer;
        delete[] buffer;
    }
    return text;
}

// The old installation's data may not be there at all; only what exists is copied.
static void CopyOldData(const STRING& from, const STRING& to)
{
    static const char* const trees[] = {"OPTIONS", "SCRIPT"};
    for (const char* tree : trees) {
        FILENAME source(from, tree);
        if (source.IsDirectory())
            CopyTree(source, FILENAME(to, tree), "*.*", TRUE, FALSE);
    }
    FILENAME phonebook(from, "PHONEBK");
    if (phonebook.FileExists() && !phonebook.IsDirectory())
        CopyFileA(phonebook, FILENAME(to, "PHONEBK"), FALSE);
}

int WINAPI SETUP::NewSetupHookVantor(int event, int value, HWND, HWND second, INT_PTR, INT_PTR data)
{
    Logit("SETUP::NewSetupHookVantor %d %d %08x\n", event, value, (unsigned)(data & 0xFFFFFFFF));
    if (event == 0) {
        REGISTRY reg("Vantor4", "Software\\Halvo\\", 1);
        VantorOldHome = reg.ReadString("HomePath");
        if (VantorOldHome.IsNull())
            VantorOldHome = "";
    } else if (event == 5 && value == 3) {
        // The destination page is still there: its folder field holds the choice.
        STRING home = ControlText(second, 201);
        if (home.Len() == 0)
            return 1;
        VantorNewHome = home;
        if (FILENAME(home, "vantor.exe").FileExists() || FILENAME(home, "phonebk").FileExists()) {
            VantorTakeOver = FALSE;
        } else if (VantorOldHome.Len() > 0 && IsDirectory(VantorOldHome) && VantorOldHome != home) {
            HINSTANCE res = APP::ResourceModule();
            STRING question;
            question.Format(OSYS::GetStringFromResource(IDS_ASKCOPYOLDDATA, res), VantorOldHome.Str());
            VantorTakeOver = MessageYesNo(second ? GetParent(second) : NULL, SETUP::Caption(SETUP::Settings), question);
        }
    } else if (event == 7) {
        if (VantorTakeOver)
            CopyOldData(VantorOldHome, VantorNewHome);
        REGISTRY reg("ExecOptions", "Software\\Enterprise Alternatives\\REXX\\", 1);
        DWORD zero = 0;
        if (reg.Key())
            RegSetValueExA(reg.Key(), "GlobalSCBs", 0, REG_DWORD, (const BYTE*)&zero, sizeof zero);
    }
    return 1;
}
