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
    uint8_t h[42];
    if (G->in.Read(h, 42) != 42)
        return UNZ_EOF;
    c.verMade = h[0];
    c.hostMade = h[1];
    c.verNeed = h[2];
    c.hostNeed = h[3];
    c.flags = Get16(h + 4);
    c.method = Get16(h + 6);
    c.time = Get16(h + 8);
    c.date = Get16(h + 10);
    c.crc = Get32(h + 12);
    c.csize = Get32(h + 16);
    c.ucsize = Get32(h + 20);
    c.nameLen = Get16(h + 24);
    c.extraLen = Get16(h + 26);
    c.commentLen = Get16(h + 28);
    c.diskStart = Get16(h + 30);
    c.intAttr = Get16(h + 32);
    c.extAttr = Get32(h + 34);
    c.localOffset = Get32(h + 38);
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
    static const unsigned hosts[] = {0, 4, 5, 9, 10};
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

static const char* ShortMethod(unsigned method, unsigned flags, char* buf)
{
    static const char* names[] = {"Stored", "Shrunk", "Reduce1", "Reduce2", "Reduce3", "Reduce4", "Implode", "Token"};
    if (method < 8)
        return names[method];
    if (method == 8) {
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

int ListMembers()
{
    OPTIONS& o = G->o;
    bool verbose = o.level >= 2;
    int error = UNZ_OK;
    if (o.q < 2) {
        const char* head = verbose ? " Length  Method   Size  Ratio   Date    Time   CRC-32     Name"
                                   : " Length    Date    Time    Name";
        const char* dash = verbose ? " ------  ------   ----  -----   ----    ----   ------     ----"
                                   : " ------    ----    ----    ----";
        if (!o.U)
            Out(1, "%s (\"^\" ==> case\n%s   conversion)\n", head, dash);
        else
            Out(1, "%s\n%s\n", head, dash);
    }
    uint64_t total = 0, ctotal = 0;
    unsigned members = 0;
    for (unsigned j = 1; j <= G->entriesTotal; ++j) {
        CENTRAL c;
        int r = ReadCentral(c);
        if (r == UNZ_BADERR) {
            Out(2, "error:  expected central file header signature not found (file #%u).\n%s", j, BinaryNote());
            return std::max(error, r);
        }
        if (r) {
            Out(2, "error [%s]:  unexpected end of file\n", G->zipfn.c_str());
            return std::max(error, r);
        }
        std::string name;
        r = ReadName(c.nameLen, name);
        if (r == UNZ_EOF) {
            Out(2, "%s:  bad filename length (%s)\n", G->zipfn.c_str(), "central");
            return std::max(error, (int)UNZ_ERR);
        }
        error = std::max(error, r);
        if (!G->in.Skip(c.extraLen)) {
            Out(2, "%s:  bad extra field length (%s)\n", name.c_str(), "central");
            return std::max(error, (int)UNZ_ERR);
        }
        std::string comment(c.commentLen, '\0');
        if (G->in.Read(&comment[0], c.commentLen) != c.commentLen) {
            Out(2, "\n%s:  bad file comment length\n", name.c_str());
            return std::max(error, (int)UNZ_ERR);
        }
        bool lcflag;
        bool volLabel = c.hostMade == 0 && (c.extAttr & 0x08);
        ConvertName(name, c, lcflag, volLabel);
        if (!Selected(name, lcflag))
            continue;

        uint64_t csize = c.csize;
        if (c.flags & 1)
            csize = csize > 12 ? csize - 12 : 0;
        unsigned y, mo, d, h, mi;
        DosDate(c.date, c.time, y, mo, d, h, mi);
        char mbuf[16], rbuf[16];
        std::string shown = Printable(name);
        if (verbose) {
            Ratio(c.ucsize, csize, rbuf);
            Out(1, "%7lu  %-7s%7lu %4s  %02u-%02u-%02u  %02u:%02u  %08lx  %c%s\n", (unsigned long)c.ucsize,
                ShortMethod(c.method, c.flags, mbuf), (unsigned long)csize, rbuf, mo, d, y % 100, h, mi,
                (unsigned long)c.crc, lcflag ? '^' : ' ', shown.c_str());
        } else {
            Out(1, "%7lu  %02u-%02u-%02u  %02u:%02u  %c%s\n", (unsigned long)c.ucsize, mo, d, y % 100, h, mi,
                lcflag ? '^' : ' ', shown.c_str());
        }
        CaptureTable().push_back(UNZCAPTURE{name, c.ucsize, (uint32_t)(c.date << 16 | c.time)});
        total += c.ucsize;
        ctotal += csize;
        ++members;
        if (!o.q && !comment.empty()) {
            comment += '\n';
            OutRaw(1, comment.data(), comment.size());
        }
    }
    CaptureAddTotal(total);
    if (o.q < 2) {
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
    uint8_t sig[4];
    if (G->in.Read(sig, 4) != 4 || memcmp(sig, G->sigEnd, 4) != 0) {
        Out(2, "\nnote:  didn't find end-of-central-dir signature at end of central dir.\n");
        error = std::max(error, (int)UNZ_WARN);
    }
    return error;
}

}  // namespace unz
