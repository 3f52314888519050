// Explode (method 6): a 4 or 8 KiB sliding dictionary whose literals, lengths
// and distances are Shannon-Fano coded with two or three trees sent up front.
#include "codecutil.h"
#include <memory>
#include <new>

namespace unz {
namespace {

constexpr unsigned TCAP = 512 + 256 * 128;   // enough for any 9-bit table of 256 codes

class EXPLODE {
public:
    EXPLODE(CODECIO& io, const MEMBERINFO& m) : in_(io), out_(io), m_(m) {}
    int Run();
    uint64_t Used() const { return in_.Used(); }
private:
    bool ReadTree(uint32_t* t, unsigned n, unsigned pbits);
    bool Decode(const uint32_t* t, unsigned pbits, unsigned& v);

    BITIN in_;
    OUTWIN out_;
    const MEMBERINFO& m_;
    uint32_t lit_[TCAP], len_[TCAP], dist_[TCAP];
};

// A tree arrives as a count byte, then that many plus one bytes each giving
// (high nibble + 1) codes of length (low nibble + 1).
bool EXPLODE::ReadTree(uint32_t* t, unsigned n, unsigned pbits)
{
    uint8_t len[256];
    uint32_t sym[256];
    unsigned bytes = in_.Get(8) + 1, k = 0;
    while (bytes--) {
        unsigned b = in_.Get(8), count = (b >> 4) + 1, l = (b & 15) + 1;
        if (k + count > n) return false;
        while (count--) len[k++] = static_cast<uint8_t>(l);
    }
    if (k != n || in_.Overrun()) return false;
    for (unsigned i = 0; i < n; i++) sym[i] = HufEntry(HUF_SYM, 0, i);
    HUFRESULT r = HufBuild(t, TCAP, pbits, len, n, sym, true);
    return r == HUF_COMPLETE || r == HUF_INCOMPLETE;
}

bool EXPLODE::Decode(const uint32_t* t, unsigned pbits, unsigned& v)
{
    uint64_t b = in_.Peek(16);
    uint32_t e = t[b & ((1u << pbits) - 1)];
    if ((e & HUF_KIND) == HUF_SUB) {
        in_.Drop(pbits);
        e = t[(e >> 16) + ((b >> pbits) & ((1u << ((e >> 8) & 0x1F)) - 1))];
    }
    if ((e & HUF_KIND) != HUF_SYM) return false;
    in_.Drop(e & 0xFF);
    v = e >> 16;
    return true;
}

int EXPLODE::Run()
{
    bool bigWindow = m_.flags & 2, litTree = m_.flags & 4;
    unsigned minMatch = litTree ? 3 : 2, lowBits = bigWindow ? 7 : 6;
    unsigned lbits = 9, llbits = 7, dbits = m_.csize > 200000 ? 8 : 7;
    if (litTree && !ReadTree(lit_, 256, lbits)) return CODEC_BADDATA;
    if (!ReadTree(len_, 64, llbits) || !ReadTree(dist_, 64, dbits)) return CODEC_BADDATA;
    while (out_.Total() < m_.ucsize) {
        unsigned v;
        if (in_.Get(1)) {
            if (!litTree) v = in_.Get(8);
            else if (!Decode(lit_, lbits, v)) return CODEC_BADDATA;
            if (in_.Overrun()) return CODEC_BADDATA;
            if (!out_.Put(static_cast<uint8_t>(v))) return CODEC_STOPPED;
            continue;
        }
        unsigned dist = in_.Get(lowBits), hi, len;
        if (!Decode(dist_, dbits, hi) || !Decode(len_, llbits, len)) return CODEC_BADDATA;
        dist |= hi << lowBits;
        len += minMatch;
        if (len == 63 + minMatch) len += in_.Get(8);
        if (in_.Overrun()) return CODEC_BADDATA;
        uint64_t left = m_.ucsize - out_.Total();
        if (len > left) len = static_cast<unsigned>(left);
        if (!out_.Copy(dist + 1, len)) return CODEC_STOPPED;
    }
    return out_.Flush() ? CODEC_OK : CODEC_STOPPED;
}

}  // namespace

int Explode(CODECIO& io, const MEMBERINFO& m, uint64_t& used)
{
    used = 0;
    std::unique_ptr<EXPLODE> s(new (std::nothrow) EXPLODE(io, m));
    if (!s) return CODEC_NOMEM;
    int rc = s->Run();
    used = s->Used();
    return rc;
}

}  // namespace unz
