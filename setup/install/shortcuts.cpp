// Step 5: program group and desktop shortcuts, recorded for the uninstaller.
#include "setup/install/install.h"
#include "setup/frame/settings.h"
#include "setup/frame/installlog.h"
#include "setup/frame/unattended.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/comptr.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/registry.h"
#include <shlobj.h>
#include <intshcut.h>
#include <string>
#include <vector>

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

namespace {

// Where the page puts its shortcuts, and the titles of those it made there.
struct PLACES
{
    BOOL StartMenu;                 // the program group is wanted
    STRING Group;                   // the program group's folder
    STRING DesktopFolder;           // ends with "\"; empty when unknown
    STRINGARRAY GroupTitles;
    STRINGARRAY DesktopTitles;
};

BOOL IsAddress(const STRING& target)
{
    return target.Len() > 0 && (target.iPos("http://") == 0 || target.iPos("https://") == 0);
}

STRING WithoutSlash(const STRING& folder)
{
    STRING s(folder);
    if (s.IsNull())
        return STRING("");
    int n = s.Len();
    if (n > 0 && s[n - 1] == '\\')
        s.Truncate(n - 1);
    return s;
}

// Saves a shortcut, keeping a copy of one it replaces; a failure is reported.
BOOL SaveAs(IPersistFile* file, const STRING& path, BOOL complete)
{
    if (!INSTALL::Journal.BeforeWrite(path)) {
        SETUP::Failures.Add(path, GetLastError());
        return FALSE;
    }
    // IPersistFile wants the path in wide characters, as long as it is.
    int n = MultiByteToWideChar(CP_ACP, 0, path, -1, NULL, 0);
    std::wstring wide(n > 0 ? n : 1, L'\0');
    BOOL converted = n > 0 && MultiByteToWideChar(CP_ACP, 0, path, -1, &wide[0], n) != 0;
    HRESULT hres = converted ? file->Save(wide.c_str(), TRUE) : E_OUTOFMEMORY;
    if (complete && SUCCEEDED(hres))
        file->SaveCompleted(wide.c_str());
    Logit("INSTALL::ShortcutsPage save %s, hres=%08lx\n", path.Str(), (unsigned long)hres);
    if (FAILED(hres))
        SETUP::Failures.Add(path, (DWORD)hres);
    else
        INSTALLLOG::Shortcut(path);
    return SUCCEEDED(hres);
}

// An Internet shortcut to the address, in the program group.
void MakeAddress(const SHORTCUT& s, PLACES& places)
{
    COMPTR<IUniformResourceLocatorA> url;
    if (FAILED(CoCreateInstance(ClsidInternetShortcut, NULL, CLSCTX_INPROC_SERVER, IidUrlLocatorA, url.Out())) || !url)
        return;
    url->SetURL(s.Target, 1);
    COMPTR<IPersistFile> file;
    if (FAILED(url->QueryInterface(IidPersistFile, file.Out())) || !file)
        return;
    if (places.StartMenu && SaveAs(file.Get(), places.Group || "\\" || s.Title || ".URL", TRUE))
        places.GroupTitles.Add(s.Title);
}

// A shell link to the target in the install folder, in the group or on the desktop.
void MakeLink(const SHORTCUT& s, PLACES& places)
{
    COMPTR<IShellLinkA> link;
    HRESULT hres = CoCreateInstance(ClsidShellLink, NULL, CLSCTX_INPROC_SERVER, IidShellLinkA, link.Out());
    if (!Assert(SUCCEEDED(hres) && link, "SUCCEEDED(hres)", "setup/install", 544, NULL, FALSE) || !link)
        return;
    if (s.Desktop && places.DesktopFolder.Len() == 0)
        return;   // no desktop known: never into the current folder instead
    const STRING& dir = INSTALL::InstallDir;
    link->SetDescription(s.Title);
    link->SetPath(dir || "\\" || s.Target);
    link->SetArguments(s.Arguments);
    link->SetWorkingDirectory(dir);
    if (s.Icon.Len() > 0) {
        STRING index = s.Icon.Word(1, ":");
        link->SetIconLocation(dir || "\\" || s.Icon.Word(0, ":", WORD_EMPTYNOTNULL), index.IsNull() ? 0 : index.Atoi());
    }
    COMPTR<IPersistFile> file;
    hres = link->QueryInterface(IidPersistFile, file.Out());
    if (!Assert(SUCCEEDED(hres) && file, "SUCCEEDED(hres)", "setup/install", 591, "Programgroup entry or desktop icon",
                FALSE) || !file)
        return;
    if (s.Desktop) {
        if (SaveAs(file.Get(), places.DesktopFolder || s.Title || ".LNK", FALSE))
            places.DesktopTitles.Add(s.Title);
    } else if (places.StartMenu && SaveAs(file.Get(), places.Group || "\\" || s.Title || ".LNK", FALSE)) {
        places.GroupTitles.Add(s.Title);
    }
}

STRING Joined(STRINGARRAY& titles)
{
    STRING text("");
    for (int i = 0; i < titles.Count(); i++) {
        if (i > 0)
            text.Append("|", 1);
        text.Append(*titles.Get(i));
    }
    return text;
}

// The shortcuts the user chose: the product's own and the uninstall link in
// the program group, the offered one (when there is one) on the desktop.
std::vector<SHORTCUT> ChosenShortcuts(KEYTABLE& cfg, BOOL startmenu, const SHORTCUT* offered)
{
    std::vector<SHORTCUT> chosen;
    SHORTCUT s;
    STRINGARRAY entries = SETUP::ListEntries(startmenu ? cfg["StartmenuOpts"] : STRING());
    for (int i = 0; i < entries.Count(); i++)
        if (INSTALL::ParseShortcut(*entries.Get(i), s) && s.Title.Len() > 0)
            chosen.push_back(s);
    // Without a key name nothing is registered that an uninstall could read back.
    STRING inikey = cfg["IniKey"];
    if (startmenu && cfg["StartmenuUninstall"].Atoi() != 0 && inikey.Len() > 0) {
        s.Title = SETUP::ReplaceAll(SETUP::Text(IDS_UNINSTALLLINK), "$PROGRAM",
                                    cfg["AppName"]);
        s.Target = "setup.exe";
        s.Arguments = "-remove " || inikey;
        s.Icon = "setup.exe:1";
        s.Address = s.Desktop = s.Offered = FALSE;
        if (s.Title.Len() > 0)
            chosen.push_back(s);
    }
    if (offered && offered->Title.Len() > 0)
        chosen.push_back(*offered);
    return chosen;
}

// The lists of what was made go into the uninstall entry (none without a key name).
void RecordShortcuts(KEYTABLE& cfg, PLACES& places)
{
    STRING inikey = cfg["IniKey"];
    if (inikey.Len() == 0)
        return;
    REGISTRY reg(inikey, SETUP::UninstallBase(), REGROOT_LOCALMACHINE);
    STRING group = Joined(places.GroupTitles);
    STRING desktop = Joined(places.DesktopTitles);
    if (group.Len() > 0) {
        INSTALL::WriteEntryValue(reg, inikey, "UninstallStartmenu", places.Group);
        INSTALL::WriteEntryValue(reg, inikey, "UninstallStartmenuFiles", group);
    }
    if (desktop.Len() > 0)
        INSTALL::WriteEntryValue(reg, inikey, "UninstallDesktopFiles", desktop);
}

// Before the page runs: the choices preset, the all-users menu offered where it exists.
void PreparePage(HWND dlg, int desktopsetting, const STRING& commonfolder)
{
    BOOL reinstall = INSTALL::Mode == MODE_REINSTALL;
    int preset = reinstall ? IDC_NOMENU : IDC_USERMENU;
    CheckRadioButton(dlg, IDC_USERMENU, IDC_NOMENU, preset);
    SetFocus(GetDlgItem(dlg, preset));
    ShowWindow(GetDlgItem(dlg, IDC_DESKTOP), desktopsetting != 0 ? SW_SHOW : SW_HIDE);
    CheckDlgButton(dlg, IDC_DESKTOP, desktopsetting >= 2 && !reinstall ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(dlg, IDC_COMMONMENU), commonfolder.Len() > 0 && IsDirectory(commonfolder));
}

// Where the shortcuts go: the program group in the user's or the all-users
// menu (the user's where there is no all-users menu).
PLACES ChosenPlaces(const STRING& groupname, BOOL startmenu, BOOL common)
{
    PLACES places;
    // Without a group name the shortcuts would land in the start menu's own folder,
    // and the uninstaller would take that folder for the product's group.
    STRING bare(groupname.IsNull() ? "" : groupname.Str());
    bare.Strip('B', ". ");
    places.StartMenu = startmenu && bare.Len() > 0;
    STRING userfolder = WithoutSlash(OSYS::GetWin32SystemPath(SYSFOLDER_PROGRAMS));
    STRING commonfolder = WithoutSlash(OSYS::GetWin32SystemPath(SYSFOLDER_COMMONPROGRAMS));
    if (commonfolder.Len() == 0 || !IsDirectory(commonfolder))
        common = FALSE;
    STRING programs = common ? commonfolder : userfolder;
    if (programs.Len() == 0)
        programs = CurrentDirectory();
    places.Group = programs || "\\" || groupname;
    STRING desktop = OSYS::GetWin32SystemPath(SYSFOLDER_DESKTOP);
    places.DesktopFolder = desktop.IsNull() ? STRING("") : desktop;
    return places;
}

} // namespace

