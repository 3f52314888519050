// Pieces the decompressors share: the prefix-code decoding tables, a bit
// reader over CODECIO::Fill, and the 32 KiB output window. Internal to the
// codecs; the engine sees only codec.h.
#pragma once
#include "codec.h"
#include <cstring>

namespace unz {

// One decoding-table entry (32 bits):
//   bits  0-7   bits to drop for this entry
//   bits  8-12  extra bits (HUF_EXT) or index bits of the sub-table (HUF_SUB)
//   bits 13-15  kind
//   bits 16-31  value: symbol, base value, or sub-table offset
enum : uint32_t {
    HUF_SYM = 0x0000,  // plain symbol
    HUF_EXT = 0x2000,  // base value followed by extra bits
    HUF_END = 0x4000,  // end of block
    HUF_SUB = 0x6000,  // pointer to a sub-table
    HUF_BAD = 0x8000,  // no code maps here
    HUF_KIND = 0xE000
};

inline uint32_t HufEntry(uint32_t kind, unsigned extra, unsigned value)
{
    return value << 16 | kind | extra << 8;
}

enum HUFRESULT { HUF_COMPLETE, HUF_INCOMPLETE, HUF_OVERSUBSCRIBED, HUF_TOOBIG };

// Builds a table with a primary index of `pbits` bits from the code lengths
// `len[0..n)` (0 = unused, at most 16). `sym[i]` is symbol i's entry without
// its length. Codes are the canonical ones of deflate, or with `shannonFano`
// the Shannon-Fano assignment of implode. `cap` is the table's room.
HUFRESULT HufBuild(uint32_t* table, unsigned cap, unsigned pbits, const uint8_t* len,
                   unsigned n, const uint32_t* sym, bool shannonFano);

// Bit reader for the byte-oriented codecs (explode, unshrink, unreduce).
// Past the end of the member it supplies zero bytes and counts them, so a
// decoder can tell that it read more than there was.
class BITIN {
public:
    explicit BITIN(CODECIO& io) : io_(io) {}
    unsigned Get(unsigned n)   // n <= 32
    {
        if (bc_ < n) Refill();
        unsigned v = static_cast<unsigned>(bb_ & ((uint64_t(1) << n) - 1));
        bb_ >>= n;
        bc_ -= n;
        return v;
    }
    uint64_t Peek(unsigned n)  // at least n valid (or padded) bits, n <= 56
    {
        if (bc_ < n) Refill();
        return bb_;
    }
    void Drop(unsigned n) { bb_ >>= n; bc_ -= n; }
    // True once bits beyond the member's data have been consumed.
    bool Overrun() const { return bc_ < pad_ * 8; }
    // Bytes consumed, a started byte counting whole (zero bytes past the end included).
    uint64_t Used() const { return got_ - (n_ - i_) + pad_ - bc_ / 8; }
private:
    void Refill()
    {
        while (bc_ <= 56) {
            if (i_ == n_ && !eof_) {
                n_ = eof_ ? 0 : io_.Fill(buf_, sizeof buf_);
                i_ = 0;
                got_ += n_;
                if (n_ == 0) eof_ = true;
            }
            uint64_t c = 0;
            if (i_ < n_) c = buf_[i_++];
            else pad_++;
            bb_ |= c << bc_;
            bc_ += 8;
        }
    }
    CODECIO& io_;
    uint64_t bb_ = 0;
    unsigned bc_ = 0;
    unsigned pad_ = 0;
    size_t n_ = 0, i_ = 0;
    uint64_t got_ = 0;
    bool eof_ = false;
    uint8_t buf_[4096];
};

// The 32 KiB output window of the byte-oriented codecs. It starts zeroed, so a
// copy reaching before the start of the output yields zeros.
class OUTWIN {
public:
    explicit OUTWIN(CODECIO& io) : io_(io) { memset(win_, 0, sizeof win_); }
    // False when Flush asked to stop.
    bool Put(uint8_t c)
    {
        win_[pos_++] = c;
        total_++;
        return pos_ < WSIZE || Flush();
    }
    bool Copy(unsigned dist, unsigned len)   // dist <= WSIZE
    {
        size_t s = (pos_ - dist) & (WSIZE - 1);
        while (len--) {
            uint8_t c = win_[s];
            s = (s + 1) & (WSIZE - 1);
            if (!Put(c)) return false;
        }
        return true;
    }
    bool Flush()
    {
        int rc = pos_ ? io_.Flush(win_, pos_) : 0;
        pos_ = 0;
        return rc == 0;
    }
    uint64_t Total() const { return total_; }
private:
    CODECIO& io_;
    size_t pos_ = 0;
    uint64_t total_ = 0;
    uint8_t win_[WSIZE];
};

}  // namespace unz
