// Step 4: the product's files, unpacked from its ZIP payload by a worker
// thread, and the uninstall entry that records them.
#include "setup/install.h"
#include "setup/main.h"
#include "setup/installlog.h"
#include "setup/unattended.h"
#include "setup/unzipper.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/winmisc.h"
#include <commctrl.h>

// What the worker needs. The settings are a copy, so that the worker never
// touches the table the main thread owns. Cancel while copying: the page sets
// stop, the worker sets paused after its current member and waits for go.
struct FILESJOB
{
    FILESJOB(SETUPDIALOG* f, DATADIALOG* p, PROGRESSBAR* b)
        : frame(f), page(p), bar(b), cfg(SETUP::Settings), dir(SETUP::InstallDir),
          mode(SETUP::InstallMode.Atoi()), files(65536), stop(FALSE), quit(FALSE), aborted(FALSE)
    {
        files = "";
        paused = CreateEventA(NULL, TRUE, FALSE, NULL);
        go = CreateEventA(NULL, TRUE, FALSE, NULL);
    }
    ~FILESJOB()
    {
        CloseHandle(paused);
        CloseHandle(go);
    }
    FILESJOB(const FILESJOB&) = delete;
    FILESJOB& operator=(const FILESJOB&) = delete;

    SETUPDIALOG* frame;
    DATADIALOG* page;
    PROGRESSBAR* bar;
    KEYTABLE cfg;
    STRING dir;
    int mode;
    STRING files;               // the installed-files list
    volatile LONG stop;         // asked after every member: a flag, not a system call
    HANDLE paused, go;
    volatile LONG quit;         // set with go: give the install up
    volatile LONG aborted;      // given up after a failure: only Cancel is left
    int failure = 0;            // the adapter's failure that gave the install up
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

BOOL INSTALL::WriteEntryValue(REGISTRY& reg, const char* key, const char* name, const char* value)
{
    if (reg.Write(name, value)) {
        INSTALLLOG::Value("HKEY_LOCAL_MACHINE\\" || SETUP::UninstallBase() || key, name, value);
        return TRUE;
    }
    SETUP::Failures.Add("HKEY_LOCAL_MACHINE\\" || SETUP::UninstallBase() || key || "\\" || name, GetLastError());
    return FALSE;
}

BOOL INSTALL::WriteUninstallEntry(KEYTABLE& cfg, const char* dir, const char* files)
{
    STRING key = cfg["IniKey"];
    REGISTRY reg(key, SETUP::UninstallBase(), 0);
    STRING version = cfg["AppVersion"];
    BOOL ok = WriteEntryValue(reg, key, "DisplayName", cfg["StartmenuName"]);
    ok &= WriteEntryValue(reg, key, "DisplayVersion", version);
    ok &= WriteEntryValue(reg, key, "DisplayIcon", STRING(dir) || "\\" || cfg["UninstallIcon"]);
    ok &= WriteEntryValue(reg, key, "Publisher", Publisher);
    ok &= WriteEntryValue(reg, key, "URLInfoAbout", PublisherUrl);
    ok &= WriteEntryValue(reg, key, "AppName", cfg["AppName"]);
    ok &= WriteEntryValue(reg, key, "Version", version);
    ok &= WriteEntryValue(reg, key, "UninstallString", UninstallCommand(dir, key));
    // What deployment tools run to remove the product without asking.
    ok &= WriteEntryValue(reg, key, "QuietUninstallString", UninstallCommand(dir, key) || " /SILENT");
    ok &= WriteEntryValue(reg, key, "UninstallFiles", files);
    ok &= WriteEntryValue(reg, key, "UninstallPath", dir);
    ok &= WriteEntryValue(reg, key, "UninstallProtect", cfg["ProtectedFiles"]);
    STRING email = cfg["UninstallEmail"];
    if (!email.IsNull() && email.Pos(";") >= 0)
        ok &= WriteEntryValue(reg, key, "UninstallEmail", email);
    return ok;
}

// The installed-files list so far, into the uninstall entry.
static void RecordFiles(FILESJOB& job)
{
    STRING key = job.cfg["IniKey"];
    if (key.Len() == 0)
        return;
    REGISTRY reg(key, SETUP::UninstallBase(), 0);
    INSTALL::WriteEntryValue(reg, key, "UninstallFiles", job.files);
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
    job.failure = unz.Failure();
    if (UNATTENDED::Silent) {
        INSTALLLOG::Default(text, "No");
        return FALSE;
    }
    return MessageYesNo(NULL, SETUP::Caption(job.cfg), text);
}

// The member is in: it goes into the installed-files list.
static void Record(FILESJOB& job, const char* name)
{
    job.files.Append("|", 1);
    job.files.Append(name);
}

// After each member: when the user pressed Cancel, wait for the page's
// decision. FALSE when the install is to be given up.
static BOOL GoOn(FILESJOB& job)
{
    if (!job.stop)
        return TRUE;
    SetEvent(job.paused);
    WaitForSingleObject(job.go, INFINITE);
    ResetEvent(job.go);
    return !job.quit;
}

// The worker's steps in the one pass over an archive: the undo record before
// each file or folder is made; after each member the bar, the installed-files
// list (with the names as they were made) and Cancel; the question on a failure.
class ARCHIVESTEPS : public UNZIPSTEPS
{
public:
    ARCHIVESTEPS(FILESJOB& job, const UNZIPPER& unz, BOOL progress)
        : Job(job), Unz(unz), Progress(progress), Total(0), Sofar(0), Stopped(FALSE)
    {
    }