BOOL INSTALL::ParseShortcut(const STRING& entry, SHORTCUT& s)
{
    s.Title = entry.Word(0, ";", WORD_EMPTYNOTNULL);
    STRING target = entry.Word(1, ";");
    if (target.IsNull())
        return FALSE;   // nothing to point at
    s.Arguments = entry.Word(2, ";", WORD_EMPTYNOTNULL);
    s.Icon = entry.Word(3, ";", WORD_EMPTYNOTNULL);
    s.Address = IsAddress(target);
    s.Offered = target.Len() > 0 && target[0] == '*';
    s.Desktop = target.Len() > 0 && target[0] == '#';
    int marks = 0;
    while (!s.Address && marks < target.Len() && (target[marks] == '*' || target[marks] == '#'))
        marks++;
    s.Target = target.Mid(marks, target.Len() - marks);
    return TRUE;
}

int INSTALL::DesktopCandidate(const STRING& opts, const STRING& desktopicon, SHORTCUT& desktop)
{
    int setting = 0;
    desktop = SHORTCUT();
    STRINGARRAY entries = SETUP::ListEntries(opts);
    for (int i = 0; i < entries.Count(); i++) {
        SHORTCUT s;
        if (!ParseShortcut(*entries.Get(i), s) || !s.Offered)
            continue;
        // The icon stays behind: a desktop link shows the target's own icon.
        desktop = s;
        desktop.Icon = "";
        desktop.Address = FALSE;
        desktop.Offered = FALSE;
        desktop.Desktop = TRUE;
        setting = desktopicon.IsNull() ? 1 : desktopicon.Atoi();
    }
    return setting;
}

