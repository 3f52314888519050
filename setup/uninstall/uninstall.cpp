// The uninstall: entry with the restart from the temporary folder, the
// feedback, options and removal pages, the feedback mail and the removal worker.
#include "setup/uninstall/uninstall.h"
#include "setup/frame/hooks.h"
#include "setup/frame/settings.h"
#include "setup/frame/installlog.h"
#include "setup/frame/unattended.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/email.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/registry.h"
#include "brisel/stringarray.h"
#include "brisel/winmisc.h"
#include <commctrl.h>
#include <shlobj.h>
#include <cstdlib>
#include <memory>

STRING UNINSTALL::KeyName("");
STRING UNINSTALL::InstallDir("");
STRING UNINSTALL::ProductName("");
STRING UNINSTALL::RemovalChoice("0");
STRING UNINSTALL::MailOffered("");

// The exit code of the copy in the temporary folder (a silent removal waits for it).
static int RestartResult = 0;

static const char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
static const char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

static STRING WithProgram(int id)
{
    return SETUP::ReplaceAll(SETUP::Text(id), "$PROGRAM", UNINSTALL::ProductName);
}

// The caption of the uninstall's boxes: string 2901 with the product's name.
static STRING Caption()
{
    STRING caption = SETUP::Text(IDS_UNINSTCAPTION);
    return UNINSTALL::ProductName.Len() > 0 ? SETUP::ReplaceAll(caption, "Halvo", UNINSTALL::ProductName) : caption;
}

static STRING OrEmpty(const STRING& s)
{
    return s.IsNull() ? STRING("") : s;
}

// A string value as text: an empty value reads as its lone terminator, which is no text.
static STRING RegText(REGISTRY& reg, const char* name)
{
    STRING value = reg.ReadString(name);
    return value.IsNull() ? value : STRING(value.Str());
}

int UninstallMain(const char* programpath)
{
    return UNINSTALL::Main(programpath);
}

// ---------------------------------------------------------------- paths

// Upper case, "\" only, no doubled separators, "." and ".." resolved, long names.
STRING UNINSTALL::NormalisePath(const char* path)
{
    if (!path || !*path)
        return STRING();
    STRING p(path);
    p.Replace("/", "\\", TRUE);
    BOOL unc = p.Len() >= 2 && p[0] == '\\' && p[1] == '\\';
    BOOL drive = p.Len() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
    if (!unc && !drive)
        return STRING();                         // relative, or rooted on the current drive
    if (drive && p.Len() == 2)
        p.Append("\\");                          // a bare "C:" is the root
    if (drive && p[2] != '\\')
        return STRING();                         // "C:folder" is relative to that drive's current folder
    char full[MAX_PATH * 2];
    DWORD n = GetFullPathNameA(p, sizeof full, full, NULL);
    if (n == 0 || n >= sizeof full)
        return STRING();
    char longname[MAX_PATH * 2];
    DWORD m = GetLongPathNameA(full, longname, sizeof longname);
    STRING result(m > 0 && m < sizeof longname ? longname : full);
    while (result.Len() > 3 && result[result.Len() - 1] == '\\')
        result.Truncate(result.Len() - 1);
    if (unc)
        while (result.Len() > 2 && result[result.Len() - 1] == '\\')
            result.Truncate(result.Len() - 1);
    CharUpperBuffA(&result.At(0), (DWORD)result.Len());
    return result;
}

static void AddFolder(STRINGARRAY& list, const char* path)
{
    STRING n = UNINSTALL::NormalisePath(path);
    if (n.Len() > 0)
        list.Add(n);
}

