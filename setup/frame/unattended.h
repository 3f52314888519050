// Unattended install and removal, for administrators who deploy the product:
// the switches that drive them, the exit codes they end with, the box that
// lists the switches, and the lock that lets one setup of a product run at a
// time. A silent run walks the same install steps as the wizard; where the
// wizard would ask, it takes the documented default and says so in the
// install log.
#pragma once
#include <windows.h>
#include <cstdint>
#include "brisel/strings.h"

// Exit codes of a silent run; stable, listed in the README.
enum SILENTEXIT
{
    EXIT_DONE = 0,              // installed or removed
    EXIT_REFUSED = 1,           // cancelled, or the licence not accepted
    EXIT_BADCOMMANDLINE = 2,
    EXIT_NOSETTINGS = 3,        // setup.cfg (for a removal: the uninstall record) missing or unreadable
    EXIT_BADDESTINATION = 4,
    EXIT_BADPAYLOAD = 5,        // setup.fil or custom.fil missing or damaged
    EXIT_NOTWRITTEN = 6,        // files or settings could not be written (the install log lists them)
    EXIT_RUNNING = 7,           // another setup of the same product is running
};

class UNATTENDED
{
public:
    // The switches, as ReadSwitches found them.
    static BOOL Silent;         // /SILENT
    static BOOL Progress;       // /PROGRESS: a small progress window, nothing else
    static BOOL AcceptLicence;  // /ACCEPTLICENCE or /ACCEPTLICENSE
    static BOOL NoShortcuts;    // /NOSHORTCUTS
    static BOOL RemoveAll;      // /REMOVEALL: a removal takes the user's data too
    static int Desktop;         // /DESKTOP 1, /NODESKTOP 0, else -1 (as the wizard presets it)
    static int AllUsers;        // /ALLUSERS 1, /CURRENTUSER 0, else -1
    static STRING Dir;          // /DIR:"folder", null when not given
    static STRING Group;        // /GROUP:"name", null when not given
    static STRING LogFile;      // /INSTALLLOG:"file", null when not given

    // Reads the switches. FALSE when the command line cannot be carried out
    // (a value missing, switches that contradict each other, one of ours
    // misspelt); why tells what.
    static BOOL ReadSwitches(STRING& why);
    // A switch matched whole: "/NAME", "/NAME:value", or "-NAME" followed by
    // its value. TRUE when given; the value is empty when there is none.
    static BOOL Switch(const char* name, STRING* value = NULL);
    // The key name of REMOVE; "/REMOVEALL" is never taken for it.
    static STRING RemoveKey();
    // The switches a removal passes on to its copy in the temporary folder.
    static STRING Forwarded();

    // The box that lists the switches, in the user's language.
    static void ShowHelp();
    // Logs a LANG value that names no language module.
    static void CheckLanguage();

    // One setup of a product at a time: TRUE when this process now holds the
    // product's lock (waiting up to wait ms for it). An interactive run is
    // told in a box when another one holds it.
    static BOOL Lock(const char* key, DWORD wait, const char* product);
    static void Unlock();

    // The default of the question whether to replace an existing file: the
    // newer one stays. TRUE when the archive's (DOS date and time) is not
    // older than the file there. The answer goes to the install log.
    static BOOL ReplaceOlder(uint32_t dostime, const char* file, const char* question);

    // The silent install; returns its exit code.
    static int Install();
    // The result line of the install log; returns code.
    static int Result(int code);
    // Starts program with arguments in folder, waits for it and returns its
    // exit code (EXIT_NOTWRITTEN when it cannot be started).
    static int RunAndWait(const char* program, const char* arguments, const char* folder);
};
