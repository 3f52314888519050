// The ZIP engine's only way to the operating system. The product uses the
// Windows implementation, the native build the POSIX one; tests wrap either
// to inject volumes, failures and interrupts.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace unz {

typedef intptr_t ZIPHANDLE;
constexpr ZIPHANDLE ZIP_NOHANDLE = -1;

enum PATHKIND { PATH_NONE = 0, PATH_FILE, PATH_DIR };

struct PATHINFO {
    PATHKIND kind;
    int64_t mtime;       // last write, seconds since 1970 (UTC)
    bool readOnly;
};

// Results of DosToUtc.
enum { DOSTIME_OK = 0, DOSTIME_BADDATE, DOSTIME_NOUTC };

class ZIPOS {
public:
    virtual ~ZIPOS() = default;
    virtual ZIPHANDLE OpenRead(const char* path) = 0;
    virtual ZIPHANDLE Create(const char* path) = 0;          // new or truncated, binary
    virtual int64_t FileSize(ZIPHANDLE h) = 0;
    virtual bool Seek(ZIPHANDLE h, int64_t pos) = 0;
    virtual long Read(ZIPHANDLE h, void* buf, size_t n) = 0;  // -1 on error
    virtual long Write(ZIPHANDLE h, const void* buf, size_t n) = 0;
    virtual void Close(ZIPHANDLE h) = 0;
    virtual PATHKIND Query(const char* path, PATHINFO* info) = 0;
    virtual bool MakeDir(const char* path) = 0;
    virtual bool MakeWritable(const char* path) = 0;
    // MS-DOS date (high word) and time (low word), local time, to UTC seconds.
    virtual int DosToUtc(uint32_t dosDateTime, int64_t& utc, unsigned& err) = 0;
    // Last-write time and MS-DOS attributes of a file still open for writing.
    virtual bool SetTime(ZIPHANDLE h, int64_t utc, unsigned& err) = 0;
    virtual bool SetAttributes(ZIPHANDLE h, unsigned attr, unsigned& err) = 0;
    // File-system name of the volume holding `path` ("FAT", "FAT32", "NTFS", ...).
    virtual std::string VolumeFsName(const char* path) = 0;
    // Whether the file system accepts `name` as one component inside `dir`.
    virtual bool NameValid(const char* dir, const char* name) = 0;
    virtual bool ListDir(const char* dir, std::vector<std::string>& names) = 0;
    // `path` made absolute and normalised ("." and ".." resolved, "/" between
    // components, no trailing "/" below the top); empty when it cannot be had.
    virtual std::string FullPath(const char* path) = 0;
    virtual bool IsRemovable(const char* path) = 0;
    virtual bool SetLabel(const char* path, const char* label) = 0;
    virtual void StdoutBinary() = 0;
};

// The platform's implementation.
ZIPOS& PlatformZipOs();

// The engine's own normaliser: an absolute path with "/" between components
// and "." and ".." resolved by the text alone; ".." at the top stays there.
std::string NormalisePath(const std::string& absolute);

// Passes every call to another implementation; tests override single calls.
class ZIPOSFORWARD : public ZIPOS {
public:
    explicit ZIPOSFORWARD(ZIPOS& inner) : os_(inner) {}
    ZIPHANDLE OpenRead(const char* p) override { return os_.OpenRead(p); }
    ZIPHANDLE Create(const char* p) override { return os_.Create(p); }
    int64_t FileSize(ZIPHANDLE h) override { return os_.FileSize(h); }
    bool Seek(ZIPHANDLE h, int64_t pos) override { return os_.Seek(h, pos); }
    long Read(ZIPHANDLE h, void* b, size_t n) override { return os_.Read(h, b, n); }
    long Write(ZIPHANDLE h, const void* b, size_t n) override { return os_.Write(h, b, n); }
    void Close(ZIPHANDLE h) override { os_.Close(h); }
    PATHKIND Query(const char* p, PATHINFO* i) override { return os_.Query(p, i); }
    bool MakeDir(const char* p) override { return os_.MakeDir(p); }
    bool MakeWritable(const char* p) override { return os_.MakeWritable(p); }
    int DosToUtc(uint32_t d, int64_t& u, unsigned& e) override { return os_.DosToUtc(d, u, e); }
    bool SetTime(ZIPHANDLE h, int64_t u, unsigned& e) override { return os_.SetTime(h, u, e); }
    bool SetAttributes(ZIPHANDLE h, unsigned a, unsigned& e) override { return os_.SetAttributes(h, a, e); }
    std::string VolumeFsName(const char* p) override { return os_.VolumeFsName(p); }
    bool NameValid(const char* d, const char* n) override { return os_.NameValid(d, n); }
    bool ListDir(const char* d, std::vector<std::string>& v) override { return os_.ListDir(d, v); }
    std::string FullPath(const char* p) override { return os_.FullPath(p); }
    bool IsRemovable(const char* p) override { return os_.IsRemovable(p); }
    bool SetLabel(const char* p, const char* l) override { return os_.SetLabel(p, l); }
    void StdoutBinary() override { os_.StdoutBinary(); }
protected:
    ZIPOS& os_;
};

}  // namespace unz