static void AddEnvFolder(STRINGARRAY& list, const char* variable)
{
    char value[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableA(variable, value, sizeof value);
    if (n > 0 && n < sizeof value)
        AddFolder(list, value);
}

void UNINSTALL::ProtectedFolders(STRINGARRAY& list)
{
    char path[MAX_PATH * 2];
    if (GetWindowsDirectoryA(path, MAX_PATH))
        AddFolder(list, path);
    if (GetSystemDirectoryA(path, MAX_PATH))
        AddFolder(list, path);
    if (GetTempPathA(MAX_PATH, path))
        AddFolder(list, path);
    static const int folders[] = {
        CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMONX86,
        CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
        CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_STARTUP, CSIDL_COMMON_APPDATA, CSIDL_COMMON_DESKTOPDIRECTORY,
        CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_STARTMENU, CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_STARTUP,
        CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_MYPICTURES, CSIDL_MYMUSIC, CSIDL_MYVIDEO,
        CSIDL_FAVORITES, CSIDL_TEMPLATES,
    };
    for (int csidl : folders)
        if (SUCCEEDED(SHGetFolderPathA(NULL, csidl, NULL, SHGFP_TYPE_CURRENT, path)))
            AddFolder(list, path);
    static const char* const variables[] = {
        "TEMP", "TMP", "USERPROFILE", "ALLUSERSPROFILE", "PUBLIC", "ProgramData", "ProgramFiles",
        "ProgramFiles(x86)", "ProgramW6432", "CommonProgramFiles", "CommonProgramFiles(x86)",
        "CommonProgramW6432", "APPDATA", "LOCALAPPDATA", "SystemRoot", "windir",
    };
    for (const char* v : variables)
        AddEnvFolder(list, v);
    // The folder that holds the users' profiles.
    if (SUCCEEDED(SHGetFolderPathA(NULL, CSIDL_PROFILE, NULL, SHGFP_TYPE_CURRENT, path)))
        AddFolder(list, DirectoryPart(path));
}

BOOL UNINSTALL::IsRefusedTree(const char* path, STRINGARRAY& protectedfolders)
{
    STRING p = NormalisePath(path);
    if (p.Len() == 0)
        return TRUE;
    if (p.Len() <= 3)
        return TRUE;                              // a drive root
    if (p[0] == '\\' && p[1] == '\\') {
        // "\\server\share" is a share root: refuse anything with fewer than three parts.
        int parts = 0;
        for (int i = 0;; i++) {
            STRING w = p.Mid(2, p.Len() - 2).Word(i, "\\");
            if (w.IsNull())
                break;
            if (w.Len() > 0)
                parts++;
        }
        if (parts < 3)
            return TRUE;
    }
    STRING below = p || "\\";
    for (int i = 0; i < protectedfolders.Count(); i++) {
        const STRING& f = *protectedfolders.Get(i);
        // The folder itself, or any folder above it.
        if (f == p || f.Left(below.Len()) == below)
            return TRUE;
    }
    return FALSE;
}

BOOL UNINSTALL::IsRefusedTree(const char* path)
{
    STRINGARRAY folders;
    ProtectedFolders(folders);
    return IsRefusedTree(path, folders);
}

BOOL UNINSTALL::IsInsideItem(const STRING& item)
{
    if (item.Len() == 0)
        return FALSE;
    STRING p(item);
    p.Replace("/", "\\", TRUE);
    if (p[0] == '\\' || p.Pos(":") >= 0)
        return FALSE;
    for (int i = 0;; i++) {
        STRING part = p.Word(i, "\\");
        if (part.IsNull())
            break;
        STRING trimmed(part);
        trimmed.Strip('B', " .");
        // "..", and names Windows reads as "..", such as ". ." or "...".
        if (part.Len() >= 2 && trimmed.Len() == 0)
            return FALSE;
    }
    return TRUE;
}

BOOL UNINSTALL::IsProtected(const STRING& item, const STRING& protect)
{
    STRING path(item);
    path.Replace("/", "\\", TRUE);
    STRING name = NamePart(path);
    for (int i = 0;; i++) {
        STRING entry = protect.Word(i, "|");
        if (entry.IsNull())
            break;
        STRING field = OrEmpty(entry.Word(0, ";"));
        field.Replace("/", "\\", TRUE);
        if (field.Len() == 0)
            continue;
        if (field == name || field == path)
            return TRUE;
    }
    return FALSE;
}

BOOL UNINSTALL::DeleteKeyTree(HKEY root, const char* path, const char* name)
{
    if (!name || !*name)
        return FALSE;
    HKEY parent;
    LONG opened = RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &parent);
    if (opened != ERROR_SUCCESS) {
        SetLastError((DWORD)opened);
        return FALSE;
    }
    HKEY key;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        // Subkeys first: a key with subkeys cannot be deleted.
        char sub[256];
        for (;;) {
            DWORD len = sizeof sub;
            if (RegEnumKeyExA(key, 0, sub, &len, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
                break;
            STRING below = STRING(path) || "\\" || name;
            if (!DeleteKeyTree(root, below, sub))
                break;
        }
        RegCloseKey(key);
    }
    LONG rc = RegDeleteKeyA(parent, name);
    Logit("UNINSTALL::DeleteKeyTree %s\\%s error=%d\n", path, name, (int)rc);
    RegCloseKey(parent);
    SetLastError((DWORD)rc);
    return rc == ERROR_SUCCESS;
}

// ---------------------------------------------------------------- entry

BOOL UNINSTALL::Restart(const char* programpath, const char* temp)
{
    // A key name with a double quote cannot be handed on quoted.
    if (!temp || !*temp || !IsDirectory(temp) || KeyName.Pos("\"") >= 0)
        return FALSE;
    STRINGARRAY files;
    ListFiles(InstallDir, "setup*.dll", &files, FALSE);
    if (files.Count() < 2)
        return FALSE;

    // A new folder of our own: nobody else's modules or command-line files in it.
    STRING folder = CreateUniqueFolder(temp, "HalvoUninst-");
    if (folder.IsNull())
        return FALSE;

    files.Insert(0, STRING(programpath));
    BOOL all = TRUE;
    for (int i = 0; i < files.Count(); i++) {
        const char* from = files.Get(i)->Str();
        FILENAME to(folder, NamePart(from));
        if (!CopyFileA(from, to, FALSE)) {
            DWORD error = GetLastError();
            Logit("UNINSTALL::Restart %s not copied, error=%lu %s\n", from, (unsigned long)error,
                  OSYS::ErrorText((int)error).Str());
            all = FALSE;
        }
    }
    if (!all)
        return FALSE;
    FILENAME copy(folder, NamePart(programpath));
    STRING arguments = "-remove \"" || KeyName || "\" -final";
    // The copy takes the product's lock over.
    UNATTENDED::Unlock();
    if (UNATTENDED::Silent) {
        // The caller waits for the removal itself, and hears how it went.
        // The copy writes the install log meanwhile.
        INSTALLLOG::Close();
        RestartResult = UNATTENDED::RunAndWait(copy, arguments || UNATTENDED::Forwarded(), folder);
        INSTALLLOG::Open(UNATTENDED::LogFile);
        return TRUE;
    }
    if (StartProgram(copy, arguments, folder, "", FALSE) != 0)
        return TRUE;
    UNATTENDED::Lock(KeyName, 30000, ProductName);
    return FALSE;
}

const SETUPSTEP* UNINSTALL::Steps()
{
    static const SETUPSTEP steps[UNINSTALL_STEPS] = {
        {STEP_FEEDBACK, IDS_FEEDBACKHEAD, IDS_FEEDBACKDESC, IDD_UNFEEDBACK, NULL, UNINSTALL::FeedbackPage, 0},
        {STEP_OPTIONS, IDS_OPTIONSHEAD, IDS_OPTIONSDESC, IDD_UNOPTIONS, NULL, UNINSTALL::OptionsPage, 0},
        {STEP_REMOVE, IDS_REMOVEHEAD, IDS_REMOVEDESC, IDD_UNREMOVE, NULL, UNINSTALL::RemovePage, 0},
    };
    return steps;
}

int UNINSTALL::Main(const char* programpath)
{
    KeyName = OrEmpty(UNATTENDED::RemoveKey());
    InstallDir = "";
    ProductName = "";
    if (KeyName.Len() > 0) {
        REGISTRY reg(KeyName, SETUP::UninstallBase(), REGROOT_LOCALMACHINE);
        InstallDir = OrEmpty(RegText(reg, "UninstallPath"));
        ProductName = OrEmpty(RegText(reg, "AppName"));
    }
    while (InstallDir.Len() > 0 && InstallDir[InstallDir.Len() - 1] == '\\')
        InstallDir.Truncate(InstallDir.Len() - 1);
    if (ProductName.Len() == 0)
        ProductName = KeyName;
    STRING caption = Caption();

    BOOL silent = UNATTENDED::Silent;
    if (silent)
        INSTALLLOG::Line("Silent removal of %s: %s", KeyName.Str(), GetCommandLineA());
    if (InstallDir.Len() == 0 || KeyName.Len() == 0) {
        if (silent) {
            INSTALLLOG::Line("%s", SETUP::Text(IDS_NOTINSTALLED).Str());
            return UNATTENDED::Result(KeyName.Len() == 0 ? EXIT_BADCOMMANDLINE : EXIT_NOSETTINGS);
        }
        MessageError(NULL, caption, SETUP::Text(IDS_NOTINSTALLED));
        return 0;
    }
    // The copy in the temporary folder waits while the first one hands the lock over.
    if (!UNATTENDED::Lock(KeyName, TestArg("FINAL") ? 30000 : 0, ProductName))
        return silent ? UNATTENDED::Result(EXIT_RUNNING) : 0;
    STRING question = WithProgram(IDS_ASKUNINSTALL);

    if (!TestArg("FINAL")) {
        if (silent)
            INSTALLLOG::Default(question, "Yes");
        else if (!MessageYesNo(NULL, caption, question))
            return 0;
        char temp[MAX_PATH * 2];
        DWORD n = GetEnvironmentVariableA("TEMP", temp, sizeof temp);
        if (n > 0 && n < sizeof temp && Restart(programpath, temp))
            return RestartResult;
        if (silent)
            INSTALLLOG::Line("%s", SETUP::Text(IDS_NOTEMPCOPY).Str());
        else
            MessageInfo(NULL, caption, SETUP::Text(IDS_NOTEMPCOPY));
    }
    if (silent)
        return RemoveSilently();

    SETUPDIALOG frame(caption, SETUP::Text(IDS_ASKCONTINUEUNINST), -1);
    HOOKS::CallNewSetupHook(HOOK_UNINSTALL, 0, frame.Hwnd(), NULL, 0, (INT_PTR)KeyName.Str());
    frame.SetSetupHook(HOOKS::fpNewSetupHook);
    frame.RunSteps(Steps(), UNINSTALL_STEPS, STEP_REMOVE);
    HOOKS::CallNewSetupHook(HOOK_UNINSTALLED, 0, NULL, NULL, 0, 0);
    ShowWindow(frame.Hwnd(), SW_HIDE);
    return 0;
}

// ---------------------------------------------------------------- feedback

STRING UNINSTALL::SendMail(INT_PTR id, HWND dialog, STRING)
{
    STRING body("");
    HWND edit = id ? GetDlgItem(dialog, (int)id) : NULL;
    if (edit) {
        WINDOW w(edit);
        body = w.GetText();
    }
    STRING version, target;
    {
        REGISTRY reg(KeyName, SETUP::UninstallBase(), REGROOT_LOCALMACHINE);
        version = RegText(reg, "Version");
        target = RegText(reg, "UninstallEmail");
    }
    if (version.IsNull())
        version = "0.00";
    if (target.IsNull())
        target = UNINSTALL_DEFAULTMAIL;
    STRING recipient = OrEmpty(target.Word(0, ";"));
    STRING relay = OrEmpty(target.Word(1, ";"));
    if (recipient.Len() > 0 && recipient.Pos("@") >= 0 && relay.Len() > 0 && relay.Pos(".") >= 0) {
        STRING subject = ProductName || " V" || version || " uninstall";
        EMAIL mail("", recipient, subject, body, relay);
        mail.SendDialog(IDD_SENDMAIL, OrEmpty(SETUP::Text(IDS_SENDMAILTITLE).Word(0, "|")), dialog);
        MailOffered = "1";
    }
    return STRING("");
}

int UNINSTALL::FeedbackPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    HICON icon = LoadIconA(APP::Instance(), MAKEINTRESOURCEA(2));
    if (icon)
        SendMessageA(frame->Item(IDC_HEADICON), STM_SETICON, (WPARAM)icon, 0);
    STRING text(""), button("");
    page->Add<EDITITEM>(IDC_FIELD2, &text, 1024);
    page->Add<PUSHITEM>(IDC_SENDFEEDBACK, &button, UNINSTALL::SendMail, IDC_FIELD2);
    page->DisableItem(IDC_SENDFEEDBACK, IDC_FIELD2, DEPEND_UNCHECKED, "");
    // A multi-line edit reports no change for text set by the program: apply the rule now.
    page->UpdateDependencies(IDC_FIELD2);
    return frame->Run();
}

