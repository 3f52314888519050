// Inflate (deflate decoder): table-driven, with a 64-bit bit buffer refilled a
// word at a time and the output written straight into a double window whose
// upper half is handed to Flush as it fills.
#include "codecutil.h"
#include <memory>
#include <new>

namespace unz {
namespace {

constexpr unsigned LBITS = 10, DBITS = 8;        // primary table index bits
constexpr unsigned LCAP = 1024 + 288 * 32, DCAP = 256 + 32 * 128, CCAP = 128;
constexpr size_t INSIZE = 0x8000;
constexpr size_t OUTLIM = 2 * WSIZE;             // upper half full: flush it
constexpr size_t SLACK = 258 + 32;               // one copy plus its overrun

const uint16_t LBASE[29] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31,
                            35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t LEXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                            3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t DBASE[30] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129,
                            193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097,
                            6145, 8193, 12289, 16385, 24577};
const uint8_t DEXTRA[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                            6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const uint8_t CLORDER[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Per-symbol entries, shared by every table build.
struct SYMBOLS {
    uint32_t lit[288], dist[32], cl[19];
    SYMBOLS()
    {
        for (unsigned i = 0; i < 256; i++) lit[i] = HufEntry(HUF_SYM, 0, i);
        lit[256] = HufEntry(HUF_END, 0, 0);
        for (unsigned i = 0; i < 29; i++) lit[257 + i] = HufEntry(HUF_EXT, LEXTRA[i], LBASE[i]);
        lit[286] = lit[287] = HUF_BAD;
        for (unsigned i = 0; i < 30; i++) dist[i] = HufEntry(HUF_EXT, DEXTRA[i], DBASE[i]);
        dist[30] = dist[31] = HUF_BAD;
        for (unsigned i = 0; i < 19; i++) cl[i] = HufEntry(HUF_SYM, 0, i);
    }
};
const SYMBOLS symbols;

inline uint64_t Load64(const uint8_t* p)
{
    uint64_t v;
    memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

class INFLATE {
public:
    explicit INFLATE(CODECIO& io) : io_(io) { memset(out_, 0, WSIZE); }
    int Run();
private:
    enum { OK = CODEC_OK, BAD = CODEC_BADDATA, STOP = CODEC_STOPPED };
    // Tops the bit buffer up to at least 56 bits; past the end of the input
    // it adds zero bytes. False when bits past the end were already consumed.
    bool Refill()
    {
        if (end_ - p_ >= 8) {
            bb_ |= Load64(p_) << bc_;
            p_ += (63 - bc_) >> 3;
            bc_ |= 56;
            return true;
        }
        return SlowRefill();
    }
    bool SlowRefill();
    void MoreInput();
    unsigned Bits(unsigned n)   // n <= 32, after Refill
    {
        unsigned v = static_cast<unsigned>(bb_ & ((uint64_t(1) << n) - 1));
        bb_ >>= n;
        bc_ -= n;
        return v;
    }
    bool Overrun() const { return bc_ < pad_ * 8; }
    int Stored();
    int Dynamic();
    void Fixed();
    int Codes();
    bool Slide();
    bool FlushAll();

    CODECIO& io_;
    uint64_t bb_ = 0;          // bit buffer, next bit lowest
    unsigned bc_ = 0;          // bits in it
    unsigned pad_ = 0;         // zero bytes added past the end of the input
    const uint8_t* p_ = in_;
    const uint8_t* end_ = in_;
    bool eof_ = false;
    size_t pos_ = WSIZE;       // output position; out_[0, WSIZE) is history
    uint32_t lt_[LCAP];
    uint32_t dt_[DCAP];
    uint8_t in_[INSIZE];
    uint8_t out_[OUTLIM + SLACK];
};

void INFLATE::MoreInput()
{
    size_t left = end_ - p_;
    memmove(in_, p_, left);
    p_ = in_;
    end_ = in_ + left;
    while (!eof_ && end_ < in_ + INSIZE) {
        size_t n = io_.Fill(const_cast<uint8_t*>(end_), in_ + INSIZE - end_);
        if (n == 0) eof_ = true;
        end_ += n;
    }
}

bool INFLATE::SlowRefill()
{
    if (!eof_) {
        MoreInput();
        if (end_ - p_ >= 8) return Refill();
    }
    if (Overrun()) return false;
    while (bc_ <= 56) {
        if (p_ < end_) bb_ |= uint64_t(*p_++) << bc_;
        else pad_++;
        bc_ += 8;
    }
    return true;
}

bool INFLATE::Slide()
{
    if (io_.Flush(out_ + WSIZE, WSIZE)) return false;
    memmove(out_, out_ + WSIZE, pos_ - WSIZE);
    pos_ -= WSIZE;
    return true;
}

bool INFLATE::FlushAll()
{
    while (pos_ > WSIZE) {
        size_t n = pos_ - WSIZE < WSIZE ? pos_ - WSIZE : WSIZE;
        if (io_.Flush(out_ + WSIZE, n)) return false;
        memmove(out_ + WSIZE, out_ + WSIZE + n, pos_ - WSIZE - n);
        pos_ -= n;
    }
    return true;
}

int INFLATE::Stored()
{
    // Whole bytes still in the bit buffer come first, then the input buffer.
    Bits(bc_ & 7);
    if (!Refill()) return BAD;
    unsigned len = Bits(16), nlen = Bits(16);
    if (Overrun() || len != (~nlen & 0xFFFF)) return BAD;
    while (len) {
        if (pos_ >= OUTLIM && !Slide()) return STOP;
        if (bc_ >= 8) {
            out_[pos_++] = static_cast<uint8_t>(Bits(8));
            len--;
            continue;
        }
        if (p_ == end_) {
            if (eof_) return BAD;
            MoreInput();
            continue;
        }
        // The buffer is byte aligned and empty here.
        bb_ = 0;
        bc_ = 0;
        size_t n = len;
        if (n > size_t(end_ - p_)) n = end_ - p_;
        if (n > OUTLIM - pos_) n = OUTLIM - pos_;
        memcpy(out_ + pos_, p_, n);
        p_ += n;
        pos_ += n;
        len -= static_cast<unsigned>(n);
    }
    return Overrun() ? BAD : OK;
}

void INFLATE::Fixed()
{
    uint8_t len[288 + 32];
    memset(len, 8, 144);
    memset(len + 144, 9, 112);
    memset(len + 256, 7, 24);
    memset(len + 280, 8, 8);
    memset(len + 288, 5, 32);
    HufBuild(lt_, LCAP, LBITS, len, 288, symbols.lit, false);
    HufBuild(dt_, DCAP, DBITS, len + 288, 32, symbols.dist, false);
}

int INFLATE::Dynamic()
{
    if (!Refill()) return BAD;
    unsigned nlit = Bits(5) + 257, ndist = Bits(5) + 1, ncl = Bits(4) + 4;
    if (nlit > 286 || ndist > 30) return BAD;
    uint8_t len[288 + 32] = {};
    for (unsigned i = 0; i < ncl; i++) {
        if (!Refill()) return BAD;
        len[CLORDER[i]] = static_cast<uint8_t>(Bits(3));
    }
    uint32_t ct[CCAP];
    if (HufBuild(ct, CCAP, 7, len, 19, symbols.cl, false) != HUF_COMPLETE) return BAD;

    memset(len, 0, sizeof len);
    for (unsigned i = 0; i < nlit + ndist;) {
        if (!Refill()) return BAD;
        uint32_t e = ct[bb_ & 0x7F];
        if (e & HUF_BAD) return BAD;
        Bits(e & 0xFF);
        unsigned s = e >> 16, rep;
        uint8_t v = 0;
        if (s < 16) {
            len[i++] = static_cast<uint8_t>(s);
            continue;
        }
        if (s == 16) {
            if (i == 0) return BAD;
            v = len[i - 1];
            rep = 3 + Bits(2);
        } else if (s == 17) {
            rep = 3 + Bits(3);
        } else {
            rep = 11 + Bits(7);
        }
        if (i + rep > nlit + ndist) return BAD;
        while (rep--) len[i++] = v;
    }
    if (Overrun()) return BAD;
    // Distance lengths follow the literal/length ones directly.
    uint8_t dlen[32];
    memcpy(dlen, len + nlit, ndist);

    HUFRESULT r = HufBuild(lt_, LCAP, LBITS, len, nlit, symbols.lit, false);
    if (r == HUF_INCOMPLETE) io_.Note("(incomplete l-tree)  ");
    if (r != HUF_COMPLETE) return BAD;
    unsigned used = 0;
    for (unsigned i = 0; i < ndist; i++) used += dlen[i] != 0;
    r = HufBuild(dt_, DCAP, DBITS, dlen, ndist, symbols.dist, false);
    if (r == HUF_INCOMPLETE && used) io_.Note("(incomplete d-tree)  ");
    if (r != HUF_COMPLETE && r != HUF_INCOMPLETE) return BAD;
    return OK;
}

// Decodes literal/length and distance codes until the end of the block.
int INFLATE::Codes()
{
    const uint32_t* lt = lt_;
    const uint32_t* dt = dt_;
    uint8_t* out = out_;
    for (;;) {
        if (pos_ >= OUTLIM && !Slide()) return STOP;
        if (end_ - p_ >= 8) {
            bb_ |= Load64(p_) << bc_;
            p_ += (63 - bc_) >> 3;
            bc_ |= 56;
        } else if (!SlowRefill()) {
            return BAD;
        }
        uint32_t e = lt[bb_ & ((1u << LBITS) - 1)];
        if ((e & HUF_KIND) == HUF_SUB) {
            bb_ >>= LBITS;
            bc_ -= LBITS;
            e = lt[(e >> 16) + (bb_ & ((1u << ((e >> 8) & 0x1F)) - 1))];
        }
        bb_ >>= e & 0xFF;
        bc_ -= e & 0xFF;
        if ((e & HUF_KIND) == HUF_SYM) {
            out[pos_++] = static_cast<uint8_t>(e >> 16);
            // A second literal often fits in the bits already loaded.
            uint32_t e2 = lt[bb_ & ((1u << LBITS) - 1)];
            if ((e2 & HUF_KIND) == HUF_SYM && bc_ >= LBITS) {
                bb_ >>= e2 & 0xFF;
                bc_ -= e2 & 0xFF;
                out[pos_++] = static_cast<uint8_t>(e2 >> 16);
            }
            continue;
        }
        if ((e & HUF_KIND) != HUF_EXT) {
            if ((e & HUF_KIND) == HUF_END) return Overrun() ? BAD : OK;
            return BAD;
        }
        unsigned x = (e >> 8) & 0x1F;
        unsigned len = (e >> 16) + static_cast<unsigned>(bb_ & ((1u << x) - 1));
        bb_ >>= x;
        bc_ -= x;
        e = dt[bb_ & ((1u << DBITS) - 1)];
        if ((e & HUF_KIND) == HUF_SUB) {
            bb_ >>= DBITS;
            bc_ -= DBITS;
            e = dt[(e >> 16) + (bb_ & ((1u << ((e >> 8) & 0x1F)) - 1))];
        }
        if ((e & HUF_KIND) != HUF_EXT) return BAD;
        bb_ >>= e & 0xFF;
        bc_ -= e & 0xFF;
        x = (e >> 8) & 0x1F;
        unsigned dist = (e >> 16) + static_cast<unsigned>(bb_ & ((1u << x) - 1));
        bb_ >>= x;
        bc_ -= x;

        // pos_ >= WSIZE >= dist: the source is always inside the buffer (the
        // zeroed history stands in for anything before the output's start).
        uint8_t* d = out + pos_;
        const uint8_t* s = d - dist;
        uint8_t* stop = d + len;
        pos_ += len;
        if (dist >= 16) {
            do {
                memcpy(d, s, 16);
                d += 16;
                s += 16;
            } while (d < stop);
        } else if (dist >= 8) {
            do {
                memcpy(d, s, 8);
                d += 8;
                s += 8;
            } while (d < stop);
        } else if (dist == 1) {
            memset(d, *s, len);
        } else {
            do *d++ = *s++;
            while (d < stop);
        }
    }
}

int INFLATE::Run()
{
    bool fixed = false;
    for (;;) {
        if (!Refill()) return BAD;
        unsigned last = Bits(1), type = Bits(2);
        int rc;
        if (type == 0) {
            rc = Stored();
        } else if (type == 1) {
            if (!fixed) Fixed();
            fixed = true;
            rc = Codes();
        } else if (type == 2) {
            fixed = false;
            rc = Dynamic();
            if (rc == OK) rc = Codes();
        } else {
            rc = BAD;
        }
        if (rc != OK) return rc;
        if (Overrun()) return BAD;
        if (last) break;
    }
    return FlushAll() ? OK : STOP;
}

}  // namespace

int Inflate(CODECIO& io)
{
    std::unique_ptr<INFLATE> s(new (std::nothrow) INFLATE(io));
    if (!s) return CODEC_NOMEM;
    return s->Run();
}

}  // namespace unz
