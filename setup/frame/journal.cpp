// Failed writes and the undo record of an install run.
#include "setup/frame/journal.h"
#include "setup/frame/installlog.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/winmisc.h"

// ---------------------------------------------------------------- FAILURES

BOOL FAILURES::Missing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

void FAILURES::Add(const char* what, DWORD error)
{
    Logit("SETUP: %s failed, error=%lu %s\n", what ? what : "", (unsigned long)error,
          OSYS::ErrorText((int)error).Str());
    INSTALLLOG::Failure(what, error);
    // Each once, however often it was tried.
    STRING item(what ? what : "");
    for (int i = 0; i < Items.Count(); i++)
        if (*Items.Get(i) == item)
            return;
    Items.Add(item);
}

int FAILURES::Count()
{
    return Items.Count();
}

void FAILURES::Clear()
{
    Items = STRINGARRAY();
}

BOOL FAILURES::Delete(const char* path)
{
    if (DeletePath(path)) {
        INSTALLLOG::Line("Removed: %s", path);
        return TRUE;
    }
    DWORD error = GetLastError();
    if (Missing(error))
        return TRUE;
    if (error != ERROR_DIR_NOT_EMPTY)
        Add(path, error);
    return FALSE;
}

// A long path keeps its start and its end.
static STRING Shortened(const STRING& text)
{
    const int most = 100;
    if (text.Len() <= most)
        return text;
    return text.Left(40) || "..." || text.Right(most - 43);
}

STRING FAILURES::Text(const char* heading, const char* more, int shown)
{
    STRING text(heading ? heading : "");
    text.Append("\n");
    int n = Count();
    for (int i = 0; i < n && i < shown; i++) {
        text.Append("\n");
        text.Append(Shortened(*Items.Get(i)));
    }
    if (n > shown) {
        char count[16];
        wsprintfA(count, "%d", n - shown);
        STRING rest(more ? more : "");
        rest.Replace("$COUNT", count, TRUE);
        text.Append("\n");
        text.Append(rest);
    }
    return text;
}

void FAILURES::Show(HWND owner, const char* caption, const char* heading)
{
    if (Count() == 0)
        return;
    STRING more = OSYS::GetStringFromResource(IDS_FAILMORE, APP::ResourceModule());
    MessageError(owner, caption, Text(heading, more));
}

// ---------------------------------------------------------------- JOURNAL

JOURNAL::JOURNAL() : Copies(0), KeyKept(FALSE), KeyRoot(NULL)
{
}

BOOL JOURNAL::CreateFolder(const char* path)
{
    STRING all(path ? path : "");
    all.Replace("/", "\\", TRUE);
    if (all.Len() == 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    // Files of an archive share few folders: each is looked at once.
    if (Folders.count(all.Str()))
        return TRUE;
    if (IsDirectory(all)) {
        Folders.insert(all.Str());
        return TRUE;
    }
    // Every level below the first existing one, top down.
    STRING existing = ExistingFolder(all);
    int from = existing.IsNull() ? 0 : existing.Len();
    for (int i = from + 1; i <= all.Len(); i++) {
        if (i < all.Len() && all[i] != '\\')
            continue;
        STRING level = all.Left(i);
        if (level.Len() == 0 || level[level.Len() - 1] == '\\' || IsDirectory(level))
            continue;
        if (!CreateDirectoryA(level, NULL)) {
            DWORD error = GetLastError();
            Logit("JOURNAL: folder %s not created, error=%lu\n", level.Str(), (unsigned long)error);
            SetLastError(error);
            return FALSE;
        }
        Entries.push_back({'D', level, STRING(), 0});
        INSTALLLOG::Folder(level);
    }
    Folders.insert(all.Str());
    return TRUE;
}

STRING JOURNAL::KeepCopy(const char* path)
{
    if (Folder.IsNull()) {
        char temp[MAX_PATH + 1] = "";
        DWORD n = GetTempPathA(sizeof temp, temp);
        if (n > 0 && n < sizeof temp)
            Folder = CreateUniqueFolder(temp, "HalvoSetup-");
        if (Folder.IsNull())
            return STRING();
    }
    char name[16];
    wsprintfA(name, "%05d", ++Copies);
    FILENAME copy(Folder, name);
    if (!CopyFileA(path, copy, TRUE)) {
        Logit("JOURNAL: no copy of %s, error=%lu\n", path, (unsigned long)GetLastError());
        return STRING();
    }
    return copy;
}

BOOL JOURNAL::BeforeWrite(const char* path, BOOL look)
{
    STRING file(path ? path : "");
    file.Replace("/", "\\", TRUE);
    DWORD attributes = look ? GetFileAttributesA(file) : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return TRUE;        // a folder in the way: the write fails, and the folder is not ours
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // Replaced: put back from the copy if the install is undone.
        Entries.push_back({'R', file, KeepCopy(file), attributes});
        return TRUE;
    }
    if (!CreateFolder(DirectoryPart(file)))
        return FALSE;
    Entries.push_back({'F', file, STRING(), 0});
    return TRUE;
}