// ---------------------------------------------------------------- options

int UNINSTALL::OptionsPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    RemovalChoice = "0";
    STRING text = SETUP::Text(IDS_OPTIONSTEXT1) || SETUP::Text(IDS_OPTIONSTEXT2);
    SetDlgItemTextA(page->Hwnd(), IDC_FIELD1, SETUP::ReplaceAll(text, "$PROGRAM", ProductName));
    page->Add<RADIOITEM>(IDC_RADIO1, &RemovalChoice, 0);
    page->Add<RADIOITEM>(IDC_RADIO2, &RemovalChoice, 1);

    STRING caption = Caption();
    int result = frame->Run();
    for (;;) {
        if (result == SETUP_CANCEL)
            return result;
        if (RemovalChoice.Atoi() == 0)
            return result;
        if (result != SETUP_NEXT && result != SETUP_BACK) {
            // The close command: the step loop runs the page again.
            return result;
        }
        if (MessageYesNo(frame->Hwnd(), caption, WithProgram(IDS_ASKREMOVEALL)))
            break;
        result = frame->Run();
    }
    if (MailOffered.Atoi() == 0 && MessageYesNo(frame->Hwnd(), caption, WithProgram(IDS_ASKFEEDBACK))
        && MessageYesNo(frame->Hwnd(), caption, SETUP::Text(IDS_ASKOPENMAIL)))
        SendMail(0, page->Hwnd(), STRING(""));
    return result;
}

