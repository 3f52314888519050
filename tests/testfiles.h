// Small file helpers shared by the Windows test programs.
#pragma once
#include <windows.h>
#include <cstdio>
#include <string>

namespace testfiles {

// Folder of the running test program (the build's bin folder).
inline std::string ProgramFolder()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof path);
    std::string p(path, n);
    return p.substr(0, p.find_last_of('\\'));
}

inline bool WriteText(const std::string& path, const std::string& text)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
    return true;
}

// The whole file, or "<missing>".
inline std::string ReadText(const std::string& path)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return "<missing>";
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    fclose(f);
    return text;
}

// Removes a folder with everything in it, read-only files included.
inline void RemoveTree(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string n = fd.cFileName, p = dir + "\\" + n;
            if (n == "." || n == "..")
                continue;
            SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(p);
            else
                DeleteFileA(p.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

// A fresh folder name under the temporary folder: prefix, process id, test name.
inline std::string TempFolder(const std::string& prefix, const std::string& name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + prefix + " " + std::to_string(GetCurrentProcessId()) + " " + name;
}

} // namespace testfiles
