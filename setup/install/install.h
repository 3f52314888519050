// The install: its run and state, and the page functions of its wizard's steps.
#pragma once
#include "setup/frame/setupdialog.h"
#include "setup/frame/journal.h"
#include "brisel/registry.h"
#include "brisel/strings.h"
#include "brisel/stringarray.h"
#include <cstdint>

// Steps of the install wizard: their ids (idstep), as the hooks see them.
enum INSTALLSTEP
{
    STEP_WELCOME = 1,
    STEP_LICENCE = 2,
    STEP_DESTINATION = 3,
    STEP_FILES = 4,
    STEP_SHORTCUTS = 5,
    STEP_ADVERT = 6,
    STEP_FINISH = 7,
};
#define INSTALL_STEPS 7

// How the install meets an earlier installation (the welcome page's choice;
// the files worker hands it to the hooks).
enum INSTALLMODE
{
    MODE_FRESH = 0,          // a new installation, or over one of a newer version
    MODE_REINSTALL = 1,      // the same version again: no licence, same folder
    MODE_UPDATE = 2,         // over an older version, in its folder
};

// One shortcut of StartmenuOpts ("title;target;arguments;icon file:index"),
// or one the shortcuts page adds.
struct SHORTCUT
{
    STRING Title;          // file name and description
    STRING Target;         // relative to the install folder, its marks removed; or an address
    STRING Arguments;
    STRING Icon;           // "file:index", the file relative to the install folder; empty: none
    BOOL Address = FALSE;  // an http:// or https:// address: an Internet shortcut
    BOOL Offered = FALSE;  // "*": also offered for the desktop
    BOOL Desktop = FALSE;  // "#": on the desktop instead of in the program group
};

class INSTALL
{
public:
    // Install state, shared by the install pages.
    static int Mode;                 // INSTALLMODE
    static STRING DisplayName;       // AppName + " " + AppVersion
    static STRING InstallDir;        // without trailing "\" after the destination page
    static STRING ProgramGroup;      // start-menu folder that received the shortcuts
    static JOURNAL Journal;          // what this install run changed, for undoing it
    static BOOL FilesIn;             // the files page has installed and registered the product

    // The wizard's run; Silent, the run of /SILENT (silent.cpp): the same
    // steps without a window, its exit code returned.
    static int Main();
    static int Silent();
    // setup.cfg into Settings, with the hooks' first events, the language
    // variants and the defaults; FALSE when it cannot be read.
    static BOOL ReadSettings();
    // Where an earlier installation is (its UninstallPath, when that folder is
    // still there), else where InstallPath says. Opening the uninstall key creates it.
    static STRING InstallFolder();
    // After the wizard or a silent install: the hooks learn how it ended and
    // the DeleteAfterExtract files go (a failure to delete counts only for a
    // completed install).
    static void EndInstall(BOOL completed);
    static const SETUPSTEP* Steps();
    // Default install directory from InstallPath: "*" + absolute path, or below
    // Program Files; without InstallPath Program Files and the product's name.
    static STRING DefaultInstallDir(const STRING& installpath, const STRING& appname);
    // Final message text: string 2994 with $PROGRAM = AppName.
    static STRING FinalMessage();
    // Built-in hook of the terminal program (AppName "Vantor", no hook of the product's own).
    static int WINAPI NewSetupHookVantor(int event, int value, HWND first, HWND second, INT_PTR address, INT_PTR data);

    static int WelcomePage(SETUPDIALOG* frame, DATADIALOG* page);
    static int LicencePage(SETUPDIALOG* frame, DATADIALOG* page);
    static int DestinationPage(SETUPDIALOG* frame, DATADIALOG* page);
    // Steps 4 to 7 (files.cpp, shortcuts.cpp, finish.cpp).
    static int FilesPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int ShortcutsPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int AdvertPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int FinishPage(SETUPDIALOG* frame, DATADIALOG* page);

    // Install mode from the installed version (null: nothing installed) and the
    // one being installed: update, reinstall for the same version, else the
    // current mode. Tells which of the options 222 and 223 stay enabled.
    static int DecideMode(const STRING& installedpath, const STRING& installedversion,
                          const STRING& version, int mode, BOOL* enable222, BOOL* enable223);
    // Licence text: the file (LIZENZ.TXT for language 49, else LICENSE.TXT) or the
    // built-in text, $PROGRAM replaced, line ends as "\r\n".
    static STRING LicenceText(int language, const char* program);
    static const char* BuiltinLicence(BOOL german);

    // Destination page: 0 when the folder can take the product, else the
    // string id of the reason, with folder set to the path it names. Probes
    // writability with a test folder it creates and removes again.
    static int CheckDestination(const STRING& dir, STRING& folder);
    // A folder chosen in the browser, with the product's folder name below it
    // unless it already ends with that name.
    static STRING WithProductFolder(const STRING& chosen, const STRING& name);

    // File installation (files.cpp).
    // Progress bar position for done of total bytes, in 64 bits; 100 for an empty total.
    static int Percent(uint64_t done, uint64_t total);
    // "UninstallString": the installed setup program started with REMOVE and the key name.
    static STRING UninstallCommand(const char* dir, const char* key);
    // The uninstall entry of the product (IniKey) with the installed-files list;
    // a value that cannot be written is reported. TRUE when all were written.
    static BOOL WriteUninstallEntry(KEYTABLE& cfg, const char* dir, const char* files);
    // One value of the uninstall entry (key name key); a failed write is reported.
    static BOOL WriteEntryValue(REGISTRY& reg, const char* key, const char* name, const char* value);
    // The file installation without the page: the same steps, no question
    // asked (the default is taken and logged), what was installed undone on a
    // failure. The adapter's failure (UNZIPPER::FAILURE), 0 when installed.
    static int InstallFilesUnattended(PROGRESSBAR* bar);
    static const char* Publisher;
    static const char* PublisherUrl;

    // Shortcuts page (shortcuts.cpp).
    // One StartmenuOpts entry; FALSE when it has no target.
    static BOOL ParseShortcut(const STRING& entry, SHORTCUT& shortcut);
    // Desktop shortcut offered by the shortcuts page: the last StartmenuOpts entry
    // whose target starts with "*", for the desktop and without its icon (no
    // title when there is none). Returns the desktop setting (DesktopIcon,
    // default 1; 0 without such an entry).
    static int DesktopCandidate(const STRING& opts, const STRING& desktopicon, SHORTCUT& desktop);
    // The shortcuts as the page's choices say (program group groupname in the
    // user's or the all-users menu, the offered desktop shortcut), and their
    // record in the uninstall entry.
    static void MakeShortcuts(const STRING& groupname, BOOL startmenu, BOOL common, BOOL desktop);
};
