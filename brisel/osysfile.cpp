// File-system services and program start.
#include "brisel/osysfile.h"
#include "brisel/halvo.h"
#include "brisel/stringarray.h"
#include <io.h>
#include <cstdlib>
#include <cstring>

static BOOL IsSeparator(char c)
{
    return c == '\\' || c == '/' || c == ':';
}

// Position of the last "/", ":" or "\" in path, or -1.
static int LastSeparator(const char* path)
{
    int last = -1;
    for (int i = 0; path[i]; i++)
        if (IsSeparator(path[i]))
            last = i;
    return last;
}

FILENAME::FILENAME(const char* path)
    : STRING(path)
{
}

FILENAME::FILENAME(const char* directory, const char* name)
    : STRING(directory && *directory ? STRING(directory) : CurrentDirectory())
{
    if (Len() == 0 || (*this)[Len() - 1] != '\\')
        Append("\\", 1);
    Append(name ? name : "");
}

BOOL FILENAME::FileExists() const { return ::FileExists(Str()); }
BOOL FILENAME::IsDirectory() const { return ::IsDirectory(Str()); }

BOOL FileExists(const char* path)
{
    return path && _access(path, 0) == 0;
}

BOOL IsDirectory(const char* path)
{
    if (!path)
        return FALSE;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

STRING DirectoryPart(const char* path)
{
    if (!path)
        return STRING(".");
    int last = LastSeparator(path);
    if (last < 0)
        return STRING(".");
    return STRING(path).Left(last);
}

STRING NamePart(const char* path)
{
    if (!path)
        return STRING();
    return STRING(path + LastSeparator(path) + 1);
}

STRING DirectoryOf(const char* path)
{
    // Drive and folder as _splitpath gives them, without its fixed-size areas.
    if (!path)
        path = "";
    STRING drive;
    const char* rest = path;
    if (path[0] && path[1] == ':') {
        drive = STRING(path).Left(2);
        rest = path + 2;
    }
    int last = -1;
    for (int i = 0; rest[i]; i++)
        if (rest[i] == '\\' || rest[i] == '/')
            last = i;
    if (drive.IsNull() && last < 0)
        return CurrentDirectory();
    if (drive.IsNull())
        drive = CurrentDirectory().Left(2);
    STRING result = drive;
    if (last >= 0)
        result.Append(rest, last + 1);
    int n = result.Len();
    if (n > 3 && (result[n - 1] == '\\' || result[n - 1] == '/'))
        result.Truncate(n - 1);
    return result;
}

STRING CurrentDirectory()
{
    DWORD size = GetCurrentDirectoryA(0, NULL);
    for (int tries = 0; size > 0 && tries < 3; tries++) {
        char* buf = (char*)malloc(size + 1);
        if (!buf)
            return STRING();
        DWORD n = GetCurrentDirectoryA(size + 1, buf);
        if (n > 0 && n <= size) {
            STRING dir(buf);
            free(buf);
            return dir;
        }
        free(buf);
        size = n;                   // it changed meanwhile: try with the new size
    }
    return STRING();
}

BOOL CreateDirectoryTree(const char* path)
{
    if (!path || !*path)
        return FALSE;
    STRING all(path);
    STRING prefix;
    for (int i = 0;; i++) {
        STRING part = all.Word(i, "\\");
        if (part.IsNull())
            break;
        if (i > 0)
            prefix.Append("\\", 1);
        prefix.Append(part);
        if (prefix.Len() > 0 && !IsDirectory(prefix.Str()))
            CreateDirectoryA(prefix.Str(), NULL);
    }
    return IsDirectory(path);
}

STRING ExistingFolder(const char* path)
{
    STRING p(path ? path : "");
    // A share ("\\server\share") is as far up as a network path goes.
    int floor = -1;
    if (p.Len() > 2 && p[0] == '\\' && p[1] == '\\')
        for (int i = 2; i < p.Len() && floor < 0; i++)
            if (p[i] == '\\')
                floor = i;
    while (p.Len() > 0) {
        if (IsDirectory(p.Str()))
            return p;
        int last = -1;
        for (int i = 0; i < p.Len(); i++)
            if (p[i] == '\\' || p[i] == '/')
                last = i;
        if (last < 0 || last <= floor)
            break;
        if (last == 2 && p[1] == ':') {
            if (p.Len() == 3)
                break;              // the drive root itself is missing
            p.Truncate(3);
        } else {
            p.Truncate(last);
        }
    }
    return STRING();
}

static const char UniqueChars[] = "0123456789abcdefghijklmnopqrstuvwxyz";

STRING CreateUniqueFolder(const char* parent, const char* prefix)
{
    if (!parent || !*parent)
        return STRING();
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16) ^ (GetCurrentThreadId() << 8);
    for (int attempt = 0; attempt < 100; attempt++) {
        STRING name(prefix ? prefix : "");
        for (int i = 0; i < 8; i++) {
            seed = seed * 1103515245 + 12345 + attempt;
            char c = UniqueChars[(seed >> 16) % 36];
            name.Append(&c, 1);
        }
        FILENAME candidate(parent, name.Str());
        if (CreateDirectoryA(candidate.Str(), NULL))
            return candidate;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return STRING();
}

BOOL DeletePath(const char* path)
{
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return FALSE;
    BOOL folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    BOOL done = folder ? RemoveDirectoryA(path) : DeleteFileA(path);
    if (done || !(attributes & FILE_ATTRIBUTE_READONLY))
        return done;
    SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    done = folder ? RemoveDirectoryA(path) : DeleteFileA(path);
    if (!done) {
        DWORD error = GetLastError();
        SetFileAttributesA(path, attributes);
        SetLastError(error);
    }
    return done;
}

FINDFILE::FINDFILE(const char* pattern, STRING& name)
    : hFind(INVALID_HANDLE_VALUE), Name(name)
{
    memset(&Result, 0, sizeof Result);
    if (pattern)
        hFind = FindFirstFileA(pattern, &Result);
    if (hFind == INVALID_HANDLE_VALUE)
        Name.Clear();
    else
        Name = Result.cFileName;
}

FINDFILE::~FINDFILE()
{
    if (hFind != INVALID_HANDLE_VALUE)
        FindClose(hFind);
}

BOOL FINDFILE::Next()
{
    if (hFind != INVALID_HANDLE_VALUE && FindNextFileA(hFind, &Result)) {
        Name = Result.cFileName;
        return TRUE;
    }
    Name.Clear();
    return FALSE;
}

DWORD FINDFILE::Attributes() const
{
    return hFind != INVALID_HANDLE_VALUE ? Result.dwFileAttributes : 0;
}

int ListFiles(const char* dir, const char* pattern, STRINGARRAY* list, BOOL recurse)
{
    int count = 0;
    FILENAME search(dir, pattern);
    STRING name;
    FINDFILE find(search.Str(), name);
    for (; !name.IsNull(); find.Next()) {
        FILENAME full(dir, name.Str());
        DWORD attributes = find.Attributes();
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!recurse || name[0] == '.')
                continue;
            // A link to a folder elsewhere is listed but not entered, so that
            // deleting a tree never reaches outside it.
            if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                count += ListFiles(full.Str(), pattern, list, recurse);
            if (list)
                list->Add(full);
            count++;
        } else {
            if (list)
                list->Add(full);
            count++;
        }
    }
    return count;
}

