// Run-wide state and helpers shared by the engine's modules.
#pragma once
#include "codec.h"
#include "unzip.h"
#include "zipos.h"
#include <csignal>
#include <cstdarg>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace unz {

// Internal results that never leave the engine.
enum { IZ_DIR = 76, MPN_CREATED_DIR = 77, MPN_VOL_LABEL = 78, MPN_SKIP = 79 };

constexpr size_t INBUFSIZ = 2048;           // the archive's block
constexpr size_t READSIZ = 32 * INBUFSIZ;    // read at once from a block on
constexpr size_t OUTBUFSIZ = 2 * WSIZE + 1;
constexpr size_t NAMEMAX = 260;

struct OPTIONS {
    int a, c, f, j, n, o, q, s, t, u, U, V, z, dollar, level;
    bool invalid;
};

// The archive's records (little-endian): byte offsets of their fields, the
// local and central headers counted from behind their 4-byte signature, the
// end record from its signature.
enum LOCALFIELD {
    LOC_FLAGS = 2, LOC_METHOD = 4, LOC_TIME = 6, LOC_DATE = 8, LOC_CRC = 10, LOC_CSIZE = 14,
    LOC_UCSIZE = 18, LOC_NAMELEN = 22, LOC_EXTRALEN = 24,
    LOC_SIZE = 26
};
enum CENTRALFIELD {
    CEN_VERMADE = 0, CEN_HOSTMADE = 1, CEN_VERNEED = 2, CEN_HOSTNEED = 3, CEN_FLAGS = 4, CEN_METHOD = 6,
    CEN_TIME = 8, CEN_DATE = 10, CEN_CRC = 12, CEN_CSIZE = 16, CEN_UCSIZE = 20, CEN_NAMELEN = 24,
    CEN_EXTRALEN = 26, CEN_COMMENTLEN = 28, CEN_DISKSTART = 30, CEN_INTATTR = 32, CEN_EXTATTR = 34,
    CEN_LOCALOFFSET = 38,
    CEN_SIZE = 42
};
enum ENDFIELD {
    END_DISKNUM = 4, END_CDDISK = 6, END_ENTRIESDISK = 8, END_ENTRIESTOTAL = 10, END_CDSIZE = 12,
    END_CDOFFSET = 16, END_COMMENTLEN = 20,
    END_SIZE = 22
};
// General purpose flags, compression methods, the hosts that made a member
// (the upper byte of "version made by") and MS-DOS attributes.
enum {
    FLAG_ENCRYPTED = 0x01, FLAG_DATADESCRIPTOR = 0x08
};
enum {
    METHOD_STORED = 0, METHOD_SHRUNK = 1, METHOD_REDUCED1 = 2, METHOD_REDUCED4 = 5, METHOD_IMPLODED = 6,
    METHOD_TOKENIZED = 7, METHOD_DEFLATED = 8
};
enum {
    HOST_FAT = 0, HOST_VMS = 2, HOST_VMCMS = 4, HOST_ATARI = 5, HOST_HPFS = 6, HOST_CPM = 9, HOST_NTFS = 10
};
enum {
    DOSATTR_READONLY = 0x01, DOSATTR_VOLUME = 0x08, DOSATTR_FOLDER = 0x10, DOSATTR_ARCHIVE = 0x20
};

// Fixed part of a central header (after its signature).
struct CENTRAL {
    unsigned verMade, hostMade, verNeed, hostNeed;
    unsigned flags, method, time, date;
    uint32_t crc, csize, ucsize;
    unsigned nameLen, extraLen, commentLen, diskStart, intAttr;
    uint32_t extAttr, localOffset;
};

// Working record of an accepted member.
struct MEMBER {
    std::string name;
    CENTRAL c;
    unsigned fileNo;       // position in the central directory, from 1
    unsigned attr;         // MS-DOS attributes with the archive bit
    bool encrypted, extHeader, textFile, textMode, lcflag, volLabel;
    int skipCode;          // non-zero: skipped as unsupported, with this code
};

// Archive input from 2048-byte aligned blocks, 64 KiB at a time: a seek
// into what was read last costs no read.
class READER {
public:
    void Attach(ZIPOS* os, ZIPHANDLE h, int64_t size);
    bool Seek(int64_t pos);               // false for a negative target
    size_t Read(void* dst, size_t n);     // short at the end of the file or on error
    bool Skip(uint64_t n);
    int64_t Tell() const { return pos_; }
    bool Failed() const { return failed_; }
private:
    bool Load(int64_t pos);
    ZIPOS* os_ = nullptr;
    ZIPHANDLE h_ = ZIP_NOHANDLE;
    int64_t size_ = 0, pos_ = 0, start_ = -1;   // start_: archive offset of buf_
    long len_ = 0;
    bool failed_ = false;
    uint8_t buf_[READSIZ];
};

