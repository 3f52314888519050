// Selecting, checking and extracting (or testing) the members of an archive.
#include "unzpriv.h"
#include <algorithm>
#include <cstring>

namespace unz {

bool Selected(const std::string& name, bool ignoreCase);

static bool s_textMode = false;

// Asks a yes/no question on the console; without one the answer is No.
static bool AskYes(const char* prompt)
{
    if (!G->run.ask)
        return false;
    OutRaw(1, prompt, strlen(prompt));
    char answer[80] = "";
    if (!G->run.ask(G->run.askCtx, answer, sizeof answer))
        return false;
    return answer[0] == 'y' || answer[0] == 'Y';
}

static int DiskFull()
{
    OutputFailed(G->filename);
    std::string prompt = "\n" + G->filename + ":  write error (disk full?).  Continue? (y/n/^C) ";
    if (G->run.ask) {
        G->diskErr = AskYes(prompt.c_str()) ? 1 : 2;
    } else {
        Out(2, "\n%s:  write error (disk full?)\n", G->filename.c_str());
        G->diskErr = 2;
    }
    return UNZ_DISK;
}

// Text conversion and writing.
static int Emit(const uint8_t* p, size_t n)
{
    if (G->testing || n == 0)
        return UNZ_OK;
    if (G->diskErr)
        return UNZ_DISK;
    while (n) {
        size_t chunk = std::min(n, WSIZE);
        const uint8_t* out = p;
        size_t outLen = chunk;
        if (s_textMode) {
            uint8_t* q = G->outbuf.data();
            for (size_t i = 0; i < chunk; ++i) {
                uint8_t ch = p[i];
                if (ch == '\n') {
                    if (!G->lastCR) {
                        *q++ = '\r';
                        *q++ = '\n';
                    }
                    G->lastCR = false;
                } else if (ch == '\r') {
                    *q++ = '\r';
                    *q++ = '\n';
                    G->lastCR = true;
                } else {
                    *q++ = ch;
                    G->lastCR = false;
                }
            }
            out = G->outbuf.data();
            outLen = (size_t)(q - G->outbuf.data());
        }
        if (G->toStdout) {
            OutRaw(1, (const char*)out, outLen);
        } else {
            long w = G->os->Write(G->outfd, out, outLen);
            if (w < 0 || (size_t)w != outLen)
                return DiskFull();
        }
        p += chunk;
        n -= chunk;
    }
    return UNZ_OK;
}

// Every decompressor's output passes here: the member's declared size, CRC,
// text conversion, writing. Output beyond the declared size is not written.
static int WriteOut(const uint8_t* p, size_t n)
{
    bool over = n > G->left;
    if (over)
        n = (size_t)G->left;
    G->left -= n;
    G->crc = Crc32Update(G->crc, p, n);
    if (g_interrupted)
        return UNZ_INTR;
    int r = Emit(p, n);
    if (r || !over)
        return r;
    G->tooLong = true;
    return UNZ_ERR;
}

// The engine's side of a decompressor: the member's compressed bytes in, the
// plain bytes out through WriteOut.
class MEMBERIO : public CODECIO {
public:
    explicit MEMBERIO(uint64_t csize) : left_(csize) {}
    size_t Fill(uint8_t* buf, size_t size) override
    {
        if (!left_)
            return 0;
        size_t want = (size_t)std::min<uint64_t>(size, left_);
        size_t got = G->in.Read(buf, want);
        left_ = got < want ? 0 : left_ - got;
        return got;
    }
    int Flush(const uint8_t* data, size_t n) override
    {
        int r = WriteOut(data, n);
        if (r)
            stop_ = r;
        return r;
    }
    void Note(const char* text) override
    {
        if (!G->o.q)
            Out(1, "%s", text);
    }
    int stop_ = 0;
private:
    uint64_t left_;
};

struct LOCAL {
    unsigned flags, method, time, date;
    uint32_t crc, csize, ucsize;
};

static void CloseLine()
{
    if (G->lineOpen)
        Out(1, "\n");
    G->lineOpen = false;
}

// MS-DOS times to UTC; the members of an archive mostly share a few times.
int DosTime(uint32_t dosDateTime, int64_t& utc, unsigned& err)
{
    if (G->dosResult < 0 || G->dosTime != dosDateTime) {
        G->dosTime = dosDateTime;
        G->dosErr = 0;
        G->dosResult = G->os->DosToUtc(dosDateTime, G->dosUtc, G->dosErr);
    }
    utc = G->dosUtc;
    err = G->dosErr;
    return G->dosResult;
}

// On the file still open: no second open by its name.
static void SetTimesAndAttributes(const MEMBER& m, const LOCAL& l)
{
    int64_t utc = 0;
    unsigned err = 0;
    int t = DosTime(((uint32_t)l.date << 16) | l.time, utc, err);
    if (t == DOSTIME_BADDATE) {
        Out(2, "DosDateTime failed: %d\n", (int)err);
    } else {
        if (t == DOSTIME_NOUTC)
            Out(2, "LocalFileTime failed: %d\n", (int)err);
        if (!G->os->SetTime(G->outfd, utc, err))
            Out(2, "\nSetFileTime failed: %d\n", (int)err);
    }
    unsigned attr = ((m.attr & ~(unsigned)DOSATTR_READONLY) | DOSATTR_ARCHIVE) & 0x7f;
    if (!G->os->SetAttributes(G->outfd, attr, err))
        Out(2, "\nwarning (%d): could not set file attributes\n", (int)err);
}

// A decompressor's failure as a message and a code.
static int CodecFailure(int result, const MEMBER& m, const char* verb, const char* kind)
{
    char shortText[96], longText[96];
    if (result == CODEC_NOMEM) {
        snprintf(shortText, sizeof shortText, "not enough memory to %s ", verb);
        snprintf(longText, sizeof longText, "not enough memory for %s operation", verb);
    } else {
        snprintf(shortText, sizeof shortText, "invalid compressed (%s) data for ", kind);
        snprintf(longText, sizeof longText, "invalid compressed data for %s format", verb);
    }
    if (G->o.q) {
        CloseLine();
        Out(2, "  error:  %s%s\n", shortText, m.name.c_str());
    } else {
        Out(1, "\n  error:  %s\n", longText);
        G->lineOpen = false;
    }
    return result == CODEC_NOMEM ? UNZ_MEM2 : UNZ_ERR;
}

// Opens the member's output: the testing line, standard output, or the file
// (`existing` is what stands at its path), then the line that names the
// member. UNZ_DISK when the file cannot be created.
static int OpenOutput(const MEMBER& m, const LOCAL& l, const PATHINFO& existing)
{
    OPTIONS& o = G->o;
    const std::string& shown = (G->testing || G->toStdout) ? m.name : G->filename;
    if (G->testing) {
        if (!o.q) {
            Out(1, "%11s: %-22s  %s%s", "testing", shown.c_str(), "", "");
            G->lineOpen = true;
        }
    } else if (G->toStdout) {
        G->os->StdoutBinary();
    } else {
        if (existing.kind == PATH_FILE && existing.readOnly)
            G->out->MakeWritable(G->filename.c_str());
        G->outfd = G->out->Create(G->filename.c_str());
        if (G->outfd == ZIP_NOHANDLE) {
            Out(2, "\nerror:  cannot create %s\n", G->filename.c_str());
            OutputFailed(G->filename);
            return UNZ_DISK;
        }
    }

    if (!G->testing && !o.q) {
        static const char* words[] = {"extracting", "unshrinking", "unreducing", "unreducing", "unreducing",
                                      "unreducing", "exploding", "extracting", "inflating"};
        const char* word = l.method <= METHOD_DEFLATED ? words[l.method] : "extracting";
        const char* tag = !o.a ? "" : l.ucsize == 0 ? "[empty] " : m.textMode ? "[text]  " : "[binary]";
        Out(1, "%11s: %-22s  %s%s", word, shown.c_str(), "", tag);
        G->lineOpen = true;
        if (G->toStdout)
            CloseLine();
    }
    return UNZ_OK;
}

// A stored member: its bytes as they are.
static int Store(MEMBERIO& io)
{
    std::vector<uint8_t> slide(WSIZE);
    size_t n;
    while ((n = io.Fill(slide.data(), WSIZE)) > 0)
        if (io.Flush(slide.data(), n))
            break;
    return io.stop_ ? CODEC_STOPPED : CODEC_OK;
}

// An imploded member that used more or fewer compressed bytes than it declares.
static int ExplodedSize(const MEMBER& m, const LOCAL& l, uint64_t used)
{
    bool more = used > l.csize;
    CloseLine();
    Out(2, "%s  %s:  %ld bytes required to uncompress to %lu bytes;\n       %s   supposed to require %lu bytes%s%s%s\n",
        more ? "error" : "warning", m.name.c_str(), (long)used, (unsigned long)l.ucsize,
        more ? "  " : "    ", (unsigned long)l.csize, "", "", "");
    return more ? UNZ_ERR : UNZ_WARN;
}

// Runs the member's decompressor into WriteOut. `checkCrc` is cleared when
// the output cannot be checked: the codec failed or stopped, or the method
// is unknown.
static int Decompress(const MEMBER& m, const LOCAL& l, bool& checkCrc)
{
    MEMBERIO io(l.csize);
    MEMBERINFO info = {l.csize, l.ucsize, l.flags};
    const char* verb = "";         // the codec's words in its failure message
    const char* kind = "";
    uint64_t used = 0;
    int cr = CODEC_OK;
    switch (l.method) {
    case METHOD_STORED:
        cr = Store(io);
        break;
    case METHOD_SHRUNK:
        cr = Unshrink(io, info);
        verb = "unshrink", kind = "shrunk";
        break;
    case METHOD_REDUCED1: case METHOD_REDUCED1 + 1: case METHOD_REDUCED1 + 2: case METHOD_REDUCED4:
        cr = Unreduce(io, info, (int)l.method - 1);
        verb = "unreduce", kind = "reduced";
        break;
    case METHOD_IMPLODED:
        cr = Explode(io, info, used);
        verb = "explode", kind = "imploded";
        break;
    case METHOD_DEFLATED:
        cr = Inflate(io);
        verb = "inflate", kind = "deflated";
        break;
    default:
        CloseLine();
        Out(2, "%s:  unknown compression method\n", m.name.c_str());
        checkCrc = false;
        return UNZ_WARN;
    }
    if (cr != CODEC_OK && cr != CODEC_STOPPED) {
        checkCrc = false;
        return CodecFailure(cr, m, verb, kind);
    }
    int r = UNZ_OK;
    if (cr == CODEC_OK && l.method == METHOD_IMPLODED && used != l.csize)
        r = ExplodedSize(m, l, used);
    if (cr == CODEC_STOPPED) {
        checkCrc = false;
        int stop = io.stop_ ? io.stop_ : UNZ_ERR;
        if (stop == UNZ_DISK && G->diskErr == 1)
            stop = UNZ_WARN;
        r = std::max(r, stop);
    }
    return r;
}

// More or less than the member declares is a bad member, whatever its method.
static int CheckSize(const MEMBER& m, bool& checkCrc)
{
    if (!G->tooLong && !(checkCrc && G->left))
        return UNZ_OK;
    CloseLine();
    if (G->tooLong)
        Out(2, "  error:  %s is larger than its stated %lu bytes\n", m.name.c_str(), (unsigned long)m.c.ucsize);
    else
        Out(2, "  error:  %s ends after %lu of its stated %lu bytes\n", m.name.c_str(),
            (unsigned long)(m.c.ucsize - G->left), (unsigned long)m.c.ucsize);
    checkCrc = false;
    return UNZ_ERR;
}

static int CheckCrc(const MEMBER& m, const LOCAL& l)
{
    uint32_t got = ~G->crc;
    if (got != l.crc) {
        if (G->o.q) {
            CloseLine();
            Out(2, "%-22s  bad CRC %08lx  (should be %08lx)\n", m.name.c_str(), (unsigned long)got,
                (unsigned long)l.crc);
        } else {
            Out(1, " bad CRC %08lx  (should be %08lx)\n", (unsigned long)got, (unsigned long)l.crc);
            G->lineOpen = false;
        }
        return UNZ_ERR;
    }
    if (G->testing && !G->o.q) {
        Out(1, " OK\n");
        G->lineOpen = false;
    }
    return UNZ_OK;
}

// Extracts (or tests) one member whose local header has been read; `existing`
// is what stands at the output path (for extraction to files).
static int ExtractOne(const MEMBER& m, const LOCAL& l, const PATHINFO& existing)
{
    G->crc = 0xFFFFFFFFu;
    G->lastCR = false;
    G->diskErr = 0;
    G->left = m.c.ucsize;      // the size the listing shows and callers plan with
    G->tooLong = false;
    G->lineOpen = false;
    s_textMode = m.textMode;
    int r = OpenOutput(m, l, existing);
    if (r)
        return r;
    bool checkCrc = true;
    r = Decompress(m, l, checkCrc);
    r = std::max(r, CheckSize(m, checkCrc));
    if (!G->testing && !G->toStdout) {
        SetTimesAndAttributes(m, l);
        G->os->Close(G->outfd);
        G->outfd = ZIP_NOHANDLE;
    }
    if (checkCrc)
        r = std::max(r, CheckCrc(m, l));
    CloseLine();
    return r;
}

// Hosts whose folder entries may lack the trailing "/": the folder attribute says so.
static const unsigned FOLDER_HOSTS[] = {HOST_FAT, HOST_HPFS};

// The output path below the root, as a visitor sees it.
static std::string BelowRoot(const std::string& path)
{
    return path.compare(0, G->root.size(), G->root) == 0 ? path.substr(G->root.size()) : path;
}

// Seeks the member's local header and checks its signature; for the first
// member a wrong guess of the bytes in front of the archive is undone.
static int SeekLocal(const MEMBER& m, bool first, int& archiveError)
{
    uint8_t sig[4];
    int64_t off = (int64_t)m.c.localOffset + G->extraBytes;
    bool ok = off >= 0 && G->in.Seek(off) && G->in.Read(sig, 4) == 4 && memcmp(sig, G->sigLocal, 4) == 0;
    if (ok)
        return UNZ_OK;
    Out(2, "file #%u:  bad zipfile offset (%s):  %ld\n", m.fileNo, "local header sig", (long)off);
    if (first && G->extraBytes != 0) {
        Out(2, "  (attempting to re-compensate)\n");
        int64_t saved = G->extraBytes;
        G->extraBytes = 0;
        off = m.c.localOffset;
        ok = G->in.Seek(off) && G->in.Read(sig, 4) == 4 && memcmp(sig, G->sigLocal, 4) == 0;
        if (ok)
            archiveError = std::max(archiveError, (int)UNZ_ERR);
        else
            G->extraBytes = saved;
    }
    return ok ? UNZ_OK : UNZ_BADERR;
}

// Reads the local header behind its signature and the local name, which
// becomes the member's name. UNZ_ERR for a header that is cut short; `warn`
// gets a warning of the name.
static int ReadLocal(MEMBER& m, LOCAL& l, int& warn)
{
    uint8_t h[LOC_SIZE];
    if (G->in.Read(h, LOC_SIZE) != LOC_SIZE) {
        Out(2, "\nfile #%u:  bad local header\n", m.fileNo);
        return UNZ_ERR;
    }
    l.flags = Get16(h + LOC_FLAGS);
    l.method = Get16(h + LOC_METHOD);
    l.time = Get16(h + LOC_TIME);
    l.date = Get16(h + LOC_DATE);
    l.crc = Get32(h + LOC_CRC);
    l.csize = Get32(h + LOC_CSIZE);
    l.ucsize = Get32(h + LOC_UCSIZE);
    unsigned nameLen = Get16(h + LOC_NAMELEN), extraLen = Get16(h + LOC_EXTRALEN);
    if ((l.flags & FLAG_DATADESCRIPTOR) || m.extHeader) {
        l.crc = m.c.crc;
        l.csize = m.c.csize;
        l.ucsize = m.c.ucsize;
    }
    std::string lname;
    int r = ReadName(nameLen, lname);
    if (r == UNZ_EOF) {
        Out(2, "%s:  bad filename length (%s)\n", m.name.c_str(), "local");
        return UNZ_ERR;
    }
    warn = r;
    if (!G->in.Skip(extraLen)) {
        Out(2, "%s:  bad extra field length (%s)\n", m.name.c_str(), "local");
        return UNZ_ERR;
    }
    bool lcflag;
    ConvertName(lname, m.c, lcflag, m.volLabel);
    m.name = lname;
    return UNZ_OK;
}

static bool IsFolder(const MEMBER& m)
{
    if (!m.name.empty() && m.name.back() == '/')
        return true;
    return (m.c.extAttr & DOSATTR_FOLDER) && m.c.ucsize == 0 &&
           std::find(std::begin(FOLDER_HOSTS), std::end(FOLDER_HOSTS), m.c.hostMade) != std::end(FOLDER_HOSTS);
}

// Whether the member replaces the file at its path (-n never, -u and -f only
// an older one; times compare at the two seconds MS-DOS times have).
static bool Replaces(const LOCAL& l, const PATHINFO& pi)
{
    const OPTIONS& o = G->o;
    int64_t existing = (pi.mtime + 1) & ~(int64_t)1;
    int64_t member = 0;
    unsigned err;
    DosTime(((uint32_t)l.date << 16) | l.time, member, err);
    if (existing < member)
        return !o.n;
    return !(o.n || o.u || o.f);
}

// Returned by Place for a member whose file is to be written.
static const int WRITE = -1;

// Where the member goes: its path mapped, a visitor asked, its folders made,
// the overwrite rules applied. WRITE (with `pi` what stands at the path) when
// its file is to be written, else the member's code.
static int Place(const MEMBER& m, const LOCAL& l, bool isDir, UNZENTRY& e, PATHINFO& pi, int& warn)
{
    int r = MapName(m, isDir);
    if (r == MPN_SKIP || r == MPN_VOL_LABEL)
        return warn;
    if (r > UNZ_WARN)
        return UNZ_ERR;
    warn = std::max(warn, r);

    // A visitor decides before anything is made, knowing what is there.
    UNZVISITOR* visitor = G->run.visitor;
    e.folder = isDir;
    e.path = BelowRoot(G->filename);
    PATHKIND k = PATH_NONE;
    if (!isDir || visitor)
        k = G->out->Query(G->filename.c_str(), &pi);
    e.exists = k == (isDir ? PATH_DIR : PATH_FILE);
    if (visitor && !visitor->Take(e))
        return warn;
    e.written = isDir;
    r = MakeFolders(m, isDir);
    if (r == MPN_CREATED_DIR || r == MPN_SKIP)
        return warn;
    if (r)
        return UNZ_ERR;
    if (isDir)
        return warn;
    if (k == PATH_NONE ? G->o.f != 0 : !Replaces(l, pi))
        return warn;
    e.written = true;
    return WRITE;
}

// Reads the local header of `m` and extracts or tests the member. With a
// visitor, `e` is filled in and the visitor decides whether a file is written.
static int DoMember(MEMBER& m, bool first, int& archiveError, UNZENTRY& e)
{
    int r = SeekLocal(m, first, archiveError);
    if (r)
        return r;
    LOCAL l;
    int warn = UNZ_OK;
    r = ReadLocal(m, l, warn);
    if (r)
        return r;
    bool isDir = IsFolder(m);
    PATHINFO pi = {PATH_NONE, 0, false};
    if (!G->testing && !G->toStdout) {
        r = Place(m, l, isDir, e, pi, warn);
        if (r != WRITE)
            return r;
    }
    return std::max(warn, ExtractOne(m, l, pi));
}

// One member for a visitor, as often as it asks; the member's last code.
// `stop` is set when the visitor or an interrupt ends the run.
static int VisitMember(MEMBER& m, size_t index, bool first, int& archiveError, bool& stop)
{
    for (;;) {
        UNZENTRY e = {index, std::string(), false, false, false};
        OutputFailedReset();
        int r = m.skipCode ? m.skipCode : DoMember(m, first, archiveError, e);
        if (r == UNZ_INTR || g_interrupted) {
            stop = true;
            return UNZ_INTR;
        }
        int next = G->run.visitor->Done(e, r);
        if (next == UNZVISITOR::AGAIN) {
            G->folders.clear();   // the user may have changed them before trying again
            continue;
        }
        stop = next == UNZVISITOR::STOP;
        return r;
    }
}

// The checks a member must pass; false (after its message) when it is skipped.
static bool Supported(const MEMBER& m)
{
    OPTIONS& o = G->o;
    const CENTRAL& c = m.c;
    if (c.hostNeed == HOST_VMS) {
        if (c.verNeed > 42) {
            Out(2, "   skipping: %-22s  need %s compat. v%u.%u (can do v%u.%u)\n", m.name.c_str(), "VMS",
                c.verNeed / 10, c.verNeed % 10, 4u, 2u);
            return false;
        }
        if (!o.t && !o.o) {
            std::string q = "\n" + m.name + ":  stored in VMS format.  Extract anyway? (y/n) ";
            if (!AskYes(q.c_str()))
                return false;
        }
    } else if (c.verNeed > 20) {
        Out(2, "   skipping: %-22s  need %s compat. v%u.%u (can do v%u.%u)\n", m.name.c_str(), "PK",
            c.verNeed / 10, c.verNeed % 10, 2u, 0u);
        return false;
    }
    if (c.method == METHOD_TOKENIZED || c.method > METHOD_DEFLATED) {
        Out(2, "   skipping: %-22s  compression method %u\n", m.name.c_str(), c.method);
        return false;
    }
    if (c.flags & FLAG_ENCRYPTED) {
        Out(2, "   skipping: %-22s  encrypted (not supported)\n", m.name.c_str());
        return false;
    }
    return true;
}

// What extracting a selected member needs of its central entry.
static void Prepare(MEMBER& m)
{
    const OPTIONS& o = G->o;
    const CENTRAL& c = m.c;
    m.attr = (c.extAttr & 0xff) | DOSATTR_ARCHIVE;
    m.encrypted = false;
    m.extHeader = (c.flags & FLAG_DATADESCRIPTOR) != 0;
    m.textFile = (c.intAttr & 1) != 0;
    m.textMode = o.a >= 2 || (o.a == 1 && m.textFile);
}

// Reads the selected members of the next `max` entries at most (after entry
// j) into block. Unsupported ones are counted and, for a visitor, kept with
// their code. UNZ_OK, or the code that ends the archive.
static int ReadBlock(size_t max, unsigned& j, std::vector<MEMBER>& block, int& error, unsigned& unsupported)
{
    while (block.size() < max && j < G->entriesTotal) {
        ++j;
        MEMBER m;
        int r = ReadEntry(j, m, nullptr, error);
        if (r)
            return r;
        if (!Selected(m.name, m.lcflag))
            continue;
        m.skipCode = 0;
        if (!Supported(m)) {
            ++unsupported;
            if (!G->run.visitor)
                continue;
            m.skipCode = UNZ_WARN;   // the visitor hears of it in its turn
        }
        Prepare(m);
        block.push_back(m);
    }
    return UNZ_OK;
}

// The visitor's block: the listing, then member by member. False when the
// visitor or an interrupt ends the run.
static bool VisitBlock(std::vector<MEMBER>& block, int archiveCode, bool& first, int& error)
{
    UNZVISITOR* visitor = G->run.visitor;
    std::vector<UNZCAPTURE> listing;
    uint64_t total = 0;
    for (const MEMBER& m : block) {
        listing.push_back(UNZCAPTURE{m.name, m.c.ucsize, (uint32_t)(m.c.date << 16 | m.c.time)});
        total += m.c.ucsize;
    }
    if (!visitor->Listed(listing, total, std::max(archiveCode, error)))
        return false;
    for (size_t i = 0; i < block.size(); ++i) {
        bool stop = false;
        int r = VisitMember(block[i], i, first, error, stop);
        first = false;
        error = std::max(error, r);
        if (stop)
            return false;
    }
    return true;
}

// Extracts or tests a block. False, with `error` the run's code, when an
// interrupt or a full disk ends the run.
static bool ExtractBlock(std::vector<MEMBER>& block, bool& first, int& error, unsigned& tested)
{
    for (MEMBER& m : block) {
        if (g_interrupted) {
            error = UNZ_INTR;
            return false;
        }
        UNZENTRY unused = {0, std::string(), false, false, false};
        int r = DoMember(m, first, error, unused);
        first = false;
        ++tested;
        error = std::max(error, r);
        if (r == UNZ_INTR || (r == UNZ_DISK && G->diskErr == 2)) {
            error = r;
            return false;
        }
    }
    return true;
}

// The names on the command line that matched nothing.
static int Unmatched()
{
    int error = UNZ_OK;
    for (size_t i = 0; i < G->incl.size(); ++i)
        if (!G->inclHit[i]) {
            Out(2, "caution: filename not matched:  %s\n", G->incl[i].c_str());
            error = UNZ_WARN;
        }
    for (size_t i = 0; i < G->excl.size(); ++i)
        if (!G->exclHit[i]) {
            Out(2, "caution: excluded filename not matched:  %s\n", G->excl[i].c_str());
            error = UNZ_WARN;
        }
    return error;
}

static void TestSummary(int error, unsigned tested, unsigned unsupported)
{
    const char* zn = G->zipfn.c_str();
    if (error > UNZ_OK)
        Out(1, "At least one %serror was detected in %s.\n", error == UNZ_WARN ? "warning-" : "", zn);
    else if (tested == 0)
        Out(1, "Caution:  zero files tested in %s.\n", zn);
    else if (!G->incl.empty())
        Out(1, "No errors detected in %s for the %u file%s tested.\n", zn, tested, tested == 1 ? "" : "s");
    else
        Out(1, "No errors detected in compressed data of %s.\n", zn);
    if (unsupported)
        Out(1, "%u file%s skipped because of unsupported compression or encoding.\n", unsupported,
            unsupported == 1 ? "" : "s");
}

int ExtractMembers(int archiveCode)
{
    OPTIONS& o = G->o;
    UNZVISITOR* visitor = G->run.visitor;
    G->testing = o.t != 0;
    G->toStdout = o.c != 0;
    int error = UNZ_OK;
    unsigned unsupported = 0, tested = 0;
    bool first = true;
    int64_t cdPos = G->in.Tell();
    unsigned j = 0;
    // A visitor sees the whole listing first: the directory is one block then.
    const size_t blockMax = visitor ? G->entriesTotal : 64;
    while (j < G->entriesTotal) {
        G->in.Seek(cdPos);
        std::vector<MEMBER> block;
        int r = ReadBlock(blockMax, j, block, error, unsupported);
        if (r)
            return std::max(error, r);
        cdPos = G->in.Tell();
        bool goOn = visitor ? VisitBlock(block, archiveCode, first, error) : ExtractBlock(block, first, error, tested);
        if (!goOn)
            return error;
    }
    error = std::max(error, Unmatched());
    G->in.Seek(cdPos);
    error = std::max(error, CheckDirectoryEnd());
    if (G->testing && o.q < 2)
        TestSummary(error, tested, unsupported);
    if (unsupported && error == UNZ_OK)
        error = UNZ_WARN;
    return error;
}

}  // namespace unz
