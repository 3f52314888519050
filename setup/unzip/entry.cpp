// The engine's entry: options, archive selection, the end record and the
// run-wide state.
#include "unzpriv.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace unz {

STATE* G = nullptr;
volatile sig_atomic_t g_interrupted = 0;

static UNZRUNOPTIONS s_run = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
static std::vector<UNZCAPTURE> s_capture;
static uint64_t s_captureTotal = 0;
static std::string s_unwritable;

std::vector<UNZCAPTURE>& CaptureTable() { return s_capture; }
void CaptureAddTotal(uint64_t total) { s_captureTotal += total; }

// ---------------------------------------------------------------- output

void OutRaw(int stream, const char* data, size_t n)
{
    if (G && G->run.sink) {
        G->run.sink(G->run.sinkCtx, stream, data, n);
        return;
    }
    if (stream == 1) {
        fwrite(data, 1, n, stdout);
    } else {
        fflush(stdout);     // keep the two streams in order on a console
        fwrite(data, 1, n, stderr);
        fflush(stderr);
    }
}

void Out(int stream, const char* fmt, ...)
{
    char small[512];
    va_list ap;
    va_start(ap, fmt);
    int len = vsnprintf(small, sizeof small, fmt, ap);
    va_end(ap);
    if (len < 0)
        return;
    if ((size_t)len < sizeof small) {
        OutRaw(stream, small, (size_t)len);
        return;
    }
    std::string big((size_t)len + 1, '\0');
    va_start(ap, fmt);
    vsnprintf(&big[0], big.size(), fmt, ap);
    va_end(ap);
    OutRaw(stream, big.data(), (size_t)len);
}

void OutputFailed(const std::string& path)
{
    if (s_unwritable.empty())
        s_unwritable = path;
}

void OutputFailedReset() { s_unwritable.clear(); }

const char* BinaryNote()
{
    return "  (please check that you have transferred or created the zipfile in the\n"
           "  appropriate BINARY mode)\n";
}

// ---------------------------------------------------------------- input

void READER::Attach(ZIPOS* os, ZIPHANDLE h, int64_t size)
{
    os_ = os;
    h_ = h;
    size_ = size;
    pos_ = 0;
    start_ = -1;
    len_ = 0;
    failed_ = false;
}

bool READER::Load(int64_t pos)
{
    start_ = pos - pos % (int64_t)INBUFSIZ;
    len_ = 0;
    if (!os_->Seek(h_, start_)) {
        failed_ = true;
        return false;
    }
    long got = os_->Read(h_, buf_, READSIZ);
    if (got < 0) {
        failed_ = true;
        got = 0;
    }
    len_ = got;
    return pos - start_ < len_;
}

bool READER::Seek(int64_t pos)
{
    if (pos < 0)
        return false;
    pos_ = pos;
    return true;
}

size_t READER::Read(void* dst, size_t n)
{
    uint8_t* out = (uint8_t*)dst;
    size_t done = 0;
    while (done < n) {
        bool inside = start_ >= 0 && pos_ >= start_ && pos_ - start_ < len_;
        if (!inside && !Load(pos_))
            break;
        long off = (long)(pos_ - start_);
        size_t k = std::min((size_t)(len_ - off), n - done);
        memcpy(out + done, buf_ + off, k);
        done += k;
        pos_ += (int64_t)k;
    }
    return done;
}

bool READER::Skip(uint64_t n)
{
    if (pos_ + (int64_t)n > size_)
        return false;
    pos_ += (int64_t)n;
    return true;
}

// ---------------------------------------------------------------- signals

static void OnSignal(int sig)
{
    g_interrupted = 1;
    signal(sig, OnSignal);    // the Windows runtime resets a handler when it fires
}

// ---------------------------------------------------------------- options

