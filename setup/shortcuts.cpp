// Step 5: program group and desktop shortcuts, recorded for the uninstaller.
#include "setup/install.h"
#include "setup/main.h"
#include "setup/installlog.h"
#include "setup/unattended.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include <objbase.h>
#include <shlobj.h>
#include <intshcut.h>

// The class and interface ids, spelled out so that no import library has to carry them.
static const GUID ClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID IidShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID IidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID ClsidInternetShortcut = {0xFBF23B40, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};
static const GUID IidUrlLocatorA = {0xFBF23B80, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};

// Page 2005: where the shortcuts go.
#define IDC_USERMENU    IDC_RADIO1
#define IDC_COMMONMENU  IDC_RADIO2
#define IDC_NOMENU      IDC_RADIO3
#define IDC_DESKTOP     IDC_CHECK

int INSTALL::DesktopCandidate(const STRING& opts, const STRING& desktopicon, STRING& entry)
{
    int setting = 0;
    entry = "";
    STRINGARRAY entries = SETUP::ListEntries(opts);
    for (int i = 0; i < entries.Count(); i++) {
        const STRING& e = *entries.Get(i);
        STRING target = e.Word(1, ";");
        if (target.IsNull() || target.Len() == 0 || target[0] != '*')
            continue;
        // The icon field stays behind: a desktop link shows the target's own icon.
        entry = e.Word(0, ";") || ";#" || target.Mid(1, target.Len() - 1) || ";" ||
                e.Word(2, ";", WORD_EMPTYNOTNULL);
        setting = desktopicon.IsNull() ? 1 : desktopicon.Atoi();
    }
    return setting;
}

static BOOL IsAddress(const STRING& target)
{
    return target.Len() > 0 && (target.iPos("http://") == 0 || target.iPos("https://") == 0);
}

// Path as wide characters for IPersistFile, as long as it is.
static WCHAR* WidePath(const STRING& path)
{
    int n = MultiByteToWideChar(CP_ACP, 0, path, -1, NULL, 0);
    if (n <= 0)
        return NULL;
    WCHAR* wide = new WCHAR[n];
    if (!MultiByteToWideChar(CP_ACP, 0, path, -1, wide, n)) {
        delete[] wide;
        return NULL;
    }
    return wide;
}

// Saves a shortcut, keeping a copy of one it replaces; a failure is reported.
static BOOL SaveAs(IPersistFile* file, const STRING& path, BOOL complete)
{
    if (!SETUP::Journal.BeforeWrite(path)) {
        SETUP::Failures.Add(path, GetLastError());
        return FALSE;
    }
    WCHAR* wide = WidePath(path);
    HRESULT hres = wide ? file->Save(wide, TRUE) : E_OUTOFMEMORY;
    if (complete && SUCCEEDED(hres))
        file->SaveCompleted(wide);
    Logit("INSTALL::ShortcutsPage save %s, hres=%08lx\n", path.Str(), (unsigned long)hres);
    delete[] wide;
    if (FAILED(hres))
        SETUP::Failures.Add(path, (DWORD)hres);
    else
        INSTALLLOG::Shortcut(path);
    return SUCCEEDED(hres);
}

static STRING WithoutSlash(const STRING& folder)
{
    STRING s(folder);
    if (s.IsNull())
        return STRING("");
    int n = s.Len();
    if (n > 0 && s[n - 1] == '\\')
        s.Truncate(n - 1);
    return s;
}