    void Listed(int, uint64_t total) override
    {
        Assert(total > 0, "total>0", "setup/install", 258, Unz.ArchiveName(), TRUE);
        Total = total;
        Sofar = 0;
    }

    // Its folders recorded, an existing file copied away.
    void Writing(const UNZIPMEMBER& m) override
    {
        STRING target = Job.dir || "\\" || m.path;
        target.Replace("/", "\\", TRUE);
        if (m.folder)
            SETUP::Journal.CreateFolder(target);
        else
            SETUP::Journal.BeforeWrite(target, m.existed);
    }

    int Done(const UNZIPMEMBER& m, BOOL ok) override
    {
        if (!ok) {
            if (AskRetry(Job, Unz))
                return AGAIN;
            Stopped = TRUE;
            return STOP;
        }
        Sofar += m.size;
        if (Progress && Job.bar)
            Job.bar->PostPos(INSTALL::Percent(Sofar, Total));
        if (!m.folder) {
            STRING target = Job.dir || "\\" || m.path;
            target.Replace("/", "\\", TRUE);
            BOOL kept = m.existed && !m.written;
            INSTALLLOG::File(target, m.existed, m.written,
                             kept && UNZIPPER::FindEntry(UNZIPPER::Slashes(Job.cfg["ProtectedFiles"]), m.name, NULL) >= 0
                                 ? "protected" : NULL);
        }
        Record(Job, m.path);
        if (GoOn(Job))
            return NEXT;
        Stopped = TRUE;
        return STOP;
    }

    FILESJOB& Job;
    const UNZIPPER& Unz;
    BOOL Progress;
    uint64_t Total, Sofar;
    BOOL Stopped;           // by a No to the question or by Cancel
};

// Unpacks one archive; FALSE when the user gave up.
static BOOL InstallArchive(FILESJOB& job, const char* archive, BOOL progress)
{
    UNZIPPER unz(archive, job.cfg["AskOverwrite"], job.cfg["ProtectedFiles"]);
    ARCHIVESTEPS steps(job, unz, progress);
    // The install folder too is undone with the rest.
    SETUP::Journal.CreateFolder(job.dir);
    while (!unz.Install(job.dir, steps)) {
        // A missing, unreadable or empty archive is a failure the user can retry
        // (after putting the file back), never an empty install.
        if (steps.Stopped || !AskRetry(job, unz))
            return FALSE;
    }
    return TRUE;
}

// The loose files of CopyToDest; one that cannot be copied is reported and
// not recorded. FALSE when the user gave up.
static BOOL CopyLooseFiles(FILESJOB& job)
{
    STRINGARRAY copies = SETUP::ListEntries(job.cfg["CopyToDest"]);
    for (int i = 0; i < copies.Count(); i++) {
        const char* entry = *copies.Get(i);
        STRING target = job.dir || "\\" || entry;
        target.Replace("/", "\\", TRUE);
        BOOL existed = FileExists(target);
        if (SETUP::Journal.BeforeWrite(target) && CopyFileA(entry, target, FALSE)) {
            INSTALLLOG::File(target, existed, TRUE);
            Record(job, entry);
        }
        else
            SETUP::Failures.Add(target, GetLastError());
        if (!GoOn(job))
            return FALSE;
    }
    return TRUE;
}

// Cancelled, or a failure answered with No: what this run installed goes
// again and nothing stays registered.
static void GiveUp(FILESJOB& job)
{
    HINSTANCE res = APP::ResourceModule();
    HWND page = job.page->Hwnd();
    HWND cancel = job.frame->Item(IDCANCEL);
    EnableWindow(cancel, FALSE);
    SetDlgItemTextA(page, IDC_FIELD1, OSYS::GetStringFromResource(IDS_FILESUNDO, res));
    SETUP::Failures.Clear();
    SETUP::Journal.Undo(SETUP::Failures);
    job.bar->PostPos(0);
    Logit("INSTALL::FilesWorker aborted\n");
    if (!job.quit) {
        job.aborted = TRUE;
        SetDlgItemTextA(page, IDC_FIELD1, OSYS::GetStringFromResource(IDS_FILESFAILED, res));
        EnableWindow(cancel, TRUE);
    }
}

// The steps of the file installation, with its page or without: the
// uninstall entry, the archives, the loose files, the hooks. FALSE when the
// install was given up.
static BOOL InstallFiles(FILESJOB& job)
{
    HWND frame = job.frame ? job.frame->Hwnd() : NULL;
    HWND bar = job.bar ? job.bar->Hwnd() : NULL;
    SETUP::CallNewSetupHook(6, 0, frame, bar, 0, job.mode);

    // The entry comes before the first file, so that an install that is killed
    // half-way can be removed by it.
    BOOL registered = job.cfg["IniKey"].Len() > 0;
    if (registered) {
        SETUP::Journal.RememberKey(HKEY_LOCAL_MACHINE, SETUP::UninstallBase() || job.cfg["IniKey"]);
        INSTALL::WriteUninstallEntry(job.cfg, job.dir, job.files);
    }
    BOOL ok = InstallArchive(job, "setup.fil", TRUE);
    if (ok)
        RecordFiles(job);
    if (ok && FileExists("custom.fil")) {
        ok = InstallArchive(job, "custom.fil", FALSE);
        if (ok)
            RecordFiles(job);
    }
    if (ok)
        ok = CopyLooseFiles(job);
    if (!ok)
        return FALSE;
    if (job.bar)
        job.bar->PostPos(100);

    if (registered)
        INSTALL::WriteUninstallEntry(job.cfg, job.dir, job.files);
    SETUP::FilesIn = TRUE;
    SETUP::CallSetupHook(7, job.dir);
    SETUP::CallNewSetupHook(7, 0, frame, bar, 0, 0);
    return TRUE;
}

int INSTALL::InstallFilesUnattended(PROGRESSBAR* bar)
{
    SETUP::FilesIn = FALSE;
    FILESJOB job(NULL, NULL, bar);
    if (InstallFiles(job))
        return 0;
    INSTALLLOG::Line("Installation given up: what it installed is removed again");
    SETUP::Failures.Clear();
    SETUP::Journal.Undo(SETUP::Failures);
    return job.failure != 0 ? job.failure : UNZIPPER::FAIL_CANNOTWRITE;
}

static DWORD WINAPI FilesWorker(LPVOID parameter)
{
    FILESJOB& job = *(FILESJOB*)parameter;
    HINSTANCE res = APP::ResourceModule();
    HWND frame = job.frame->Hwnd();
    HWND page = job.page->Hwnd();
    SetDlgItemTextA(page, IDC_FIELD1, OSYS::GetStringFromResource(IDS_FILESBUSY, res));
    if (!InstallFiles(job)) {
        GiveUp(job);
        return 0;
    }

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

// Waits until the worker has stopped after its current member (TRUE) or has
// ended (FALSE). The page keeps painting meanwhile, but takes no input: the
// program is busy, not waiting for the user.
static BOOL WaitWorker(FILESJOB& job, HANDLE worker)
{
    HANDLE both[2] = {job.paused, worker};
    for (;;) {
        DWORD rc = MsgWaitForMultipleObjects(2, both, FALSE, INFINITE, QS_PAINT | QS_SENDMESSAGE);
        if (rc == WAIT_OBJECT_0)
            return TRUE;
        if (rc != WAIT_OBJECT_0 + 2)
            return FALSE;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE))
            DispatchMessageA(&msg);
    }
}