static void Usage(int stream)
{
    Out(stream,
        "Usage: unzip [-options[modifiers]] file[.zip] [list] [-x xlist] [-d exdir]\n"
        "  Default action is to extract files in list, except those in xlist, to exdir;\n"
        "  file[.zip] may be a wildcard.\n"
        "\n"
        "  -l  list files (short format)      -v  list verbosely\n"
        "  -t  test compressed archive data   -z  display archive comment only\n"
        "  -c  extract files to stdout        -p  extract files to pipe, no messages\n"
        "  -f  freshen existing files         -u  update files, create if necessary\n"
        "  -x  exclude files that follow      -d  extract files into exdir\n"
        "\n"
        "modifiers:\n"
        "  -n  never overwrite existing files -o  overwrite files without prompting\n"
        "  -q  quiet mode (-qq => quieter)    -a  auto-convert text files (-aa all)\n"
        "  -b  no text conversion             -j  junk paths (do not make directories)\n"
        "  -s  spaces in names to underscores -U  keep upper-case names\n"
        "  -V  retain VMS version numbers     -$  restore volume label\n");
}

static void Bump(int& v, bool neg, int cap = 0x7fffffff)
{
    if (neg)
        v = v > 0 ? v - 1 : 0;
    else if (v < cap)
        ++v;
}

// Parses the leading option groups; returns the index of the archive name.
static int ParseOptions(std::vector<std::string>& args)
{
    OPTIONS& o = G->o;
    bool pipe = false;
    size_t i = 1;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a[0] != '-')
            break;
        bool neg = false;
        for (size_t k = 1; k < a.size(); ++k) {
            char ch = a[k];
            switch (ch) {
            case '-': neg = true; break;
            case 'a': Bump(o.a, neg, 2); break;
            case 'b': if (!neg) o.a = 0; break;
            case 'c': Bump(o.c, neg); break;
            case 'f': Bump(o.f, neg); break;
            case 'j': Bump(o.j, neg); break;
            case 'l':
                if (neg) o.level = o.level > 0 ? o.level - 1 : 0;
                else ++o.level;
                break;
            case 'v':
                if (neg) o.level = o.level > 0 ? o.level - 1 : 0;
                else o.level = o.level < 2 ? 2 : o.level + 1;
                break;
            case 'n': Bump(o.n, neg); break;
            case 'o': Bump(o.o, neg); break;
            case 'p':
                if (neg) {
                    o.c = 0;
                    o.q = o.q > 999 ? o.q - 999 : 0;
                } else {
                    Bump(o.c, false);
                    o.q += 999;
                    pipe = true;
                }
                break;
            case 'q': Bump(o.q, neg); break;
            case 's': Bump(o.s, neg); break;
            case 't': Bump(o.t, neg); break;
            case 'u': Bump(o.u, neg); break;
            case 'U': Bump(o.U, neg); break;
            case 'V': Bump(o.V, neg); break;
            case 'z': Bump(o.z, neg); break;
            case '$': Bump(o.dollar, neg, 2); break;
            case 'd': case 'e': case 'x': break;
            default: o.invalid = true; break;
            }
        }
    }
    if (pipe)
        o.a = 0;     // a pipe gets the bytes as stored
    return (int)i;
}

static bool CheckOptions()
{
    OPTIONS& o = G->o;
    bool bad = o.invalid;
    bool uf = o.u || o.f;
    if ((o.c && o.t) || ((o.c || o.t) && (uf || o.level)) || (uf && o.level) || (o.f && o.n)) {
        Out(2, "error:  -fn or any combination of -c, -l, -p, -t, -u and -v options invalid\n");
        bad = true;
    }
    if (bad)
        return false;
    if (o.n && o.o) {
        Out(2, "caution:  both -n and -o specified; ignoring -o\n");
        o.o = 0;
    }
    return true;
}

// ---------------------------------------------------------------- end record

// Finds the last end-record signature that leaves room for the record, within
// the last 66,000 bytes. Works on whole 2048-byte blocks read backwards; the
// first bytes of the block after the current one stay behind it, so that a
// signature straddling two blocks is found.
static bool FindEndRecord(int64_t& where)
{
    const int64_t size = G->ziplen;
    const int64_t lowest = std::max<int64_t>(0, size - 66000);
    const int64_t highest = size - 22;   // the record is 22 bytes
    if (highest < 0)
        return false;
    uint8_t buf[INBUFSIZ + 4];
    int64_t block = highest / (int64_t)INBUFSIZ;
    uint8_t carry[3];
    int carried = 0;
    for (; block >= 0 && (block + 1) * (int64_t)INBUFSIZ > lowest; --block) {
        int64_t start = block * (int64_t)INBUFSIZ;
        if (!G->os->Seek(G->zipfd, start))
            return false;
        long got = G->os->Read(G->zipfd, buf, INBUFSIZ);
        if (got <= 0)
            return false;
        memcpy(buf + got, carry, (size_t)carried);
        long avail = got + carried;
        for (long i = got - 1; i >= 0; --i) {
            int64_t pos = start + i;
            if (pos > highest || i + 4 > avail)
                continue;
            if (pos < lowest)
                return false;
            if (memcmp(buf + i, G->sigEnd, 4) == 0) {
                where = pos;
                return true;
            }
        }
        carried = (int)std::min<long>(3, got);
        memcpy(carry, buf, (size_t)carried);
    }
    return false;
}