BOOL CopyTree(const char* from, const char* to, const char* pattern, BOOL recurse, BOOL failifexists)
{
    STRING source0 = from && *from ? STRING(from) : CurrentDirectory();
    STRINGARRAY list;
    ListFiles(source0.Str(), pattern, &list, recurse);
    list.Add(source0);
    int fl = source0.Len();
    BOOL ok = TRUE;
    for (int i = list.Count() - 1; i >= 0; i--) {
        STRING source = *list.Get(i);
        BOOL inside = source.Left(fl) == source0;
        Assert(inside, "source.Left(fl)==from", __FILE__, __LINE__, source.Str(), FALSE);
        if (!inside) {
            ok = FALSE;
            continue;
        }
        // The part below "from", joined to "to" with exactly one backslash.
        STRING rest = source.Mid(fl, -1);
        rest.Strip('L', "\\/");
        STRING target = rest.Len() > 0 ? STRING(FILENAME(to, rest.Str())) : STRING(to);
        if (IsDirectory(source.Str())) {
            CreateDirectoryTree(target.Str());
        } else if (!CopyFileA(source.Str(), target.Str(), failifexists)) {
            Logit("CopyTree: %s to %s failed, error=%lu\n", source.Str(), target.Str(), GetLastError());
            ok = FALSE;
        }
    }
    return ok;
}

int DeleteTree(const char* dir, const char* pattern, BOOL recurse)
{
    // Without a folder the search would run in the current directory.
    if (!dir || !*dir) {
        Logit("DeleteTree: no folder given, nothing deleted\n");
        return 0;
    }
    STRINGARRAY list;
    ListFiles(dir, pattern, &list, recurse);
    list.Add(STRING(dir));
    for (int i = 0; i < list.Count();) {
        const char* path = list.Get(i)->Str();
        if (FileExists(path) && !IsDirectory(path)) {
            DeleteFileA(path);
            list.Delete(i);
        } else {
            i++;
        }
    }
    for (int i = 0; i < list.Count(); i++)
        RemoveDirectoryA(list.Get(i)->Str());
    return list.Count();
}

int StartProgram(const char* program, const char* arguments, const char* directory,
                 const char* title, BOOL wait)
{
    if (!program)
        return 0;
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (program[0] == '*') {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
        program++;
    }
    si.lpTitle = const_cast<char*>(title);
    Logit("START PROGRAM: %s %s\n", program, arguments ? arguments : "");

    STRING commandline;
    if (arguments && *arguments)
        commandline = program[0] == '"' ? STRING(program) || " " || arguments
                                        : "\"" || (STRING(program) || "\" ") || arguments;
    else
        commandline = program;

    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof pi);
    int rc = CreateProcessA(NULL, const_cast<char*>(commandline.Str()), NULL, NULL, FALSE, 0, NULL,
                            directory && *directory ? directory : NULL, &si, &pi);
    Logit("START PROGRAM: rc= %d\n", rc);
    if (rc) {
        if (wait) {
            WaitForSingleObject(pi.hProcess, INFINITE);
            rc = 1;
        }
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    Logit("START PROGRAM: return\n");
    return rc;
}
