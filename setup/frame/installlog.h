// The install log: a plain list, one line each with its time, of what an
// install or removal did (destination, files, folders, registry values,
// shortcuts, defaults taken for the questions, failures with the system's
// error text, the result), for the administrator who asked for it with
// /INSTALLLOG:"file". Nothing is written unless the log is open. The debug
// trace (/LOGIT) is another thing and stays as it is.
#pragma once
#include <windows.h>

class INSTALLLOG
{
public:
    // Opens (or creates) the file and appends to it; FALSE when it cannot.
    static BOOL Open(const char* path);
    static void Close();
    static BOOL IsOpen();
    // One line: "YYYY-MM-DD HH:MM:SS " + text, written at once. Safe from any thread.
    static void Line(const char* format, ...);

    // The common lines.
    static void Folder(const char* path);
    // A file the install made: installed (new), replaced, or kept (why says why).
    static void File(const char* path, BOOL existed, BOOL written, const char* why = NULL);
    static void Value(const char* key, const char* name, const char* value);
    static void Shortcut(const char* path);
    static void Failure(const char* what, DWORD error);
    // A question the wizard would have asked, and the answer taken without asking.
    static void Default(const char* question, const char* answer);
};
