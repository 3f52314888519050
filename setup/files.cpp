// Step 4: the product's files, unpacked from its ZIP payload by a worker
// thread, and the uninstall entry that records them.
#include "setup/install.h"
#include "setup/main.h"
#include "setup/unzipper.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/winmisc.h"
#include <commctrl.h>

// What the worker needs. The settings are a copy, so that the worker never
// touches the table the main thread owns.
struct FILESJOB
{
    SETUPDIALOG* frame;
    DATADIALOG* page;
    PROGRESSBAR* bar;
    KEYTABLE cfg;
    STRING dir;
    int mode;
};

const char* INSTALL::Publisher = "Halvo Software Works";
const char* INSTALL::PublisherUrl = "http://www.halvo.com";

int INSTALL::Percent(uint64_t done, uint64_t total)
{
    if (total == 0 || done >= total)
        return 100;
    return (int)(done * 100 / total);
}

STRING INSTALL::UninstallCommand(const char* dir, const char* key)
{
    return STRING("\"") || dir || "\\Setup.exe\" -remove \"" || key || "\"";
}

void INSTALL::WriteUninstallEntry(KEYTABLE& cfg, const char* dir, const char* files)
{
    STRING key = cfg["IniKey"];
    REGISTRY reg(key, SETUP::UninstallBase(), 0);
    STRING version = cfg["AppVersion"];
    reg.Write("DisplayName", cfg["StartmenuName"]);
    reg.Write("DisplayVersion", version);
    reg.Write("DisplayIcon", STRING(dir) || "\\" || cfg["UninstallIcon"]);
    reg.Write("Publisher", Publisher);
    reg.Write("URLInfoAbout", PublisherUrl);
    reg.Write("AppName", cfg["AppName"]);
    reg.Write("Version", version);
    reg.Write("UninstallString", UninstallCommand(dir, key));
    reg.Write("UninstallFiles", files);
    reg.Write("UninstallPath", dir);
    reg.Write("UninstallProtect", cfg["ProtectedFiles"]);
    STRING email = cfg["UninstallEmail"];
    if (!email.IsNull() && email.Pos(";") >= 0)
        reg.Write("UninstallEmail", email);
}

// Asks whether to try again after the failure the adapter reports, in words
// that fit its cause; No gives up the installation.
static BOOL AskRetry(FILESJOB& job, const UNZIPPER& unz)
{
    int id = IDS_ASKRETRYFILE;     // cannot be written: perhaps the program is running
    if (unz.Failure() == UNZIPPER::FAIL_NOARCHIVE)
        id = IDS_ASKNOARCHIVE;
    else if (unz.Failure() == UNZIPPER::FAIL_BADARCHIVE)
        id = IDS_ASKBADARCHIVE;
    else if (unz.Failure() == UNZIPPER::FAIL_BADMEMBER)
        id = IDS_ASKBADMEMBER;
    HINSTANCE res = APP::ResourceModule();
    STRING text = OSYS::GetStringFromResource(id, res);
    text = SETUP::ReplaceAll(text, "$PROGRAM", job.cfg["AppName"]);
    text = SETUP::ReplaceAll(text, "$ARCHIVE", unz.ArchiveName());
    text = SETUP::ReplaceAll(text, "$FILE", unz.FailedName());   // last: a name may hold "$"
    return MessageYesNo(NULL, OSYS::GetStringFromResource(IDS_SETUPCAPTION, res), text);
}

// Unpacks one archive; FALSE when the user gave up.
static BOOL InstallArchive(FILESJOB& job, const char* archive, BOOL progress, STRING& files)
{
    UNZIPPER* unz = NULL;
    for (;;) {
        // A missing, unreadable or empty archive is a failure the user can retry
        // (after putting the file back), never an empty install.
        unz = new UNZIPPER(archive, job.cfg["AskOverwrite"], job.cfg["ProtectedFiles"]);
        if (unz->Listed() && unz->Count() > 0)
            break;
        BOOL again = AskRetry(job, *unz);
        delete unz;
        if (!again)
            return FALSE;
    }
    uint64_t total = unz->Total();
    Assert(total > 0, "total>0", "setup/install", 258, archive, TRUE);

    STRING name;
    uint64_t done = unz->GetFirst(name);
    while (name.Len() > 0) {
        while (unz->Extract(name, job.dir) != 1) {
            if (!AskRetry(job, *unz)) {
                delete unz;
                return FALSE;
            }
        }
        if (progress)
            job.bar->SetPos(INSTALL::Percent(done, total));
        files.Append("|", 1);
        files.Append(name);
        done += unz->GetNext(name);
    }
    delete unz;
    return TRUE;
}