int INSTALL::ShortcutsPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    KEYTABLE& cfg = SETUP::Settings;
    HWND dlg = page->Hwnd();

    STRING desktopentry;
    int desktop = DesktopCandidate(cfg["StartmenuOpts"], cfg["DesktopIcon"], desktopentry);
    STRING commonfolder = WithoutSlash(OSYS::GetWin32SystemPath(10));

    BOOL reinstall = SETUP::InstallMode == "1";
    int preset = reinstall ? IDC_NOMENU : IDC_USERMENU;
    CheckRadioButton(dlg, IDC_USERMENU, IDC_NOMENU, preset);
    SetFocus(GetDlgItem(dlg, preset));

    ShowWindow(GetDlgItem(dlg, IDC_DESKTOP), desktop != 0 ? SW_SHOW : SW_HIDE);
    CheckDlgButton(dlg, IDC_DESKTOP, desktop >= 2 && !reinstall ? BST_CHECKED : BST_UNCHECKED);

    if (commonfolder.Len() == 0 || !IsDirectory(commonfolder))
        EnableWindow(GetDlgItem(dlg, IDC_COMMONMENU), FALSE);

    int result = frame->Run();
    if (result != SETUP_NEXT)
        return result;

    BOOL startmenu = IsDlgButtonChecked(dlg, IDC_NOMENU) != BST_CHECKED;
    BOOL common = IsDlgButtonChecked(dlg, IDC_USERMENU) != BST_CHECKED &&
                  IsDlgButtonChecked(dlg, IDC_COMMONMENU) == BST_CHECKED && IsWindowEnabled(GetDlgItem(dlg, IDC_COMMONMENU));
    MakeShortcuts(cfg["StartmenuName"], startmenu, common, IsDlgButtonChecked(dlg, IDC_DESKTOP) == BST_CHECKED);
    return SETUP_NEXT;
}

