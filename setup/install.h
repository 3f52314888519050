// The install pages: page functions of the install wizard's steps.
#pragma once
#include "setup/setupdialog.h"
#include "brisel/strings.h"
#include "brisel/stringarray.h"
#include <cstdint>

class REGISTRY;

class INSTALL
{
public:
    static int WelcomePage(SETUPDIALOG* frame, DATADIALOG* page);
    static int LicencePage(SETUPDIALOG* frame, DATADIALOG* page);
    static int DestinationPage(SETUPDIALOG* frame, DATADIALOG* page);
    // Steps 4 to 7 (files.cpp, shortcuts.cpp, finish.cpp).
    static int FilesPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int ShortcutsPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int AdvertPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int FinishPage(SETUPDIALOG* frame, DATADIALOG* page);

    // Install mode from the installed version (null: nothing installed) and the
    // one being installed: "2" update, "1" same version, else the current mode.
    // Tells which of the options 222 and 223 stay enabled.
    static STRING DecideMode(const STRING& installedpath, const STRING& installedversion,
                             const STRING& version, const STRING& mode, BOOL* enable222, BOOL* enable223);
    // First line of WelcomeMsg (carriage returns count as line ends).
    static STRING FirstLine(const STRING& text);
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
    static const char* Publisher;
    static const char* PublisherUrl;

    // Shortcuts page (shortcuts.cpp).
    // Desktop shortcut offered by the shortcuts page: the last StartmenuOpts entry
    // whose target starts with "*", as "title;#target;arguments" (no icon).
    // Returns the desktop setting (DesktopIcon, default 1; 0 without such an entry).
    static int DesktopCandidate(const STRING& opts, const STRING& desktopicon, STRING& entry);
    // The shortcuts as the page's choices say (program group named groupname
    // in the user's or the all-users menu, the offered desktop shortcut), and
    // their record in the uninstall entry.
    static void MakeShortcuts(const STRING& groupname, BOOL startmenu, BOOL common, BOOL desktop);

    // The file installation without the page (files.cpp): the same steps, no
    // question asked (the default is taken and logged), what was installed
    // undone on a failure. The adapter's failure (UNZIPPER::FAILURE), 0 when installed.
    static int InstallFilesUnattended(PROGRESSBAR* bar);
};