static DWORD WINAPI FilesWorker(LPVOID parameter)
{
    FILESJOB& job = *(FILESJOB*)parameter;
    HINSTANCE res = APP::ResourceModule();
    HWND frame = job.frame->Hwnd();
    HWND page = job.page->Hwnd();
    SetDlgItemTextA(page, IDC_FIELD1, OSYS::GetStringFromResource(IDS_FILESBUSY, res));
    SETUP::CallNewSetupHook(6, 0, frame, job.bar->Hwnd(), 0, job.mode);

    STRING files(65536);
    files = "";
    BOOL ok = InstallArchive(job, "setup.fil", TRUE, files);
    if (ok && FileExists("custom.fil"))
        ok = InstallArchive(job, "custom.fil", FALSE, files);
    if (!ok) {
        // Back to the destination page or Cancel; nothing is registered.
        EnableWindow(job.frame->Item(IDC_BACK), TRUE);
        EnableWindow(job.frame->Item(IDCANCEL), TRUE);
        Logit("INSTALL::FilesWorker aborted\n");
        return 0;
    }

    STRINGARRAY copies = SETUP::ListEntries(job.cfg["CopyToDest"]);
    for (int i = 0; i < copies.Count(); i++) {
        const char* entry = *copies.Get(i);
        CopyFileA(entry, job.dir || "\\" || entry, FALSE);
        files.Append("|", 1);
        files.Append(entry);
    }
    job.bar->SetPos(100);

    if (job.cfg["IniKey"].Len() > 0)
        INSTALL::WriteUninstallEntry(job.cfg, job.dir, files);
    SETUP::CallSetupHook(7, job.dir);
    SETUP::CallNewSetupHook(7, 0, frame, job.bar->Hwnd(), 0, 0);

    STRING nocopy = job.cfg["NoCopyComplete"];
    int automatic = nocopy.IsNull() ? 0 : nocopy.Atoi();
    HWND next = job.frame->Item(IDC_NEXT);
    EnableWindow(next, TRUE);
    if (automatic == 0) {
        SetDlgItemTextA(page, IDC_FIELD1, OSYS::GetStringFromResource(IDS_FILESDONE, res));
        SendMessageA(next, BM_SETSTYLE, (WPARAM)((GetWindowLongPtrA(next, GWL_STYLE) | BS_DEFPUSHBUTTON) & 0xFFFF), TRUE);
        SendMessageA(frame, WM_SETUP_FOCUS, IDC_NEXT, 0);
    }
    EnableWindow(job.frame->Item(IDCANCEL), TRUE);
    if (automatic != 0)
        PostMessageA(frame, WM_COMMAND, MAKEWPARAM(IDC_NEXT, BN_CLICKED), (LPARAM)next);
    return 0;
}

// Waits for the worker while still handling the messages it sends to our
// windows: it may be setting texts or buttons when the page has already ended.
static void WaitForWorker(HANDLE thread)
{
    for (;;) {
        DWORD rc = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (rc == WAIT_OBJECT_0 + 1) {
            MSG msg;
            PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        break;
    }
    OSYS::WaitThread(thread, -1);
}

// A Next command the worker posted after the user already left the page, and
// the end message it caused, belong to this page only: drop them before the
// next page's loop sees them.
static void DropStaleNext(HWND frame)
{
    MSG msg;
    while (PeekMessageA(&msg, frame, WM_BRISEL_END, WM_BRISEL_END, PM_REMOVE)) {
    }
    MSG keep[16];
    int kept = 0;
    while (PeekMessageA(&msg, frame, WM_COMMAND, WM_COMMAND, PM_REMOVE))
        if (LOWORD(msg.wParam) != IDC_NEXT && kept < 16)
            keep[kept++] = msg;
    for (int i = 0; i < kept; i++)
        PostMessageA(frame, keep[i].message, keep[i].wParam, keep[i].lParam);
}

int INSTALL::FilesPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    HWND hpage = page->Hwnd();
    HWND placeholder = GetDlgItem(hpage, IDC_PLACEHOLDER);
    RECT r = {0, 0, 0, 0};
    if (placeholder) {
        GetWindowRect(placeholder, &r);
        MapWindowPoints(NULL, hpage, (POINT*)&r, 2);
        DestroyWindow(placeholder);
    }
    PROGRESSBAR* bar = new PROGRESSBAR(hpage, IDC_PLACEHOLDER);
    bar->Move(r);

    SetFocus(frame->Item(IDCANCEL));
    EnableWindow(frame->Item(IDC_BACK), FALSE);
    EnableWindow(frame->Item(IDC_NEXT), FALSE);
    EnableWindow(frame->Item(IDCANCEL), FALSE);

    FILESJOB job{frame, page, bar, SETUP::Settings, SETUP::InstallDir, SETUP::InstallMode.Atoi()};
    HANDLE worker = OSYS::CreateThread(FilesWorker, &job);
    int result = 0;
    if (worker) {
        result = frame->Run();
        WaitForWorker(worker);
        DropStaleNext(frame->Hwnd());
    } else {
        EnableWindow(frame->Item(IDC_BACK), TRUE);
        EnableWindow(frame->Item(IDCANCEL), TRUE);
        result = frame->Run();
    }
    SetFocus(frame->Hwnd());
    delete bar;
    return result;
}