// Every file operation on a member's path passes here and is refused unless
// the path, made absolute and normalised by the system, lies inside the
// extraction root. The name mapping decides first; this holds whatever it missed.
class ROOTGUARD : public ZIPOSFORWARD {
public:
    ROOTGUARD(ZIPOS& inner, const std::string& root);
    bool Admits(const char* path);
    bool Refused() const { return refused_; }   // the last operation was refused
    ZIPHANDLE Create(const char* p) override;
    PATHKIND Query(const char* p, PATHINFO* i) override;
    bool MakeDir(const char* p) override;
    bool MakeWritable(const char* p) override;
private:
    bool Check(const char* path);
    std::string root_;        // normalised, without a trailing "/"
    bool rootKnown_;
    std::string last_;        // the path admitted last
    bool refused_ = false;
};

struct STATE {
    OPTIONS o;
    std::vector<std::string> incl, excl;
    std::vector<bool> inclHit, exclHit;
    std::string root;          // with a trailing "/", empty for the current folder
    ZIPOS* os;
    std::unique_ptr<ROOTGUARD> out;   // member paths go through this one
    UNZRUNOPTIONS run;
    uint8_t sigLocal[4], sigCentral[4], sigEnd[4];
    std::vector<uint8_t> outbuf;

    // current archive
    std::string zipfn;
    ZIPHANDLE zipfd;
    int64_t ziplen;
    READER in;
    unsigned diskNum, cdDisk, entriesDisk, entriesTotal, commentLen;
    uint32_t cdSize, cdOffset;
    int64_t eocdPos, extraBytes;

    // current member
    uint32_t crc;
    ZIPHANDLE outfd;
    bool toStdout, testing, lastCR, lineOpen;
    int diskErr;               // 0 none, 1 continue, 2 end the run
    uint64_t left;             // bytes the member may still put out
    bool tooLong;              // it tried to put out more than it declares
    std::string filename;      // the built output path
    std::vector<std::string> mapFolders;   // its folders, outermost first
    bool fsKnown;
    bool fsFat;
    std::set<std::string> folders;   // folders known to exist in this run
    uint32_t dosTime;          // the last MS-DOS time converted, and its result
    int64_t dosUtc;
    int dosResult;             // -1: none yet
    unsigned dosErr;
};

extern STATE* G;
extern volatile sig_atomic_t g_interrupted;

// Output: stream 1 standard output, 2 standard error.
void Out(int stream, const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
void OutRaw(int stream, const char* data, size_t n);
const char* BinaryNote();
// Records the file or folder that could not be created or written.
void OutputFailed(const std::string& path);
void OutputFailedReset();

// Archive helpers (zipdir.cpp).
unsigned Get16(const uint8_t* p);
uint32_t Get32(const uint8_t* p);
bool CheckSig(const uint8_t* sig);
int ReadCentral(CENTRAL& c);
int ReadName(unsigned len, std::string& name);
int ReadEntry(unsigned j, MEMBER& m, std::string* comment, int& error);
int CheckDirectoryEnd();
void ConvertName(std::string& name, const CENTRAL& c, bool& lcflag, bool volLabel);
int ListMembers();
void DosDate(unsigned date, unsigned time, unsigned& y, unsigned& mo, unsigned& d, unsigned& h, unsigned& mi);

// Extraction (extract.cpp); `archiveCode` is the archive's code so far.
int ExtractMembers(int archiveCode);
int DosTime(uint32_t dosDateTime, int64_t& utc, unsigned& err);   // DosToUtc, remembered

// Directory mapping (mapname.cpp). MapName decides the member's path (into
// filename) and its folders; MakeFolders makes them. For a folder entry it
// returns MPN_CREATED_DIR, or MPN_SKIP when the folder was there.
int SetRoot(const std::string& dir);
int MapName(const MEMBER& m, bool isDir);
int MakeFolders(const MEMBER& m, bool isDir);

// Patterns (match.cpp).
bool Match(const char* pattern, const char* name, bool ignoreCase);
bool HasWild(const char* s);

}  // namespace unz
