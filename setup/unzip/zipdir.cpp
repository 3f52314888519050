// The central directory: fixed headers, names and the listings.
#include "unzpriv.h"
#include <algorithm>
#include <cctype>
#include <cstring>

namespace unz {

std::vector<UNZCAPTURE>& CaptureTable();
void CaptureAddTotal(uint64_t total);

unsigned Get16(const uint8_t* p) { return (unsigned)p[0] | ((unsigned)p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return (uint32_t)Get16(p) | ((uint32_t)Get16(p + 2) << 16); }

bool CheckSig(const uint8_t* sig) { return sig[0] == 0x50 && sig[1] == 0x4B; }

void DosDate(unsigned date, unsigned time, unsigned& y, unsigned& mo, unsigned& d, unsigned& h, unsigned& mi)
{
    y = ((date >> 9) & 0x7f) + 1980;
    mo = (date >> 5) & 0x0f;
    d = date & 0x1f;
    h = (time >> 11) & 0x1f;
    mi = (time >> 5) & 0x3f;
}

// Reads the signature and fixed part of the central header at the current
// position.
int ReadCentral(CENTRAL& c)
{
    uint8_t sig[4];
    if (G->in.Read(sig, 4) != 4 || memcmp(sig, G->sigCentral, 4) != 0)
        return UNZ_BADERR;
    uint8_t h[CEN_SIZE];
    if (G->in.Read(h, CEN_SIZE) != CEN_SIZE)
        return UNZ_EOF;
    c.verMade = h[CEN_VERMADE];
    c.hostMade = h[CEN_HOSTMADE];
    c.verNeed = h[CEN_VERNEED];
    c.hostNeed = h[CEN_HOSTNEED];
    c.flags = Get16(h + CEN_FLAGS);
    c.method = Get16(h + CEN_METHOD);
    c.time = Get16(h + CEN_TIME);
    c.date = Get16(h + CEN_DATE);
    c.crc = Get32(h + CEN_CRC);
    c.csize = Get32(h + CEN_CSIZE);
    c.ucsize = Get32(h + CEN_UCSIZE);
    c.nameLen = Get16(h + CEN_NAMELEN);
    c.extraLen = Get16(h + CEN_EXTRALEN);
    c.commentLen = Get16(h + CEN_COMMENTLEN);
    c.diskStart = Get16(h + CEN_DISKSTART);
    c.intAttr = Get16(h + CEN_INTATTR);
    c.extAttr = Get32(h + CEN_EXTATTR);
    c.localOffset = Get32(h + CEN_LOCALOFFSET);
    return UNZ_OK;
}

// Reads a name of `len` bytes; longer than 260 bytes it is cut with a warning.
// Returns 0, 1 (cut) or 51 (the archive ends first).
int ReadName(unsigned len, std::string& name)
{
    size_t keep = std::min<size_t>(len, NAMEMAX);
    name.assign(keep, '\0');
    if (G->in.Read(&name[0], keep) != keep)
        return UNZ_EOF;
    size_t nul = name.find('\0');
    if (nul != std::string::npos)
        name.resize(nul);
    if (len > NAMEMAX) {
        Out(2, "warning:  filename too long--truncating.\n");
        if (!G->in.Skip(len - NAMEMAX))
            return UNZ_EOF;
        Out(2, "[ %s ]\n", name.c_str());
        return UNZ_WARN;
    }
    return UNZ_OK;
}

// Names made on FAT-like hosts in capitals only are shown in lower case.
void ConvertName(std::string& name, const CENTRAL& c, bool& lcflag, bool volLabel)
{
    lcflag = false;
    static const unsigned hosts[] = {HOST_FAT, HOST_VMCMS, HOST_ATARI, HOST_CPM, HOST_NTFS};
    bool fatHost = std::find(std::begin(hosts), std::end(hosts), c.hostMade) != std::end(hosts);
    if (fatHost && !G->o.U) {
        bool lower = false;
        for (char ch : name)
            if (ch >= 'a' && ch <= 'z')
                lower = true;
        if (!lower) {
            for (char& ch : name)
                if (ch >= 'A' && ch <= 'Z')
                    ch = (char)(ch - 'A' + 'a');
            lcflag = true;
        }
    }
    if (volLabel && name.size() > 8 && name[8] == '.')
        name.erase(8, 1);
}

// Reads central entry j into m: its fixed part, its name (converted) and its
// comment into `comment` (skipped without one). UNZ_OK, or (after its
// message) the code that ends the archive; a warning of the name goes to error.
int ReadEntry(unsigned j, MEMBER& m, std::string* comment, int& error)
{
    int r = ReadCentral(m.c);
    if (r == UNZ_BADERR) {
        Out(2, "error:  expected central file header signature not found (file #%u).\n%s", j, BinaryNote());
        return r;
    }
    if (r) {
        Out(2, "error [%s]:  unexpected end of file\n", G->zipfn.c_str());
        return r;
    }
    r = ReadName(m.c.nameLen, m.name);
    if (r == UNZ_EOF) {
        Out(2, "%s:  bad filename length (%s)\n", G->zipfn.c_str(), "central");
        return UNZ_ERR;
    }
    error = std::max(error, r);
    if (!G->in.Skip(m.c.extraLen)) {
        Out(2, "%s:  bad extra field length (%s)\n", m.name.c_str(), "central");
        return UNZ_ERR;
    }
    bool commentRead;
    if (comment) {
        comment->assign(m.c.commentLen, '\0');
        commentRead = G->in.Read(&(*comment)[0], m.c.commentLen) == m.c.commentLen;
    } else {
        commentRead = G->in.Skip(m.c.commentLen);
    }
    if (!commentRead) {
        Out(2, "\n%s:  bad file comment length\n", m.name.c_str());
        return UNZ_ERR;
    }
    m.fileNo = j;
    m.volLabel = m.c.hostMade == HOST_FAT && (m.c.extAttr & DOSATTR_VOLUME);
    ConvertName(m.name, m.c, m.lcflag, m.volLabel);
    return UNZ_OK;
}

// The end record's signature, read where the directory should end.
int CheckDirectoryEnd()
{
    uint8_t sig[4];
    if (G->in.Read(sig, 4) == 4 && memcmp(sig, G->sigEnd, 4) == 0)
        return UNZ_OK;
    Out(2, "\nnote:  didn't find end-of-central-dir signature at end of central dir.\n");
    return UNZ_WARN;
}

static const char* ShortMethod(unsigned method, unsigned flags, char* buf)
{
    static const char* names[] = {"Stored", "Shrunk", "Reduce1", "Reduce2", "Reduce3", "Reduce4", "Implode", "Token"};
    if (method <= METHOD_TOKENIZED)
        return names[method];
    if (method == METHOD_DEFLATED) {
        snprintf(buf, 8, "Defl:%c", "NXFS"[(flags >> 1) & 3]);
        return buf;
    }
    snprintf(buf, 12, "Unk:%03u", method % 1000);
    return buf;
}

// Saving in per cent as " 52%" or "-3%"; an empty member saves nothing.
static void Ratio(uint64_t size, uint64_t csize, char* buf)
{
    long long r = 0;
    if (size > 2000000)
        r = ((long long)(size / 2000) + (long long)size - (long long)csize) / (long long)(size / 1000);
    else if (size > 0)
        r = ((long long)size * 1000 + (long long)(size / 2) - (long long)csize * 1000) / (long long)size;
    char sign = r < 0 ? '-' : ' ';
    long long a = r < 0 ? -r : r;
    snprintf(buf, 16, "%c%lld%%", sign, (a + 5) / 10);
}

static std::string Printable(const std::string& name)
{
    std::string s;
    for (char ch : name) {
        unsigned char u = (unsigned char)ch;
        if (u < 0x20) {
            s += '^';
            s += (char)(u + 64);
        } else {
            s += ch;
        }
    }
    return s;
}

// A pattern also takes the member whose name it spells exactly, so that a
// caller can name "file[1].txt" although backslash escapes never survive.
static bool Takes(const std::string& pattern, const std::string& name, bool ignoreCase)
{
    if (pattern.size() == name.size()) {
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i)
            same = ignoreCase ? tolower((unsigned char)pattern[i]) == tolower((unsigned char)name[i])
                              : pattern[i] == name[i];
        if (same)
            return true;
    }
    return Match(pattern.c_str(), name.c_str(), ignoreCase);
}

bool Selected(const std::string& name, bool ignoreCase)
{
    bool take = G->incl.empty();
    for (size_t i = 0; i < G->incl.size(); ++i)
        if (Takes(G->incl[i], name, ignoreCase)) {
            G->inclHit[i] = true;
            take = true;
        }
    if (!take)
        return false;
    for (size_t i = 0; i < G->excl.size(); ++i)
        if (Takes(G->excl[i], name, ignoreCase)) {
            G->exclHit[i] = true;
            take = false;
        }
    return take;
}

static void ListHeading(bool verbose)
{
    const char* head = verbose ? " Length  Method   Size  Ratio   Date    Time   CRC-32     Name"
                               : " Length    Date    Time    Name";
    const char* dash = verbose ? " ------  ------   ----  -----   ----    ----   ------     ----"
                               : " ------    ----    ----    ----";
    if (!G->o.U)
        Out(1, "%s (\"^\" ==> case\n%s   conversion)\n", head, dash);
    else
        Out(1, "%s\n%s\n", head, dash);
}

// One member's line; its compressed size (without the encryption header) is returned.
static uint64_t ListLine(const MEMBER& m, bool verbose)
{
    const CENTRAL& c = m.c;
    uint64_t csize = c.csize;
    if (c.flags & FLAG_ENCRYPTED)
        csize = csize > 12 ? csize - 12 : 0;
    unsigned y, mo, d, h, mi;
    DosDate(c.date, c.time, y, mo, d, h, mi);
    char mbuf[16], rbuf[16];
    std::string shown = Printable(m.name);
    if (verbose) {
        Ratio(c.ucsize, csize, rbuf);
        Out(1, "%7lu  %-7s%7lu %4s  %02u-%02u-%02u  %02u:%02u  %08lx  %c%s\n", (unsigned long)c.ucsize,
            ShortMethod(c.method, c.flags, mbuf), (unsigned long)csize, rbuf, mo, d, y % 100, h, mi,
            (unsigned long)c.crc, m.lcflag ? '^' : ' ', shown.c_str());
    } else {
        Out(1, "%7lu  %02u-%02u-%02u  %02u:%02u  %c%s\n", (unsigned long)c.ucsize, mo, d, y % 100, h, mi,
            m.lcflag ? '^' : ' ', shown.c_str());
    }
    return csize;
}

static void ListTotals(bool verbose, uint64_t total, uint64_t ctotal, unsigned members)
{
    if (verbose) {
        char rbuf[16];
        Ratio(total, ctotal, rbuf);
        Out(1, " ------          ------  ---                              -------\n"
               "%7llu         %7llu %4s                              %-7u\n",
            (unsigned long long)total, (unsigned long long)ctotal, rbuf, members);
    } else {
        Out(1, " ------                    -------\n%7llu                    %-7u\n", (unsigned long long)total,
            members);
    }
}

int ListMembers()
{
    OPTIONS& o = G->o;
    bool verbose = o.level >= 2;
    int error = UNZ_OK;
    if (o.q < 2)
        ListHeading(verbose);
    uint64_t total = 0, ctotal = 0;
    unsigned members = 0;
    for (unsigned j = 1; j <= G->entriesTotal; ++j) {
        MEMBER m;
        std::string comment;
        int r = ReadEntry(j, m, &comment, error);
        if (r)
            return std::max(error, r);
        if (!Selected(m.name, m.lcflag))
            continue;
        uint64_t csize = ListLine(m, verbose);
        CaptureTable().push_back(UNZCAPTURE{m.name, m.c.ucsize, (uint32_t)(m.c.date << 16 | m.c.time)});
        total += m.c.ucsize;
        ctotal += csize;
        ++members;
        if (!o.q && !comment.empty()) {
            comment += '\n';
            OutRaw(1, comment.data(), comment.size());
        }
    }
    CaptureAddTotal(total);
    if (o.q < 2)
        ListTotals(verbose, total, ctotal, members);
    return std::max(error, CheckDirectoryEnd());
}

}  // namespace unz
