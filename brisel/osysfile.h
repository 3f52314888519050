// File-system services: paths, folder queries, a file-find iterator, folder
// trees (list, copy, delete), and starting other programs.
#pragma once
#include <windows.h>
#include "brisel/strings.h"

class STRINGARRAY;

// A path, with the file queries on it.
class FILENAME : public STRING
{
public:
    explicit FILENAME(const char* path);
    // directory + "\" + name; the current directory when directory is null or empty.
    FILENAME(const char* directory, const char* name);
    BOOL FileExists() const;
    BOOL IsDirectory() const;
};

BOOL FileExists(const char* path);          // file or folder
BOOL IsDirectory(const char* path);
STRING DirectoryPart(const char* path);     // before the last "/", ":" or "\"; "." without one
STRING NamePart(const char* path);          // after the last "/", ":" or "\"
STRING DirectoryOf(const char* path);       // drive and folder of the path
STRING CurrentDirectory();
BOOL CreateDirectoryTree(const char* path); // TRUE when path is a folder afterwards
// The path itself when it is a folder, else its nearest existing parent folder;
// null when there is none (a missing drive or share).
STRING ExistingFolder(const char* path);
// Creates a new folder in parent named prefix and eight letters or digits;
// its path, or null when none could be created (last error kept).
STRING CreateUniqueFolder(const char* parent, const char* prefix);
// Deletes a file or an empty folder. A read-only attribute in the way is
// cleared first and set again when the deletion fails all the same; the last
// error tells why it failed.
BOOL DeletePath(const char* path);

// One search of a folder; the name of the current entry goes to the caller's
// STRING, which becomes null at the end.
class FINDFILE
{
public:
    FINDFILE(const char* pattern, STRING& name);
    ~FINDFILE();
    BOOL Next();
    DWORD Attributes() const;
    FINDFILE(const FINDFILE&) = delete;
    FINDFILE& operator=(const FINDFILE&) = delete;
private:
    HANDLE hFind;
    STRING& Name;
    WIN32_FIND_DATAA Result;
};

// Appends the matches in dir (folders after their contents when recursing) to
// list (when given); returns how many there are.
int ListFiles(const char* dir, const char* pattern, STRINGARRAY* list, BOOL recurse);
// TRUE when every file was copied.
BOOL CopyTree(const char* from, const char* to, const char* pattern, BOOL recurse, BOOL failifexists);
// Deletes the files and then the folders; returns the number of folders it tried.
int DeleteTree(const char* dir, const char* pattern, BOOL recurse);

// Starts a program ("*" in front: hidden), optionally waiting for its end;
// non-zero when it was started.
int StartProgram(const char* program, const char* arguments, const char* directory,
                 const char* title, BOOL wait);