// The page's loop while the worker copies. Cancel (or the close command)
// stops the worker after its current member and asks the cancel question:
// going on resumes the worker, quitting has it undo what it installed.
static int RunWhileCopying(SETUPDIALOG* frame, FILESJOB& job, HANDLE worker)
{
    HWND cancel = frame->Item(IDCANCEL);
    for (;;) {
        int result = frame->Run();
        if (result != SETUP_CANCEL)
            return result;
        if (job.aborted)
            return SETUP_QUIT;          // undone after a failure already
        EnableWindow(cancel, FALSE);
        InterlockedExchange(&job.stop, TRUE);
        BOOL paused = WaitWorker(job, worker);
        EnableWindow(cancel, TRUE);
        if (!paused) {
            InterlockedExchange(&job.stop, FALSE);
            if (job.aborted)
                continue;               // the page says so; Cancel ends
            return SETUP_CANCEL;        // the files are in: the step loop asks
        }
        BOOL goon = frame->AskContinue();
        job.quit = !goon;
        InterlockedExchange(&job.stop, FALSE);
        ResetEvent(job.paused);
        SetEvent(job.go);
        if (!goon) {
            WaitWorker(job, worker);    // while it undoes the install
            return SETUP_QUIT;
        }
    }
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

    // Cancel stays: it stops the copying after the current member.
    SetFocus(frame->Item(IDCANCEL));
    EnableWindow(frame->Item(IDC_BACK), FALSE);
    EnableWindow(frame->Item(IDC_NEXT), FALSE);
    EnableWindow(frame->Item(IDCANCEL), TRUE);

    SETUP::FilesIn = FALSE;
    FILESJOB job(frame, page, bar);
    HANDLE worker = OSYS::CreateThread(FilesWorker, &job);
    int result = 0;
    if (worker) {
        result = RunWhileCopying(frame, job, worker);
        WaitForWorker(worker);
        DropStaleNext(frame->Hwnd());
    } else {
        EnableWindow(frame->Item(IDC_BACK), TRUE);
        result = frame->Run();
    }
    EnableWindow(frame->Item(IDCANCEL), TRUE);
    SetFocus(frame->Hwnd());
    delete bar;
    return result;
}
