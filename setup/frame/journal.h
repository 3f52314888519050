// What an install or uninstall changed and what it could not change: the
// writes that failed, for one box at the end, and the record from which a
// cancelled install is undone.
#pragma once
#include <windows.h>
#include <set>
#include <string>
#include <vector>
#include "brisel/strings.h"
#include "brisel/stringarray.h"

// Entries the box lists before it sums up the rest.
#define FAILURES_SHOWN 15

class FAILURES
{
public:
    // Logs a write that failed, with the system's error code and text, and
    // keeps what failed (a path or a registry value) for the box, once.
    void Add(const char* what, DWORD error);
    int Count();
    void Clear();
    // Deletes a file or an empty folder, a read-only one as well. Something
    // already gone, or a folder that still holds files, is no failure; anything
    // else is added. TRUE when it is gone.
    BOOL Delete(const char* path);
    // heading, then the first shown entries one a line, then more with
    // "$COUNT" replaced by the number of the others.
    STRING Text(const char* heading, const char* more, int shown = FAILURES_SHOWN);
    // The error box with that list; nothing when no write failed.
    void Show(HWND owner, const char* caption, const char* heading);
    // Errors that mean the file, folder, key or value is not there.
    static BOOL Missing(DWORD error);

private:
    STRINGARRAY Items;
};

// The undo record of one install run: files and folders it created, files it
// replaced (a copy of each kept in a private folder under the temporary
// folder) and the uninstall entry's values as they were before.
class JOURNAL
{
public:
    JOURNAL();
    JOURNAL(const JOURNAL&) = delete;
    JOURNAL& operator=(const JOURNAL&) = delete;

    // The values of the key as they are now; only the first call counts.
    void RememberKey(HKEY root, const char* path);
    // Creates the missing folders of path, recording each; TRUE when path is
    // a folder afterwards (the last error tells why not).
    BOOL CreateFolder(const char* path);
    // Before a file is written: its folder is made, an existing file copied
    // away. look FALSE: the caller knows that no file is there. FALSE when
    // the folder cannot be made.
    BOOL BeforeWrite(const char* path, BOOL look = TRUE);
    // Undoes the record, newest first; what cannot be undone goes to failures.
    void Undo(FAILURES& failures);
    BOOL Empty() const { return Entries.empty() && !KeyKept; }
    // Forgets the record and removes the private folder with the copies.
    void Clear();

    // Deletes a folder tree, read-only files and folders as well; what stays
    // goes to failures when given. Returns the number of entries left.
    static int RemoveTree(const char* dir, FAILURES* failures);

private:
    struct ENTRY
    {
        char Kind;          // 'F' file created, 'R' file replaced, 'D' folder created
        STRING Path;
        STRING Copy;        // 'R': the copy kept, null when none could be made
        DWORD Attributes;   // 'R': the file's attributes before
    };
    struct VALUE
    {
        STRING Name;
        DWORD Type;
        std::string Data;
    };
    std::vector<ENTRY> Entries;
    std::set<std::string> Folders;   // known to be there, made by this run or not
    STRING Folder;      // the private folder, made with the first copy
    int Copies;
    BOOL KeyKept;
    HKEY KeyRoot;
    STRING KeyPath;
    std::vector<VALUE> Values;

    STRING KeepCopy(const char* path);
    void RestoreKey(FAILURES& failures);
};