static bool EndsWith(const std::string& s, const char* tail)
{
    size_t n = strlen(tail);
    if (s.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (tolower((unsigned char)s[s.size() - n + i]) != tail[i])
            return false;
    return true;
}

// Prints the archive comment; returns 1 when it runs past the end of the file.
static int ShowComment()
{
    if (!G->commentLen)
        return UNZ_OK;
    std::string text(G->commentLen, '\0');
    size_t got = G->in.Read(&text[0], G->commentLen);
    text.resize(got);
    std::string shown;
    for (char ch : text) {
        if (ch == '\r')
            continue;
        if (ch == 0x1b)
            shown += "^[";
        else
            shown += ch;
    }
    if (!shown.empty() && shown.back() != '\n')
        shown += '\n';
    OutRaw(1, shown.data(), shown.size());
    if (got < G->commentLen) {
        Out(2, "\ncaution:  zipfile comment truncated\n");
        return UNZ_WARN;
    }
    return UNZ_OK;
}

enum { KIND_DONE, KIND_MISSING, KIND_DIR, KIND_NOEND };

// Opens the archive G->zipfn names. UNZ_OK, or the archive's code, with kind
// telling a missing archive and a folder.
static int OpenArchive(int& kind)
{
    const char* zn = G->zipfn.c_str();
    PATHINFO info;
    PATHKIND pk = G->os->Query(zn, &info);
    if (pk == PATH_NONE) {
        kind = KIND_MISSING;
        return UNZ_NOZIP;
    }
    if (pk == PATH_DIR) {
        kind = KIND_DIR;
        return IZ_DIR;
    }
    G->zipfd = G->os->OpenRead(zn);
    if (G->zipfd == ZIP_NOHANDLE) {
        Out(2, "error:  can't open zipfile [ %s ]\n", zn);
        return UNZ_NOZIP;
    }
    G->ziplen = G->os->FileSize(G->zipfd);
    G->in.Attach(G->os, G->zipfd, G->ziplen);
    return UNZ_OK;
}

// Finds and reads the end record. UNZ_OK, or the archive's code (kind
// KIND_NOEND when it has none).
static int ReadEndRecord(int& kind)
{
    const char* zn = G->zipfn.c_str();
    int64_t where = 0;
    if (G->ziplen < 0 || !FindEndRecord(where)) {
        if (G->o.q)
            Out(2, "[%s]\n", zn);
        Out(2, "  End-of-central-directory signature not found.  Either this file is not\n"
               "  a zipfile, or it constitutes one disk of a multi-part archive.  In the\n"
               "  latter case the central directory and zipfile comment will be found on\n"
               "  the last disk(s) of this archive.\n");
        if (EndsWith(G->zipfn, ".exe") || EndsWith(G->zipfn, ".com") || EndsWith(G->zipfn, ".bat") ||
            EndsWith(G->zipfn, ".cmd"))
            Out(2, "note:  %s may be an executable, not an archive\n", zn);
        kind = KIND_NOEND;
        return UNZ_NOZIP;
    }
    uint8_t rec[END_SIZE];
    G->in.Seek(where);
    if (G->in.Read(rec, END_SIZE) != END_SIZE) {
        Out(2, "error [%s]:  unexpected end of file\n", zn);
        return UNZ_EOF;
    }
    G->eocdPos = where;
    G->diskNum = Get16(rec + END_DISKNUM);
    G->cdDisk = Get16(rec + END_CDDISK);
    G->entriesDisk = Get16(rec + END_ENTRIESDISK);
    G->entriesTotal = Get16(rec + END_ENTRIESTOTAL);
    G->cdSize = Get32(rec + END_CDSIZE);
    G->cdOffset = Get32(rec + END_CDOFFSET);
    G->commentLen = Get16(rec + END_COMMENTLEN);
    return UNZ_OK;
}

// One disk only (the second of two is tried). UNZ_OK, or the code that ends
// the archive; a warning goes to error.
static int CheckDisks(int& error)
{
    if (G->diskNum == 1 && G->cdDisk == 1) {
        Out(2, "warning [%s]:  zipfile claims to be second disk of a two-part archive;\n"
               "  attempting to process anyway.\n", G->zipfn.c_str());
        error = std::max(error, (int)UNZ_WARN);
    } else if (G->diskNum || G->cdDisk) {
        Out(2, "\nerror [%s]:  zipfile is part of multi-disk archive\n  (sorry, not yet supported).\n",
            G->zipfn.c_str());
        return UNZ_FIND;
    }
    return UNZ_OK;
}

// Bytes in front of the archive (a stub) or missing from it: where the
// directory should end and where it does. An empty archive is a warning.
static void Compensate(int& error)
{
    const char* zn = G->zipfn.c_str();
    G->extraBytes = G->eocdPos - ((int64_t)G->cdOffset + (int64_t)G->cdSize);
    if (G->extraBytes < 0) {
        Out(2, "error [%s]:  missing %ld bytes in zipfile\n  (attempting to process anyway)\n", zn,
            (long)-G->extraBytes);
        error = std::max(error, (int)UNZ_ERR);
    } else if (G->extraBytes > 0) {
        if (G->cdOffset != 0 || G->cdSize == 0) {
            Out(2, "warning [%s]:  extra %ld bytes at beginning or within zipfile\n"
                   "  (attempting to process anyway)\n", zn, (long)G->extraBytes);
            error = std::max(error, (int)UNZ_WARN);
        } else {
            Out(2, "error [%s]:  NULL central directory offset\n  (attempting to process anyway)\n", zn);
            G->cdOffset = (uint32_t)G->extraBytes;
            G->extraBytes = 0;
            error = std::max(error, (int)UNZ_ERR);
        }
    }
    if (G->entriesTotal == 0 && G->cdSize == 0) {
        Out(2, "warning [%s]:  zipfile is empty\n", zn);
        error = std::max(error, (int)UNZ_WARN);
    }
}

// Seeks the start of the central directory; a directory that is where its
// offset says, without the bytes in front, is taken with an error. UNZ_OK or
// UNZ_BADERR.
static int SeekDirectory(int& error)
{
    const char* zn = G->zipfn.c_str();
    int64_t target = (int64_t)G->cdOffset + G->extraBytes;
    if (target < 0) {
        Out(2, "error [%s]:  attempt to seek before beginning of zipfile\n%s", zn, BinaryNote());
        return UNZ_BADERR;
    }
    G->in.Seek(target);
    if (G->entriesTotal == 0 && G->cdSize == 0)
        return UNZ_OK;
    uint8_t sig[4];
    if (G->in.Read(sig, 4) != 4 || !CheckSig(sig) || memcmp(sig, G->sigCentral, 4) != 0) {
        bool found = false;
        if (G->extraBytes != 0) {
            G->in.Seek(G->cdOffset);
            found = G->in.Read(sig, 4) == 4 && memcmp(sig, G->sigCentral, 4) == 0;
        }
        if (!found) {
            Out(2, "error [%s]:  start of central directory not found;\n  zipfile corrupt.\n%s", zn,
                BinaryNote());
            return UNZ_BADERR;
        }
        Out(2, "error [%s]:  reported length of central directory is\n"
               "  %ld bytes too long (Atari STZIP zipfile?  K.P.Vane ZIPSPLIT 1.1\n"
               "  zipfile?).  Compensating...\n", zn, (long)-G->extraBytes);
        G->extraBytes = 0;
        error = std::max(error, (int)UNZ_ERR);
        target = G->cdOffset;
    }
    G->in.Seek(target);
    return UNZ_OK;
}

// One archive: G->zipfn opened, its end record and directory found, its
// members listed, extracted or tested. The archive's code; kind tells a
// missing archive, a folder and a file without an end record.
static int DoArchive(int& kind)
{
    const OPTIONS& o = G->o;
    kind = KIND_DONE;
    int r = OpenArchive(kind);
    if (r)
        return r;
    struct CLOSER {
        ~CLOSER() { G->os->Close(G->zipfd); G->zipfd = ZIP_NOHANDLE; }
    } closer;

    if (!o.q)
        Out(1, "Archive:  %s\n", G->zipfn.c_str());
    r = ReadEndRecord(kind);
    if (r)
        return r;
    int error = UNZ_OK;
    if (o.z || !o.q)
        error = ShowComment();
    if (o.z)
        return error;
    r = CheckDisks(error);
    if (r)
        return r;
    Compensate(error);
    r = SeekDirectory(error);
    if (r)
        return r;
    r = o.level ? ListMembers() : ExtractMembers(error);
    return std::max(error, r);
}

static std::string DirOf(const std::string& s, std::string& last)
{
    size_t slash = s.rfind('/');
    if (slash == std::string::npos) {
        last = s;
        return std::string();
    }
    last = s.substr(slash + 1);
    return s.substr(0, slash + 1);
}

static void Expand(const std::string& archiveArg, std::vector<std::string>& out)
{
    std::string last;
    std::string dir = DirOf(archiveArg, last);
    std::vector<std::string> names;
    if (!G->os->ListDir(dir.empty() ? "." : dir.c_str(), names))
        return;
    std::sort(names.begin(), names.end());
    for (const std::string& n : names)
        if (n != "." && n != ".." && Match(last.c_str(), n.c_str(), true))
            out.push_back(dir + n);
}

static const char* Plural(int n) { return n == 1 ? "" : "s"; }

// The closing lines of a run over several archives; UNZ_NOZIP when none was one.
static int Summary(int ok, int warned, int fatal, int nozip, int dirs)
{
    if (ok)
        Out(2, "%d archive%s successfully processed.\n", ok, Plural(ok));
    if (warned)
        Out(2, "%d archive%s had warnings but no fatal errors.\n", warned, Plural(warned));
    if (fatal)
        Out(2, "%d archive%s had fatal errors.\n", fatal, Plural(fatal));
    if (nozip)
        Out(2, "%d file%s had no zipfile directory.\n", nozip, Plural(nozip));
    if (dirs == 1)
        Out(2, "1 \"zipfile\" was a directory.\n");
    else if (dirs > 1)
        Out(2, "%d \"zipfiles\" were directories.\n", dirs);
    if (ok + warned + fatal == 0) {
        if (!nozip && !dirs)
            Out(2, "No zipfiles found.\n");
        return UNZ_NOZIP;
    }
    return UNZ_OK;
}

static int ProcessArchives(const std::string& archiveArg)
{
    std::string last;
    DirOf(archiveArg, last);
    bool wild = HasWild(last.c_str());

    if (!wild) {
        int kind;
        G->zipfn = archiveArg;
        int r = DoArchive(kind);
        if (kind == KIND_DONE)
            return r == IZ_DIR ? UNZ_NOZIP : r;
        std::string second = archiveArg + ".zip";
        G->zipfn = second;
        int kind2;
        int r2 = DoArchive(kind2);
        if (kind2 == KIND_DONE)
            return r2;
        if (kind == KIND_NOEND)
            Out(2, "%s:  can't find zipfile directory in %s,\n        %sand can't find %s, period.\n", "unzip",
                archiveArg.c_str(), "", second.c_str());
        else
            Out(2, "%s:  can't find either %s or %s, so there.\n", "unzip", archiveArg.c_str(), second.c_str());
        return UNZ_NOZIP;
    }

    std::vector<std::string> names;
    Expand(archiveArg, names);
    if (names.empty())
        Expand(archiveArg + ".zip", names);
    int worst = UNZ_OK, ok = 0, warned = 0, fatal = 0, nozip = 0, dirs = 0;
    for (const std::string& n : names) {
        int kind;
        G->zipfn = n;
        int r = DoArchive(kind);
        if (kind == KIND_DIR) {
            ++dirs;
            continue;
        }
        if (kind == KIND_NOEND || kind == KIND_MISSING) {
            ++nozip;
            worst = std::max(worst, r);
            continue;
        }
        if (r == UNZ_OK)
            ++ok;
        else if (r == UNZ_WARN)
            ++warned;
        else
            ++fatal;
        worst = std::max(worst, r);
        if (r == UNZ_DISK || r == UNZ_INTR)
            break;
    }
    return std::max(worst, Summary(ok, warned, fatal, nozip, dirs));
}

static int Run(int argc, char* argv[])
{
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i] ? argv[i] : "";
        std::replace(a.begin(), a.end(), '\\', '/');
        args.push_back(a);
    }
    int first = ParseOptions(args);
    if (!CheckOptions()) {
        Usage(2);
        return UNZ_PARAM;
    }
    if (first >= (int)args.size()) {
        Usage(1);
        return UNZ_PARAM;
    }
    std::string zipname = args[first];
    bool haveDir = false;
    std::string dir;
    bool excl = false;
    for (size_t i = first + 1; i < args.size(); ++i) {
        if (args[i] == "-x") {
            excl = true;
        } else if (args[i] == "-d") {
            if (i + 1 >= args.size()) {
                Out(2, "error:  must specify directory to which to extract with -d option\n");
                return UNZ_PARAM;
            }
            haveDir = true;
            dir = args[++i];
        } else if (excl) {
            G->excl.push_back(args[i]);
        } else {
            G->incl.push_back(args[i]);
        }
    }
    G->inclHit.assign(G->incl.size(), false);
    G->exclHit.assign(G->excl.size(), false);

    OPTIONS& o = G->o;
    bool extracting = !o.c && !o.t && !o.level;
    if (haveDir) {
        if (!extracting) {
            Out(2, "caution:  not extracting; -d ignored\n");
        } else {
            int r = SetRoot(dir);
            if (r)
                return r;
        }
    }

    if (extracting)
        G->out.reset(new ROOTGUARD(*G->os, G->root));

    try {
        G->outbuf.resize(OUTBUFSIZ);
    } catch (const std::bad_alloc&) {
        Out(2, "error:  can't allocate unzip buffers\n");
        return UNZ_MEM;
    }
    return ProcessArchives(zipname);
}

}  // namespace unz

