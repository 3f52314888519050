// The engine's operating-system interface on POSIX systems (native build).
#include "zipos.h"
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif

namespace unz {

namespace {

class POSIXOS : public ZIPOS {
public:
    ZIPHANDLE OpenRead(const char* path) override
    {
        int fd = open(path, O_RDONLY);
        return fd < 0 ? ZIP_NOHANDLE : (ZIPHANDLE)fd;
    }
    ZIPHANDLE Create(const char* path) override
    {
        // Never follow a link an earlier run or someone else left there.
        int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0666);
        return fd < 0 ? ZIP_NOHANDLE : (ZIPHANDLE)fd;
    }
    int64_t FileSize(ZIPHANDLE h) override
    {
        struct stat st;
        return fstat((int)h, &st) == 0 ? (int64_t)st.st_size : -1;
    }
    bool Seek(ZIPHANDLE h, int64_t pos) override { return lseek((int)h, (off_t)pos, SEEK_SET) == (off_t)pos; }
    long Read(ZIPHANDLE h, void* buf, size_t n) override
    {
        size_t done = 0;
        while (done < n) {
            ssize_t r = read((int)h, (char*)buf + done, n - done);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                return done ? (long)done : -1;
            if (r == 0)
                break;
            done += (size_t)r;
        }
        return (long)done;
    }
    long Write(ZIPHANDLE h, const void* buf, size_t n) override
    {
        size_t done = 0;
        while (done < n) {
            ssize_t r = write((int)h, (const char*)buf + done, n - done);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                break;
            done += (size_t)r;
        }
        return (long)done;
    }
    void Close(ZIPHANDLE h) override
    {
        if (h != ZIP_NOHANDLE)
            close((int)h);
    }
    PATHKIND Query(const char* path, PATHINFO* info) override
    {
        struct stat st;
        if (stat(path, &st) != 0)
            return PATH_NONE;
        PATHKIND k = S_ISDIR(st.st_mode) ? PATH_DIR : PATH_FILE;
        if (info) {
            info->kind = k;
            info->mtime = (int64_t)st.st_mtime;
            info->readOnly = (st.st_mode & S_IWUSR) == 0;
        }
        return k;
    }
    bool MakeDir(const char* path) override { return mkdir(path, 0777) == 0; }
    bool MakeWritable(const char* path) override
    {
        struct stat st;
        return stat(path, &st) == 0 && chmod(path, (st.st_mode & 07777) | S_IWUSR) == 0;
    }
    int DosToUtc(uint32_t dt, int64_t& utc, unsigned& err) override
    {
        unsigned date = dt >> 16, time = dt & 0xffff;
        struct tm tm = {};
        tm.tm_year = (int)((date >> 9) & 0x7f) + 80;
        tm.tm_mon = (int)((date >> 5) & 0x0f) - 1;
        tm.tm_mday = (int)(date & 0x1f);
        tm.tm_hour = (int)((time >> 11) & 0x1f);
        tm.tm_min = (int)((time >> 5) & 0x3f);
        tm.tm_sec = (int)(time & 0x1f) * 2;
        if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_hour > 23 || tm.tm_min > 59 ||
            tm.tm_sec > 59) {
            err = EINVAL;
            return DOSTIME_BADDATE;
        }
        struct tm local = tm;
        local.tm_isdst = -1;    // the zone's rule on that date decides
        time_t t = mktime(&local);
        if (t == (time_t)-1) {
            err = errno;
            utc = (int64_t)timegm(&tm);
            return DOSTIME_NOUTC;
        }
        utc = (int64_t)t;
        return DOSTIME_OK;
    }
    bool SetTime(ZIPHANDLE h, int64_t utc, unsigned& err) override
    {
        struct timespec ts[2];
        ts[0].tv_sec = ts[1].tv_sec = (time_t)utc;
        ts[0].tv_nsec = ts[1].tv_nsec = 0;
        if (futimens((int)h, ts) == 0)
            return true;
        err = errno;
        return false;
    }
    bool SetAttributes(ZIPHANDLE h, unsigned attr, unsigned& err) override
    {
        (void)attr;   // MS-DOS attributes have no POSIX form; the file only has to stay writable
        struct stat st;
        if (fstat((int)h, &st) == 0 && fchmod((int)h, (st.st_mode & 07777) | S_IWUSR) == 0)
            return true;
        err = errno;
        return false;
    }
    std::string VolumeFsName(const char* path) override
    {
#ifdef __linux__
        struct statfs sf;
        if (statfs(path, &sf) == 0 && sf.f_type == 0x4d44)   // MSDOS_SUPER_MAGIC
            return "FAT";
#endif
        (void)path;
        return "POSIX";
    }
    bool NameValid(const char* dir, const char* name) override
    {
        long max = pathconf(dir, _PC_NAME_MAX);
        if (max <= 0)
            max = 255;
        return *name && strlen(name) <= (size_t)max && !strchr(name, '/');
    }
    bool ListDir(const char* dir, std::vector<std::string>& names) override
    {
        DIR* d = opendir(dir);
        if (!d)
            return false;
        while (struct dirent* e = readdir(d))
            names.push_back(e->d_name);
        closedir(d);
        return true;
    }
    std::string FullPath(const char* path) override
    {
        std::string p = path;
        if (p.empty())
            return std::string();
        if (p[0] != '/') {
            char cwd[PATH_MAX];
            if (!getcwd(cwd, sizeof cwd))
                return std::string();
            p = std::string(cwd) + "/" + p;
        }
        return NormalisePath(p);
    }
    bool IsRemovable(const char*) override { return false; }
    bool SetLabel(const char*, const char*) override { return false; }
    void StdoutBinary() override {}
};

}  // namespace

ZIPOS& PlatformZipOs()
{
    static POSIXOS os;
    return os;
}

}  // namespace unz