// ---------------------------------------------------------------- removal

namespace {

// What the install recorded for the removal.
struct RECORD
{
    STRING Files;           // null: nothing of the list is deleted (absent or too large)
    STRING StartMenu;
    STRING StartMenuFiles;
    STRING DesktopFiles;
    STRING Protect;
};

// What the removal worker needs.
struct REMOVAL
{
    SETUPDIALOG* Frame;
    HWND hProgress;
    PAGEWORKER* Worker;
    BOOL Everything;        // remove the user's data and the product's keys as well
};

RECORD ReadRecord()
{
    RECORD r;
    REGISTRY reg(UNINSTALL::KeyName, SETUP::UninstallBase(), REGROOT_LOCALMACHINE);
    r.Files = RegText(reg, "UninstallFiles");
    r.StartMenu = OrEmpty(RegText(reg, "UninstallStartmenu"));
    r.StartMenuFiles = OrEmpty(RegText(reg, "UninstallStartmenuFiles"));
    r.DesktopFiles = OrEmpty(RegText(reg, "UninstallDesktopFiles"));
    r.Protect = OrEmpty(RegText(reg, "UninstallProtect"));
    return r;
}

// Deletes what the install recorded; what cannot be deleted is reported.
void DeleteRecordedFiles(const STRING& files, const STRING& protect)
{
    for (int i = 0;; i++) {
        STRING item = files.Word(i, "|");
        if (item.IsNull())
            break;
        if (item.Len() == 0 || UNINSTALL::IsProtected(item, protect))
            continue;
        if (!UNINSTALL::IsInsideItem(item)) {
            Logit("UNINSTALL: %s leaves the install folder, not deleted\n", item.Str());
            continue;
        }
        STRING path = UNINSTALL::InstallDir || "\\" || item;
        path.Replace("/", "\\", TRUE);
        SETUP::Failures.Delete(path);
    }
}

// A shortcut title is a plain file name.
BOOL PlainName(const STRING& title)
{
    return title.Len() > 0 && title.Pos("\\") < 0 && title.Pos("/") < 0 && title.Pos(":") < 0 && title != ".."
           && title != ".";
}

// The program group's shortcuts and then the group itself, which stays while it
// holds other files; the desktop's shortcuts.
void DeleteShortcuts(const RECORD& r)
{
    if (r.StartMenu.Len() > 0 && IsDirectory(r.StartMenu)) {
        for (int i = 0;; i++) {
            STRING title = r.StartMenuFiles.Word(i, "|");
            if (title.IsNull())
                break;
            if (!PlainName(title))
                continue;
            SETUP::Failures.Delete(r.StartMenu || "\\" || title || ".LNK");
            SETUP::Failures.Delete(r.StartMenu || "\\" || title || ".URL");
        }
        SETUP::Failures.Delete(r.StartMenu);
    }
    STRING desktop = OSYS::GetWin32SystemPath(SYSFOLDER_DESKTOP);
    if (desktop.Len() == 0)
        return;
    for (int i = 0;; i++) {
        STRING title = r.DesktopFiles.Word(i, "|");
        if (title.IsNull())
            break;
        if (PlainName(title))
            SETUP::Failures.Delete(desktop || title || ".LNK");
    }
}

void DeleteTreeUnlessRefused(const STRING& folder)
{
    if (UNINSTALL::IsRefusedTree(folder)) {
        Logit("UNINSTALL: %s is not deleted as a whole\n", folder.Str());
        return;
    }
    JOURNAL::RemoveTree(folder, &SETUP::Failures);
}

// Remove everything: the install folder and the product's data folder.
void DeleteFolders()
{
    DeleteTreeUnlessRefused(UNINSTALL::InstallDir);
    STRING data;
    {
        REGISTRY user(UNINSTALL::KeyName, "Software\\Halvo\\", REGROOT_CURRENTUSER);
        data = OrEmpty(RegText(user, "ApplicationDataDir"));
    }
    if (data.Len() > 0)
        DeleteTreeUnlessRefused(data);
}

// A key with everything below it; one that stays is reported.
void RemoveKey(HKEY root, const char* rootname, const char* path)
{
    if (UNINSTALL::DeleteKeyTree(root, path, UNINSTALL::KeyName))
        return;
    DWORD error = GetLastError();
    if (!FAILURES::Missing(error))
        SETUP::Failures.Add(STRING(rootname) || "\\" || path || "\\" || UNINSTALL::KeyName, error);
}

// The bar moves once the work is done, in about a second.
void ShowProgress(HWND bar)
{
    for (int pos = 0; pos <= 100; pos += 5) {
        SendMessageA(bar, PBM_SETPOS, (WPARAM)pos, 0);
        Sleep(50);
    }
}

// The removal's steps, with the removal page or without: files, shortcuts,
// folders and keys, between the hooks' events.
void RemoveProduct(HWND frame, HWND progress, BOOL everything)
{
    HOOKS::CallNewSetupHook(HOOK_REMOVESTART, 0, frame, progress, 0, everything ? 1 : 0);
    RECORD record = ReadRecord();
    HOOKS::CallSetupHook(HOOK_UNINSTALL, UNINSTALL::InstallDir);
    // What is already gone is no failure: the uninstall removes what it finds.
    if (!record.Files.IsNull())
        DeleteRecordedFiles(record.Files, record.Protect);
    DeleteShortcuts(record);
    if (everything)
        DeleteFolders();
    UNINSTALL::RemoveProductKeys(everything);
    HOOKS::CallSetupHook(HOOK_UNINSTALLED, NULL);
    HOOKS::CallNewSetupHook(HOOK_KEYSREMOVED, 0, frame, progress, 0, 0);
}

DWORD WINAPI UninstallWorker(LPVOID parameter)
{
    REMOVAL& r = *(REMOVAL*)parameter;
    RemoveProduct(r.Frame->Hwnd(), r.hProgress, r.Everything);
    ShowProgress(r.hProgress);
    r.Worker->Done();
    return 0;
}

// The silent removal's first copy waits for this one, so its program and
// modules in the install folder are in use: they go into this copy's own
// folder in the temporary folder (where the copies stay anyway).
void MoveWaitingProgram()
{
    STRINGARRAY files;
    ListFiles(APP::ProgramDirectory(), "setup*.*", &files, FALSE);
    for (int i = 0; i < files.Count(); i++) {
        STRING name = NamePart(*files.Get(i));
        STRING installed = UNINSTALL::InstallDir || "\\" || name;
        if (!FileExists(installed))
            continue;
        if (DeleteFileA(installed)) {
            INSTALLLOG::Line("Removed: %s", installed.Str());
            continue;
        }
        STRING away = APP::ProgramDirectory() || "\\" || name || ".old";
        if (MoveFileExA(installed, away, MOVEFILE_REPLACE_EXISTING))
            INSTALLLOG::Line("In use by the setup that waits for the removal, moved away: %s", installed.Str());
        else
            Logit("UNINSTALL: %s not moved away, error=%lu\n", installed.Str(), (unsigned long)GetLastError());
    }
}

// Once the worker is done: what happened, and Finish.
void ShowResult(SETUPDIALOG* frame, HWND page, BOOL everything)
{
    HWND dlg = frame->Hwnd();
    SetDlgItemTextA(dlg, IDC_HEADING, SETUP::Text(IDS_REMOVEDONEHEAD));
    SetDlgItemTextA(dlg, IDC_HEADDESC, "");
    // Never "removed as well" when something stayed: that is listed instead.
    BOOL failed = SETUP::Failures.Count() > 0;
    if (everything || failed) {
        SetDlgItemTextA(page, IDC_FIELD2, SETUP::Text(failed ? IDS_REMOVEDPART : IDS_REMOVEDALL));
        ShowWindow(GetDlgItem(page, IDC_FIELD2), SW_SHOW);
        ShowWindow(GetDlgItem(page, IDC_FIELD1), SW_HIDE);
    }
    SETUP::Failures.Show(NULL, Caption(), SETUP::Text(IDS_REMOVEFAILED));
    EnableWindow(frame->Item(IDC_BACK), TRUE);
    EnableWindow(frame->Item(IDCANCEL), TRUE);
    PostMessageA(dlg, WM_SETUP_FOCUS, IDCANCEL, 0);
}

} // namespace