using namespace unz;

void UnzipSetRunOptions(const UNZRUNOPTIONS& options) { s_run = options; }
const UNZRUNOPTIONS& UnzipRunOptions() { return s_run; }
const std::vector<UNZCAPTURE>& UnzipCapture() { return s_capture; }
const std::string& UnzipUnwritable() { return s_unwritable; }
uint64_t UnzipCaptureTotal() { return s_captureTotal; }

void UnzipClearCapture()
{
    s_capture.clear();
    s_capture.shrink_to_fit();
    s_captureTotal = 0;
}

int UnzipMain(int argc, char* argv[])
{
    std::unique_ptr<STATE> state(new (std::nothrow) STATE());
    if (!state) {
        fputs("error:  can't allocate unzip buffers\n", stderr);
        return UNZ_MEM;
    }
    STATE* outer = G;
    G = state.get();
    G->run = s_run;
    G->os = s_run.os ? s_run.os : &PlatformZipOs();
    G->zipfd = ZIP_NOHANDLE;
    G->outfd = ZIP_NOHANDLE;
    G->dosResult = -1;
    s_unwritable.clear();
    // The signatures are put together here so that they never appear whole in
    // the program's data.
    const uint8_t tails[3][3] = {{0x4B, 3, 4}, {0x4B, 1, 2}, {0x4B, 5, 6}};
    uint8_t* sigs[3] = {G->sigLocal, G->sigCentral, G->sigEnd};
    for (int i = 0; i < 3; ++i) {
        sigs[i][0] = 0x50;
        memcpy(sigs[i] + 1, tails[i], 3);
    }

    g_interrupted = 0;
    void (*oldInt)(int) = signal(SIGINT, OnSignal);
    void (*oldTerm)(int) = signal(SIGTERM, OnSignal);

    int r;
    try {
        r = Run(argc, argv);
    } catch (const std::bad_alloc&) {
        Out(2, "error:  not enough memory\n");
        r = UNZ_MEM2;
    }
    if (g_interrupted && r != UNZ_INTR)
        r = UNZ_INTR;

    signal(SIGINT, oldInt == SIG_ERR ? SIG_DFL : oldInt);
    signal(SIGTERM, oldTerm == SIG_ERR ? SIG_DFL : oldTerm);
    if (G->zipfd != ZIP_NOHANDLE)
        G->os->Close(G->zipfd);
    G = outer;
    return r;
}