static STRING KeyName(HKEY root, const char* path)
{
    return STRING(root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER\\" : "HKEY_LOCAL_MACHINE\\") || path;
}

void JOURNAL::RememberKey(HKEY root, const char* path)
{
    if (KeyKept)
        return;
    KeyKept = TRUE;
    KeyRoot = root;
    KeyPath = path;
    Values.clear();
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD longestname = 0, longestdata = 0;
    RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, NULL, &longestname, &longestdata, NULL, NULL);
    std::string name(longestname + 1, '\0');
    std::string data(longestdata + 1, '\0');
    for (DWORD i = 0;; i++) {
        DWORD namelen = (DWORD)name.size(), datalen = (DWORD)data.size(), type = 0;
        if (RegEnumValueA(key, i, &name[0], &namelen, NULL, &type, (BYTE*)&data[0], &datalen) != ERROR_SUCCESS)
            break;
        Values.push_back({STRING(name.c_str()), type, data.substr(0, datalen)});
    }
    RegCloseKey(key);
}

void JOURNAL::RestoreKey(FAILURES& failures)
{
    if (!KeyKept)
        return;
    HKEY key;
    LONG rc = RegCreateKeyExA(KeyRoot, KeyPath, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    if (rc != ERROR_SUCCESS) {
        failures.Add(KeyName(KeyRoot, KeyPath), (DWORD)rc);
        return;
    }
    // Whatever this run wrote goes; what was there before comes back.
    STRINGARRAY names;
    char name[16384];
    for (DWORD i = 0;; i++) {
        DWORD len = sizeof name;
        if (RegEnumValueA(key, i, name, &len, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        names.Add(STRING(name));
    }
    for (int i = 0; i < names.Count(); i++) {
        rc = RegDeleteValueA(key, *names.Get(i));
        if (rc != ERROR_SUCCESS && !FAILURES::Missing((DWORD)rc))
            failures.Add(KeyName(KeyRoot, KeyPath) || "\\" || *names.Get(i), (DWORD)rc);
    }
    for (const VALUE& v : Values) {
        rc = RegSetValueExA(key, v.Name, 0, v.Type, (const BYTE*)v.Data.data(), (DWORD)v.Data.size());
        if (rc != ERROR_SUCCESS)
            failures.Add(KeyName(KeyRoot, KeyPath) || "\\" || v.Name, (DWORD)rc);
    }
    RegCloseKey(key);
}

void JOURNAL::Undo(FAILURES& failures)
{
    Logit("JOURNAL: undoing %d changes\n", (int)Entries.size());
    for (size_t i = Entries.size(); i-- > 0;) {
        const ENTRY& e = Entries[i];
        if (e.Kind == 'R') {
            if (e.Copy.IsNull())
                continue;       // nothing to put back
            SetFileAttributesA(e.Path, FILE_ATTRIBUTE_NORMAL);
            if (CopyFileA(e.Copy, e.Path, FALSE))
                SetFileAttributesA(e.Path, e.Attributes);
            else
                failures.Add(e.Path, GetLastError());
        } else if (e.Kind == 'F' && IsDirectory(e.Path)) {
            // A folder stood where the file was to go (the write failed): not ours.
            continue;
        } else {
            failures.Delete(e.Path);
        }
    }
    Entries.clear();
    Folders.clear();
    RestoreKey(failures);
    KeyKept = FALSE;
    Values.clear();
}

void JOURNAL::Clear()
{
    Entries.clear();
    Folders.clear();
    Values.clear();
    KeyKept = FALSE;
    if (!Folder.IsNull())
        RemoveTree(Folder, NULL);
    Folder = STRING();
    Copies = 0;
}

int JOURNAL::RemoveTree(const char* dir, FAILURES* failures)
{
    if (!dir || !*dir)
        return 0;
    STRINGARRAY list;
    ListFiles(dir, "*.*", &list, TRUE);
    list.Add(STRING(dir));
    int left = 0;
    // Every folder comes after what is inside it.
    for (int i = 0; i < list.Count(); i++) {
        const char* path = list.Get(i)->Str();
        if (DeletePath(path))
            continue;
        DWORD error = GetLastError();
        if (FAILURES::Missing(error))
            continue;
        left++;
        if (failures && error != ERROR_DIR_NOT_EMPTY)
            failures->Add(path, error);
    }
    return left;
}
