// The built-in hook for the terminal program Vantor: offers to take the settings,
// scripts and phone book of an earlier installation into the new folder, and sets
// the script interpreter option the terminal needs.
#include "setup/install/install.h"
#include "setup/frame/settings.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/registry.h"
#include "brisel/windows.h"
#include "brisel/winmisc.h"

static STRING VantorOldHome("");
static STRING VantorNewHome("");
static BOOL VantorTakeOver = FALSE;

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

int WINAPI INSTALL::NewSetupHookVantor(int event, int value, HWND, HWND second, INT_PTR, INT_PTR data)
{
    Logit("SETUP::NewSetupHookVantor %d %d %08x\n", event, value, (unsigned)(data & 0xFFFFFFFF));
    if (event == HOOK_START) {
        REGISTRY reg("Vantor4", "Software\\Halvo\\", REGROOT_CURRENTUSER);
        VantorOldHome = reg.ReadString("HomePath");
        if (VantorOldHome.IsNull())
            VantorOldHome = "";
    } else if (event == HOOK_PAGEEND && value == STEP_DESTINATION) {
        // The destination page is still there: its folder field holds the choice.
        STRING home = CONTROL(second, IDC_FIELD1).GetText();
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
    } else if (event == HOOK_FILESDONE) {
        if (VantorTakeOver)
            CopyOldData(VantorOldHome, VantorNewHome);
        REGISTRY reg("ExecOptions", "Software\\Enterprise Alternatives\\REXX\\", REGROOT_CURRENTUSER);
        DWORD zero = 0;
        if (reg.Key())
            RegSetValueExA(reg.Key(), "GlobalSCBs", 0, REG_DWORD, (const BYTE*)&zero, sizeof zero);
    }
    return 1;
}
