// Step 4: the product's files, unpacked from its ZIP payload by a worker
// thread, and the uninstall entry that records them.
#include "setup/install/install.h"
#include "setup/frame/hooks.h"
#include "setup/frame/settings.h"
#include "setup/install/unzipper.h"
#include "setup/frame/installlog.h"
#include "setup/frame/unattended.h"
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
    FILESJOB(SETUPDIALOG* f, DATADIALOG* p, PROGRESSBAR* b, PAGEWORKER* w)
        : frame(f), page(p), bar(b), worker(w), cfg(SETUP::Settings), dir(INSTALL::InstallDir),
          mode(INSTALL::Mode), files(65536), stop(FALSE), quit(FALSE), aborted(FALSE)
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
    PAGEWORKER* worker;
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
    REGISTRY reg(key, SETUP::UninstallBase(), REGROOT_LOCALMACHINE);
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
    REGISTRY reg(key, SETUP::UninstallBase(), REGROOT_LOCALMACHINE);
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
            INSTALL::Journal.CreateFolder(target);
        else
            INSTALL::Journal.BeforeWrite(target, m.existed);
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
    INSTALL::Journal.CreateFolder(job.dir);
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
        if (INSTALL::Journal.BeforeWrite(target) && CopyFileA(entry, target, FALSE)) {
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
    INSTALL::Journal.Undo(SETUP::Failures);
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
    HOOKS::CallNewSetupHook(HOOK_FILESSTART, 0, frame, bar, 0, job.mode);

    // The entry comes before the first file, so that an install that is killed
    // half-way can be removed by it.
    BOOL registered = job.cfg["IniKey"].Len() > 0;
    if (registered) {
        INSTALL::Journal.RememberKey(HKEY_LOCAL_MACHINE, SETUP::UninstallBase() || job.cfg["IniKey"]);
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
    INSTALL::FilesIn = TRUE;
    HOOKS::CallSetupHook(HOOK_FILESDONE, job.dir);
    HOOKS::CallNewSetupHook(HOOK_FILESDONE, 0, frame, bar, 0, 0);
    return TRUE;
}

int INSTALL::InstallFilesUnattended(PROGRESSBAR* bar)
{
    FilesIn = FALSE;
    FILESJOB job(NULL, NULL, bar, NULL);
    if (InstallFiles(job))
        return 0;
    INSTALLLOG::Line("Installation given up: what it installed is removed again");
    SETUP::Failures.Clear();
    Journal.Undo(SETUP::Failures);
    return job.failure != 0 ? job.failure : UNZIPPER::FAIL_CANNOTWRITE;
}

static DWORD WINAPI FilesWorker(LPVOID parameter)
{
    FILESJOB& job = *(FILESJOB*)parameter;
    SetDlgItemTextA(job.page->Hwnd(), IDC_FIELD1, SETUP::Text(IDS_FILESBUSY));
    if (!InstallFiles(job))
        GiveUp(job);
    job.worker->Done();
    return 0;
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
// SETUP_DONE once the worker is done; SETUP_CANCEL when Cancel came as it
// ended with the files in (the step loop asks then); SETUP_QUIT.
static int RunWhileCopying(SETUPDIALOG* frame, FILESJOB& job, PAGEWORKER& worker)
{
    HWND cancel = frame->Item(IDCANCEL);
    for (;;) {
        if (worker.RunWhileWorking() == SETUP_DONE)
            return SETUP_DONE;
        if (job.aborted) {
            // Undone after a failure already: Cancel ends the page once the worker is done.
            while (worker.RunWhileWorking() != SETUP_DONE) {
            }
            return SETUP_QUIT;
        }
        EnableWindow(cancel, FALSE);
        InterlockedExchange(&job.stop, TRUE);
        BOOL paused = WaitWorker(job, worker.Thread());
        EnableWindow(cancel, TRUE);
        if (!paused) {
            InterlockedExchange(&job.stop, FALSE);
            while (worker.RunWhileWorking() != SETUP_DONE) {
            }
            return job.aborted ? SETUP_DONE : SETUP_CANCEL;
        }
        BOOL goon = frame->AskContinue();
        job.quit = !goon;
        InterlockedExchange(&job.stop, FALSE);
        ResetEvent(job.paused);
        SetEvent(job.go);
        if (!goon) {
            // While it undoes the install: no input, only painting.
            WaitWorker(job, worker.Thread());
            while (worker.RunWhileWorking() != SETUP_DONE) {
            }
            return SETUP_QUIT;
        }
    }
}

// The worker is done: the files are in and Next goes on, or it gave up
// after a failure and only Cancel is left. TRUE when Next follows at once
// (NoCopyComplete).
static BOOL ShowOutcome(SETUPDIALOG* frame, FILESJOB& job)
{
    EnableWindow(frame->Item(IDCANCEL), TRUE);
    if (job.aborted)
        return FALSE;
    HWND next = frame->Item(IDC_NEXT);
    EnableWindow(next, TRUE);
    STRING nocopy = job.cfg["NoCopyComplete"];
    if (!nocopy.IsNull() && nocopy.Atoi() != 0)
        return TRUE;
    SetDlgItemTextA(job.page->Hwnd(), IDC_FIELD1, SETUP::Text(IDS_FILESDONE));
    SendMessageA(next, BM_SETSTYLE, (WPARAM)((GetWindowLongPtrA(next, GWL_STYLE) | BS_DEFPUSHBUTTON) & 0xFFFF), TRUE);
    SendMessageA(frame->Hwnd(), WM_SETUP_FOCUS, IDC_NEXT, 0);
    return FALSE;
}

int INSTALL::FilesPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    std::unique_ptr<PROGRESSBAR> bar = PageProgressBar(page->Hwnd());

    // Cancel stays: it stops the copying after the current member.
    SetFocus(frame->Item(IDCANCEL));
    EnableWindow(frame->Item(IDC_BACK), FALSE);
    EnableWindow(frame->Item(IDC_NEXT), FALSE);
    EnableWindow(frame->Item(IDCANCEL), TRUE);

    FilesIn = FALSE;
    PAGEWORKER worker(frame);
    FILESJOB job(frame, page, bar.get(), &worker);
    int result = 0;
    if (worker.Start(FilesWorker, &job)) {
        result = RunWhileCopying(frame, job, worker);
        if (result != SETUP_QUIT) {
            BOOL automatic = ShowOutcome(frame, job);
            if (result == SETUP_DONE)
                result = automatic ? SETUP_NEXT : frame->Run();
            if (job.aborted && result == SETUP_CANCEL)
                result = SETUP_QUIT;        // undone after the failure already
        }
    } else {
        EnableWindow(frame->Item(IDC_BACK), TRUE);
        result = frame->Run();
    }
    EnableWindow(frame->Item(IDCANCEL), TRUE);
    SetFocus(frame->Hwnd());
    return result;
}
