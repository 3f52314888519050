// Message boxes.
#include "brisel/winmisc.h"
#include "brisel/app.h"
#include "brisel/osys.h"
#include "brisel/strings.h"

static int MessageShow(HWND owner, const char* caption, const char* text, UINT style)
{
    STRING fallback;
    if (!caption) {
        fallback = OSYS::GetStringFromResource(10001, APP::ResourceModule());
        caption = fallback.Str();
    }
    return MessageBoxA(owner, text ? text : "", caption, style | MB_SETFOREGROUND);
}

void MessageInfo(HWND owner, const char* caption, const char* text)
{
    MessageShow(owner, caption, text, MB_OK | MB_ICONINFORMATION);
}

void MessageError(HWND owner, const char* caption, const char* text)
{
    MessageShow(owner, caption, text, MB_OK | MB_ICONERROR);
}

BOOL MessageYesNo(HWND owner, const char* caption, const char* text)
{
    return MessageShow(owner, caption, text, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// ---------------------------------------------------------------- shell dialogs

#include "brisel/osysfile.h"
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <string>

STRING SaveFileDialog(HWND owner, const char* title, const char* initial, const char* filter)
{
    STRING lines(filter ? filter : (APP::Language() == 7 ? "\nAlle Dateien|*.*" : "\nAll Files|*.*"));
    // Dialog filter: "description (pattern)" NUL pattern NUL ..., NUL.
    std::string filters;
    for (int i = 0;; i++) {
        STRING line = lines.Word(i, "\n");
        if (line.IsNull())
            break;
        if (i == 0 && line.Len() > 0 && line[0] == '.')
            continue;
        STRING desc = line.Word(0, "|"), pattern = line.Word(1, "|", 0x10000);
        if (desc.IsNull() || desc.Len() == 0)
            continue;
        filters.append(desc.Str()).append(" (").append(pattern.Str()).append(")");
        filters.push_back('\0');
        filters.append(pattern.Str());
        filters.push_back('\0');
    }
    filters.push_back('\0');

    std::string folder, name;
    std::string init = initial ? initial : "";
    if (!init.empty() && IsDirectory(init.c_str()))
        folder = init;
    else {
        size_t bs = init.rfind('\\');
        if (bs == std::string::npos) {
            folder.assign(1, '.');
            name = init;
        } else {
            folder = init.substr(0, bs);
            name = init.substr(bs + 1);
        }
    }
    // The chosen path is sized to the path: a long folder must not be cut.
    std::string file(32768, '\0');
    name.copy(&file[0], file.size() - 1);

    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof(ofn));
    ofn.lStructSize = OSYS::WindowsVersion() == 2 ? sizeof(ofn) : OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filters.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = &file[0];
    ofn.nMaxFile = (DWORD)file.size();
    ofn.lpstrInitialDir = folder.c_str();
    ofn.lpstrTitle = title;
    ofn.Flags = OFN_EXPLORER | OFN_LONGNAMES | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameA(&ofn))
        return STRING();
    STRING chosen(file.c_str());
    if (chosen.Len() > 0 && chosen[chosen.Len() - 1] == '.')
        chosen.Truncate(chosen.Len() - 1);
    return chosen;
}

static int CALLBACK BrowseCallback(HWND hwnd, UINT message, LPARAM lparam, LPARAM data)
{
    (void)lparam;
    if (message == BFFM_INITIALIZED && data)
        SendMessageA(hwnd, BFFM_SETSELECTIONA, TRUE, data);
    if (message == BFFM_VALIDATEFAILEDA)
        return 1;   // an invalid name keeps the browser open
    return 0;
}

STRING ChooseFolder(HWND owner, const char* title, const char* start)
{
    HRESULT com = CoInitialize(NULL);
    // The browser opens at the folder given, or at the nearest one that exists.
    STRING at = ExistingFolder(start);
    BROWSEINFOA bi;
    memset(&bi, 0, sizeof(bi));
    bi.hwndOwner = owner;
    bi.lpszTitle = title ? title : "";
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_VALIDATE;
    bi.lpfn = BrowseCallback;
    bi.lParam = at.IsNull() ? 0 : (LPARAM)at.Str();
    STRING chosen;
    LPITEMIDLIST pidl = SHBrowseForFolderA(&bi);
    if (pidl) {
        char path[MAX_PATH] = "";
        if (SHGetPathFromIDListA(pidl, path)) {
            size_t n = strlen(path);
            if (n > 0 && path[n - 1] == '\\')
                path[n - 1] = 0;
            chosen = path;
        }
        CoTaskMemFree(pidl);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return chosen;
}

STRING BrowseForFolder(INT_PTR id, HWND owner, STRING value)
{
    STRING title = value.Word(0, "|", 0x10000);
    char current[MAX_PATH] = "";
    GetDlgItemTextA(owner, (int)id, current, sizeof(current));
    STRING chosen = ChooseFolder(owner, title, current);
    if (!chosen.IsNull())
        SetDlgItemTextA(owner, (int)id, chosen);
    return value;
}

STRING OpenDocument(INT_PTR id, HWND owner, STRING value)
{
    (void)id;
    STRING dir = CurrentDirectory();
    ShellExecuteA(owner, "open", value.Str(), NULL, dir.Str(), SW_SHOWNORMAL);
    return value;
}