void UNINSTALL::RemoveProductKeys(BOOL everything)
{
    if (everything) {
        const char* root = REGISTRY::ProductRoot(KeyName);
        RemoveKey(HKEY_CURRENT_USER, "HKEY_CURRENT_USER", root);
        RemoveKey(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", root);
    }
    RemoveKey(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", UninstallKey);
    if (!REGISTRY::Autostart(KeyName, NULL)) {
        DWORD error = GetLastError();
        if (!FAILURES::Missing(error))
            SETUP::Failures.Add(STRING("HKEY_CURRENT_USER\\") || RunKey || "\\" || KeyName, error);
    }
}

int UNINSTALL::RemoveSilently()
{
    if (TestArg("FINAL"))
        MoveWaitingProgram();
    RemovalChoice = UNATTENDED::RemoveAll ? "1" : "0";
    if (UNATTENDED::RemoveAll)
        INSTALLLOG::Line("Everything is removed, the user's data too: /REMOVEALL");
    else
        INSTALLLOG::Default("What should be removed", "the program; the user's data stays");
    HOOKS::CallNewSetupHook(HOOK_UNINSTALL, 0, NULL, NULL, 0, (INT_PTR)KeyName.Str());
    RemoveProduct(NULL, NULL, UNATTENDED::RemoveAll);
    HOOKS::CallNewSetupHook(HOOK_UNINSTALLED, 0, NULL, NULL, 0, 0);
    return UNATTENDED::Result(SETUP::Failures.Count() > 0 ? EXIT_NOTWRITTEN : EXIT_DONE);
}

int UNINSTALL::RemovePage(SETUPDIALOG* frame, DATADIALOG* page)
{
    std::unique_ptr<PROGRESSBAR> bar = PageProgressBar(page->Hwnd());
    SendMessageA(frame->Hwnd(), WM_SETUP_FOCUS, IDCANCEL, 0);
    EnableWindow(frame->Item(IDC_BACK), FALSE);
    EnableWindow(frame->Item(IDC_NEXT), FALSE);
    EnableWindow(frame->Item(IDCANCEL), FALSE);

    // Every button is off while the worker removes: only its done message ends the wait.
    PAGEWORKER worker(frame);
    REMOVAL removal = {frame, bar->Hwnd(), &worker, RemovalChoice.Atoi() == 1};
    if (worker.Start(UninstallWorker, &removal)) {
        while (worker.RunWhileWorking() != SETUP_DONE) {
        }
    } else {
        UninstallWorker(&removal);
    }
    ShowResult(frame, page->Hwnd(), removal.Everything);
    int result = frame->Run();
    SetFocus(frame->Hwnd());
    // Closed from the system menu once done: the removal is not run a second time.
    if (result == 2)
        result = SETUP_CANCEL;
    return result;
}