void INSTALL::MakeShortcuts(const STRING& groupname, BOOL startmenu, BOOL common, BOOL wantdesktop)
{
    KEYTABLE& cfg = SETUP::Settings;
    STRING desktopentry;
    DesktopCandidate(cfg["StartmenuOpts"], cfg["DesktopIcon"], desktopentry);
    STRING userfolder = WithoutSlash(OSYS::GetWin32SystemPath(0));
    STRING commonfolder = WithoutSlash(OSYS::GetWin32SystemPath(10));
    if (commonfolder.Len() == 0 || !IsDirectory(commonfolder))
        commonfolder = userfolder;

    // Without a group name the shortcuts would land in the start menu's own folder,
    // and the uninstaller would take that folder for the product's group.
    STRING bare(groupname.IsNull() ? "" : groupname.Str());
    bare.Strip('B', ". ");
    startmenu = startmenu && bare.Len() > 0;
    STRING startlist(""), desktoplist("");
    // A silent run makes no window, not even COM's hidden one of a
    // single-threaded apartment: the shell's link objects work in either.
    HRESULT cominit = UNATTENDED::Silent ? CoInitializeEx(NULL, COINIT_MULTITHREADED) : CoInitialize(NULL);

    STRING programs = common ? commonfolder : userfolder;
    if (programs.Len() == 0)
        programs = CurrentDirectory();
    STRING group = programs || "\\" || groupname;
    STRING inikey = cfg["IniKey"];
    if (inikey.IsNull())
        inikey = "";

    STRING list("");
    if (startmenu) {
        if (!SETUP::Journal.CreateFolder(group))
            SETUP::Failures.Add(group, GetLastError());
        SETUP::ProgramGroup = group;
        list = cfg["StartmenuOpts"];
        if (list.IsNull())
            list = "";
        // Without a key name nothing is registered that an uninstall could read back.
        if (cfg["StartmenuUninstall"].Atoi() != 0 && inikey.Len() > 0) {
            STRING title = SETUP::ReplaceAll(OSYS::GetStringFromResource(IDS_UNINSTALLLINK, APP::ResourceModule()),
                                             "$PROGRAM", cfg["AppName"]);
            if (list.Len() > 0)
                list.Append("|");
            list.Append(title || ";setup.exe;-remove " || inikey || ";setup.exe:1");
        }
    }
    if (wantdesktop) {
        if (list.Len() > 0)
            list.Append("|");
        list.Append(desktopentry);
    }

    STRING desktopfolder = OSYS::GetWin32SystemPath(8);
    if (desktopfolder.IsNull())
        desktopfolder = "";
    STRINGARRAY entries = SETUP::ListEntries(list);
    for (int i = 0; i < entries.Count(); i++) {
        const STRING& e = *entries.Get(i);
        STRING title = e.Word(0, ";");
        STRING target = e.Word(1, ";");
        if (target.IsNull() || title.Len() == 0)
            continue;   // nothing to point at, or no name to save it under
        STRING arguments = e.Word(2, ";", WORD_EMPTYNOTNULL);
        STRING icon = e.Word(3, ";");

        if (IsAddress(target)) {
            IUniformResourceLocatorA* url = NULL;
            HRESULT hres = CoCreateInstance(ClsidInternetShortcut, NULL, CLSCTX_INPROC_SERVER, IidUrlLocatorA,
                                            (void**)&url);
            if (FAILED(hres) || !url)
                continue;
            url->SetURL(target, 1);
            IPersistFile* file = NULL;
            hres = url->QueryInterface(IidPersistFile, (void**)&file);
            if (SUCCEEDED(hres) && file) {
                if (startmenu && SaveAs(file, group || "\\" || title || ".URL", TRUE))
                    startlist.Append(title || "|");
                file->Release();
            }
            url->Release();
            continue;
        }

        IShellLinkA* link = NULL;
        HRESULT hres = CoCreateInstance(ClsidShellLink, NULL, CLSCTX_INPROC_SERVER, IidShellLinkA, (void**)&link);
        if (!Assert(SUCCEEDED(hres) && link, "SUCCEEDED(hres)", "setup/install", 544, NULL, FALSE) || !link)
            continue;
        BOOL ondesktop = target.Len() > 0 && target[0] == '#';
        if (ondesktop && desktopfolder.Len() == 0) {
            link->Release();
            continue;   // no desktop known: never into the current folder instead
        }
        int skip = 0;
        while (skip < target.Len() && (target[skip] == '*' || target[skip] == '#'))
            skip++;
        target.CutLeft(skip);

        link->SetDescription(title);
        link->SetPath(SETUP::InstallDir || "\\" || target);
        link->SetArguments(arguments);
        link->SetWorkingDirectory(SETUP::InstallDir);
        if (icon.Len() > 0) {
            STRING iconfile = icon.Word(0, ":", WORD_EMPTYNOTNULL);
            STRING index = icon.Word(1, ":");
            link->SetIconLocation(SETUP::InstallDir || "\\" || iconfile, index.IsNull() ? 0 : index.Atoi());
        }
        IPersistFile* file = NULL;
        hres = link->QueryInterface(IidPersistFile, (void**)&file);
        if (!Assert(SUCCEEDED(hres) && file, "SUCCEEDED(hres)", "setup/install", 591,
                    "Programgroup entry or desktop icon", FALSE) || !file) {
            link->Release();
            continue;
        }
        // The desktop folder ends with "\" already.
        if (ondesktop) {
            if (SaveAs(file, desktopfolder || title || ".LNK", FALSE))
                desktoplist.Append(title || "|");
        } else if (startmenu && SaveAs(file, group || "\\" || title || ".LNK", FALSE)) {
            startlist.Append(title || "|");
        }
        file->Release();
        link->Release();
    }
    if (SUCCEEDED(cominit))
        CoUninitialize();

    // Without a key name there is no entry of our own to write into.
    if (inikey.Len() > 0) {
        REGISTRY reg(inikey, SETUP::UninstallBase(), 0);
        startlist.Strip('B', "|");
        desktoplist.Strip('B', "|");
        const struct { const char* name; const char* value; BOOL wanted; } values[] = {
            {"UninstallStartmenu", group, startlist.Len() > 0},
            {"UninstallStartmenuFiles", startlist, startlist.Len() > 0},
            {"UninstallDesktopFiles", desktoplist, desktoplist.Len() > 0},
        };
        for (const auto& v : values)
            if (v.wanted)
                WriteEntryValue(reg, inikey, v.name, v.value);
    }
}