int INSTALL::ShortcutsPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    KEYTABLE& cfg = SETUP::Settings;
    HWND dlg = page->Hwnd();
    SHORTCUT offered;
    int desktopsetting = DesktopCandidate(cfg["StartmenuOpts"], cfg["DesktopIcon"], offered);
    PreparePage(dlg, desktopsetting, WithoutSlash(OSYS::GetWin32SystemPath(SYSFOLDER_COMMONPROGRAMS)));

    int result = frame->Run();
    if (result != SETUP_NEXT)
        return result;

    BOOL startmenu = IsDlgButtonChecked(dlg, IDC_NOMENU) != BST_CHECKED;
    BOOL common = IsDlgButtonChecked(dlg, IDC_USERMENU) != BST_CHECKED &&
                  IsDlgButtonChecked(dlg, IDC_COMMONMENU) == BST_CHECKED && IsWindowEnabled(GetDlgItem(dlg, IDC_COMMONMENU));
    MakeShortcuts(cfg["StartmenuName"], startmenu, common, IsDlgButtonChecked(dlg, IDC_DESKTOP) == BST_CHECKED);
    return SETUP_NEXT;
}

void INSTALL::MakeShortcuts(const STRING& groupname, BOOL startmenu, BOOL common, BOOL desktop)
{
    KEYTABLE& cfg = SETUP::Settings;
    SHORTCUT offered;
    DesktopCandidate(cfg["StartmenuOpts"], cfg["DesktopIcon"], offered);
    PLACES places = ChosenPlaces(groupname, startmenu, common);
    if (places.StartMenu) {
        if (!INSTALL::Journal.CreateFolder(places.Group))
            SETUP::Failures.Add(places.Group, GetLastError());
        INSTALL::ProgramGroup = places.Group;
    }
    {
        // A silent run makes no window, not even COM's hidden one of a
        // single-threaded apartment: the shell's link objects work in either.
        COMSCOPE com(UNATTENDED::Silent ? COINIT_MULTITHREADED : COINIT_APARTMENTTHREADED);
        for (const SHORTCUT& s : ChosenShortcuts(cfg, places.StartMenu, desktop ? &offered : NULL)) {
            if (s.Address)
                MakeAddress(s, places);
            else
                MakeLink(s, places);
        }
    }
    RecordShortcuts(cfg, places);
}
