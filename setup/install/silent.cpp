// The silent install (/SILENT): the wizard's steps without a window, where
// each question takes its documented default and says so in the install log.
#include "setup/install/install.h"
#include "setup/install/unzipper.h"
#include "setup/frame/installlog.h"
#include "setup/frame/settings.h"
#include "setup/frame/unattended.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/registry.h"
#include "brisel/windows.h"
#include <commctrl.h>
#include <memory>

// The small window of /PROGRESS: a caption, a line of text and the bar.
class PROGRESSWINDOW
{
public:
    explicit PROGRESSWINDOW(const char* caption)
        : Frame(WS_POPUP | WS_CAPTION, caption, 0, 0, 360, 96, NULL, 0), Text(NULL)
    {
        RECT r = Frame.GetClientRect();
        Text = CreateWindowExA(0, "STATIC", SETUP::Text(IDS_FILESBUSY), WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 12, 10,
                               r.right - 24, 16, Frame, NULL, NULL, NULL);
        SendMessageA(Text, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), 0);
        Bar.reset(new PROGRESSBAR(Frame, IDC_PLACEHOLDER));
        Bar->Move(12, 34, r.right - 24, 18);
        RECT w = Frame.GetRect();
        SetWindowPos(Frame, HWND_TOP, (GetSystemMetrics(SM_CXSCREEN) - (w.right - w.left)) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - (w.bottom - w.top)) / 2, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    }
    PROGRESSWINDOW(const PROGRESSWINDOW&) = delete;
    PROGRESSWINDOW& operator=(const PROGRESSWINDOW&) = delete;

    WINDOW Frame;
    HWND Text;
    std::unique_ptr<PROGRESSBAR> Bar;
};

struct SILENTFILES
{
    PROGRESSBAR* bar;
    int failure;
};

static DWORD WINAPI SilentFiles(LPVOID parameter)
{
    SILENTFILES* job = (SILENTFILES*)parameter;
    job->failure = INSTALL::InstallFilesUnattended(job->bar);
    return 0;
}

// The files step on its worker; the progress window (when there is one) is
// kept alive meanwhile. The adapter's failure, FAIL_NONE when installed.
static int InstallFiles(PROGRESSWINDOW* window)
{
    SILENTFILES job = {window ? window->Bar.get() : NULL, 0};
    HANDLE worker = OSYS::CreateThread(SilentFiles, &job);
    if (!worker)
        return INSTALL::InstallFilesUnattended(job.bar);
    for (;;) {
        DWORD rc = MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT);
        if (rc != WAIT_OBJECT_0 + 1)
            break;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    OSYS::WaitThread(worker, -1);
    return job.failure;
}

// The shortcuts page's choices: the wizard's presets unless a switch says otherwise.
static void ChosenShortcuts(KEYTABLE& cfg)
{
    if (UNATTENDED::NoShortcuts) {
        INSTALLLOG::Line("No shortcuts: /NOSHORTCUTS");
        return;
    }
    BOOL reinstall = INSTALL::Mode == MODE_REINSTALL;
    SHORTCUT offered;
    int setting = INSTALL::DesktopCandidate(cfg["StartmenuOpts"], cfg["DesktopIcon"], offered);
    BOOL startmenu = UNATTENDED::AllUsers >= 0 || !reinstall;
    if (UNATTENDED::AllUsers < 0)
        INSTALLLOG::Default("Shortcuts in the start menu", startmenu ? "for the current user" : "none, as for a reinstall");
    BOOL desktop = setting >= 2 && !reinstall;
    if (UNATTENDED::Desktop >= 0)
        desktop = UNATTENDED::Desktop == 1 && setting != 0;
    else if (setting != 0)
        INSTALLLOG::Default("Desktop shortcut", desktop ? "yes" : "no");
    if (UNATTENDED::Desktop == 1 && setting == 0)
        INSTALLLOG::Line("/DESKTOP: the product offers no desktop shortcut");
    STRING group = UNATTENDED::Group.IsNull() ? cfg["StartmenuName"] : UNATTENDED::Group;
    INSTALL::MakeShortcuts(group, startmenu, UNATTENDED::AllUsers == 1, desktop);
}

