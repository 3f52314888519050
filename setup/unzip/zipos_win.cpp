// The engine's operating-system interface on Windows (the product).
#include "zipos.h"
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>

namespace unz {

namespace {

const ULONGLONG EPOCH_DIFF = 116444736000000000ULL;   // 1601 to 1970 in 100 ns

int64_t FromFileTime(const FILETIME& ft)
{
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    return (int64_t)((LONGLONG)(u.QuadPart - EPOCH_DIFF) / 10000000LL);
}

FILETIME ToFileTime(int64_t t)
{
    ULARGE_INTEGER u;
    u.QuadPart = (ULONGLONG)(t * 10000000LL) + EPOCH_DIFF;
    FILETIME ft;
    ft.dwLowDateTime = u.LowPart;
    ft.dwHighDateTime = u.HighPart;
    return ft;
}

std::string VolumeRoot(const char* path)
{
    char full[MAX_PATH * 2];
    char root[MAX_PATH * 2];
    DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full || !GetVolumePathNameA(full, root, sizeof root))
        return std::string();
    return root;
}

class WINOS : public ZIPOS {
public:
    ZIPHANDLE OpenRead(const char* path) override
    {
        HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        return h == INVALID_HANDLE_VALUE ? ZIP_NOHANDLE : (ZIPHANDLE)h;
    }
    ZIPHANDLE Create(const char* path) override
    {
        HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
            // a hidden or system file refuses CREATE_ALWAYS with other attributes
            DWORD a = GetFileAttributesA(path);
            if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) && SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL))
                h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        }
        return h == INVALID_HANDLE_VALUE ? ZIP_NOHANDLE : (ZIPHANDLE)h;
    }
    int64_t FileSize(ZIPHANDLE h) override
    {
        LARGE_INTEGER li;
        return GetFileSizeEx((HANDLE)h, &li) ? (int64_t)li.QuadPart : -1;
    }
    bool Seek(ZIPHANDLE h, int64_t pos) override
    {
        LARGE_INTEGER li;
        li.QuadPart = pos;
        return SetFilePointerEx((HANDLE)h, li, nullptr, FILE_BEGIN) != 0;
    }
    long Read(ZIPHANDLE h, void* buf, size_t n) override
    {
        DWORD got = 0;
        if (!ReadFile((HANDLE)h, buf, (DWORD)n, &got, nullptr))
            return -1;
        return (long)got;
    }
    long Write(ZIPHANDLE h, const void* buf, size_t n) override
    {
        DWORD put = 0;
        if (!WriteFile((HANDLE)h, buf, (DWORD)n, &put, nullptr))
            return (long)put;
        return (long)put;
    }
    void Close(ZIPHANDLE h) override
    {
        if (h != ZIP_NOHANDLE)
            CloseHandle((HANDLE)h);
    }
    PATHKIND Query(const char* path, PATHINFO* info) override
    {
        WIN32_FILE_ATTRIBUTE_DATA fa;
        if (!GetFileAttributesExA(path, GetFileExInfoStandard, &fa))
            return PATH_NONE;
        PATHKIND k = (fa.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PATH_DIR : PATH_FILE;
        if (info) {
            info->kind = k;
            info->mtime = FromFileTime(fa.ftLastWriteTime);
            info->readOnly = (fa.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        }
        return k;
    }
    bool MakeDir(const char* path) override { return CreateDirectoryA(path, nullptr) != 0; }
    bool MakeWritable(const char* path) override
    {
        DWORD a = GetFileAttributesA(path);
        return a != INVALID_FILE_ATTRIBUTES && SetFileAttributesA(path, a & ~FILE_ATTRIBUTE_READONLY);
    }
    int DosToUtc(uint32_t dt, int64_t& utc, unsigned& err) override
    {
        FILETIME local;
        if (!DosDateTimeToFileTime((WORD)(dt >> 16), (WORD)(dt & 0xffff), &local)) {
            err = GetLastError();
            return DOSTIME_BADDATE;
        }
        // The zone's rule on the member's own date, not today's offset.
        SYSTEMTIME st, ust;
        FILETIME ft;
        if (!FileTimeToSystemTime(&local, &st) || !TzSpecificLocalTimeToSystemTime(nullptr, &st, &ust) ||
            !SystemTimeToFileTime(&ust, &ft)) {
            err = GetLastError();
            utc = FromFileTime(local);
            return DOSTIME_NOUTC;
        }
        utc = FromFileTime(ft);
        return DOSTIME_OK;
    }
    bool SetTime(ZIPHANDLE h, int64_t utc, unsigned& err) override
    {
        FILETIME ft = ToFileTime(utc);
        if (::SetFileTime((HANDLE)h, nullptr, nullptr, &ft))
            return true;
        err = GetLastError();
        return false;
    }
    bool SetAttributes(ZIPHANDLE h, unsigned attr, unsigned& err) override
    {
        FILE_BASIC_INFO info = {};     // times of zero stay as they are
        info.FileAttributes = attr ? attr : FILE_ATTRIBUTE_NORMAL;
        if (SetFileInformationByHandle((HANDLE)h, FileBasicInfo, &info, sizeof info))
            return true;
        err = GetLastError();
        return false;
    }
    std::string VolumeFsName(const char* path) override
    {
        std::string root = VolumeRoot(path);
        char fs[MAX_PATH + 1] = "";
        if (root.empty() || !GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fs, sizeof fs))
            return std::string();
        return fs;
    }
    bool NameValid(const char* dir, const char* name) override
    {
        (void)dir;
        size_t n = strlen(name);
        if (n == 0 || n > 255)
            return false;
        for (const char* p = name; *p; ++p)
            if ((unsigned char)*p < 0x20 || strchr("<>:\"/\\|?*", *p))
                return false;
        return true;
    }
    bool ListDir(const char* dir, std::vector<std::string>& names) override
    {
        std::string pattern = std::string(dir) + "/*";
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        do
            names.push_back(fd.cFileName);
        while (FindNextFileA(h, &fd));
        FindClose(h);
        return true;
    }
    // The system's own resolution of the name, as CreateFileA will see it.
    std::string FullPath(const char* path) override
    {
        int n = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
        if (n <= 1)
            return std::string();
        std::wstring wide((size_t)n, L'\0');
        MultiByteToWideChar(CP_ACP, 0, path, -1, &wide[0], n);
        DWORD len = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
        if (len == 0)
            return std::string();
        std::wstring full(len, L'\0');
        len = GetFullPathNameW(wide.c_str(), len, &full[0], nullptr);
        if (len == 0 || len >= full.size())
            return std::string();
        int u = WideCharToMultiByte(CP_UTF8, 0, full.c_str(), (int)len, nullptr, 0, nullptr, nullptr);
        std::string out((size_t)u, '\0');
        WideCharToMultiByte(CP_UTF8, 0, full.c_str(), (int)len, &out[0], u, nullptr, nullptr);
        for (char& ch : out)
            if (ch == '\\')
                ch = '/';
        while (out.size() > 1 && out.back() == '/' && !(out.size() == 3 && out[1] == ':'))
            out.pop_back();
        return out;
    }
    bool IsRemovable(const char* path) override
    {
        std::string root = VolumeRoot(path);
        return !root.empty() && GetDriveTypeA(root.c_str()) == DRIVE_REMOVABLE;
    }
    bool SetLabel(const char* path, const char* label) override
    {
        std::string root = VolumeRoot(path);
        return !root.empty() && SetVolumeLabelA(root.c_str(), label);
    }
    void StdoutBinary() override
    {
        fflush(stdout);
        _setmode(_fileno(stdout), _O_BINARY);
    }
};

}  // namespace

ZIPOS& PlatformZipOs()
{
    static WINOS os;
    return os;
}

}  // namespace unz