// The welcome page's decision: an earlier installation of the product.
static void FindEarlierInstall(KEYTABLE& cfg)
{
    STRING key = cfg["IniKey"], path, installed;
    if (key.Len() > 0) {
        REGISTRY reg(key, SETUP::UninstallBase(), REGROOT_LOCALMACHINE);
        path = reg.ReadString("UninstallPath");
        installed = reg.ReadString("DisplayVersion");
    }
    BOOL enable222, enable223;
    INSTALL::Mode = INSTALL::DecideMode(path, installed, cfg["AppVersion"], MODE_FRESH, &enable222, &enable223);
    if (INSTALL::Mode != MODE_FRESH)
        INSTALLLOG::Line("%s %s is installed: %s", cfg["AppName"].Str(), installed.Str(),
                         INSTALL::Mode == MODE_REINSTALL ? "reinstall" : "update");
}

// The destination page's: /DIR, except that an update or reinstall stays
// where the earlier installation is. FALSE when the folder cannot be used.
static BOOL ChooseDestination(KEYTABLE& cfg)
{
    STRING& dir = INSTALL::InstallDir;
    dir = INSTALL::InstallFolder();
    const STRING& wanted = UNATTENDED::Dir;
    if (INSTALL::Mode == MODE_FRESH && !wanted.IsNull())
        dir = wanted;
    else if (!wanted.IsNull() && _stricmp(wanted, dir) != 0)
        INSTALLLOG::Line("/DIR is not used: the earlier installation's folder is kept");
    while (dir.Len() > 0 && dir[dir.Len() - 1] == '\\')
        dir.Truncate(dir.Len() - 1);
    INSTALLLOG::Line("Destination: %s", dir.Str());
    STRING folder;
    int why = INSTALL::CheckDestination(dir, folder);
    if (why == 0)
        return TRUE;
    STRING text = SETUP::ReplaceAll(SETUP::ReplaceAll(SETUP::Text(why), "$FOLDER", folder), "$PROGRAM", cfg["AppName"]);
    INSTALLLOG::Line("The destination cannot be used: %s", text.Str());
    return FALSE;
}

int INSTALL::Silent()
{
    INSTALLLOG::Line("Silent install: %s", GetCommandLineA());
    if (!UNATTENDED::AcceptLicence) {
        INSTALLLOG::Line("The licence was not accepted: /ACCEPTLICENCE must be given with /SILENT");
        return UNATTENDED::Result(EXIT_REFUSED);
    }
    if (!ReadSettings()) {
        INSTALLLOG::Line("setup.cfg is missing or unreadable in %s", CurrentDirectory().Str());
        return UNATTENDED::Result(EXIT_NOSETTINGS);
    }
    KEYTABLE& cfg = SETUP::Settings;
    STRING name = cfg["AppName"], key = cfg["IniKey"];
    if (!UNATTENDED::Lock(key.Len() > 0 ? key : name, 0, name))
        return UNATTENDED::Result(EXIT_RUNNING);
    INSTALLLOG::Line("Product: %s", DisplayName.Str());
    FindEarlierInstall(cfg);
    if (!ChooseDestination(cfg))
        return UNATTENDED::Result(EXIT_BADDESTINATION);
    if (Mode != MODE_REINSTALL)
        INSTALLLOG::Line("Licence accepted on the command line");

    int failure;
    {
        std::unique_ptr<PROGRESSWINDOW> window(UNATTENDED::Progress ? new PROGRESSWINDOW(SETUP::Caption(cfg)) : NULL);
        failure = InstallFiles(window.get());
    }
    if (failure != 0) {
        EndInstall(FALSE);
        Journal.Clear();
        return UNATTENDED::Result(failure == UNZIPPER::FAIL_CANNOTWRITE ? EXIT_NOTWRITTEN : EXIT_BADPAYLOAD);
    }
    ChosenShortcuts(cfg);
    EndInstall(TRUE);
    Journal.Clear();
    return UNATTENDED::Result(SETUP::Failures.Count() > 0 ? EXIT_NOTWRITTEN : EXIT_DONE);
}
