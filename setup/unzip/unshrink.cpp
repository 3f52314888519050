// Unshrink (method 1): LZW with codes of 9 to 13 bits. Code 256 escapes a
// control code: 1 widens the codes by one bit, 2 frees every leaf of the
// dictionary (partial clearing); freed codes are reused lowest first.
#include "codecutil.h"
#include <memory>
#include <new>

namespace unz {
namespace {

constexpr unsigned MAXCODE = 1 << 13, FIRSTFREE = 257;

class UNSHRINK {
public:
    UNSHRINK(CODECIO& io, const MEMBERINFO& m) : in_(io), out_(io), m_(m) {}
    int Run();
private:
    void Clear();
    void NextFree()
    {
        while (free_ < MAXCODE && used_[free_]) free_++;
    }
    // Writes the string of `code` backwards into stack_; returns its start or
    // -1 when the chain does not end in a literal.
    int Expand(unsigned code)
    {
        unsigned i = MAXCODE;
        while (code >= FIRSTFREE) {
            if (i == 0) return -1;
            stack_[--i] = value_[code];
            code = parent_[code];
        }
        if (code == 256 || i == 0) return -1;
        stack_[--i] = static_cast<uint8_t>(code);
        return static_cast<int>(i);
    }

    BITIN in_;
    OUTWIN out_;
    const MEMBERINFO& m_;
    unsigned free_ = FIRSTFREE;
    uint16_t parent_[MAXCODE] = {};
    uint8_t value_[MAXCODE] = {};
    bool used_[MAXCODE] = {};
    uint8_t stack_[MAXCODE];
};

void UNSHRINK::Clear()
{
    bool isParent[MAXCODE] = {};
    for (unsigned c = FIRSTFREE; c < MAXCODE; c++)
        if (used_[c]) isParent[parent_[c]] = true;
    for (unsigned c = FIRSTFREE; c < MAXCODE; c++)
        if (!isParent[c]) used_[c] = false;
    free_ = FIRSTFREE;
    NextFree();
}

int UNSHRINK::Run()
{
    for (unsigned c = 0; c < 256; c++) used_[c] = true;
    used_[256] = true;   // never a dictionary entry
    unsigned bits = 9;
    int prev = -1;
    while (out_.Total() < m_.ucsize) {
        unsigned code = in_.Get(bits);
        if (in_.Overrun()) return CODEC_BADDATA;
        if (code == 256) {
            unsigned ctl = in_.Get(bits);
            if (in_.Overrun()) return CODEC_BADDATA;
            if (ctl == 1 && bits < 13) bits++;
            else if (ctl == 2) Clear();
            else return CODEC_BADDATA;
            continue;
        }
        int start;
        if (prev < 0) {
            if (code > 255) return CODEC_BADDATA;
            start = Expand(code);
        } else if (used_[code]) {
            start = Expand(code);
            if (start < 0) return CODEC_BADDATA;
            if (free_ < MAXCODE) {
                parent_[free_] = static_cast<uint16_t>(prev);
                value_[free_] = stack_[start];
                used_[free_] = true;
                NextFree();
            }
        } else if (code == free_) {
            // The code being defined right now: previous string plus its own first byte.
            int p = Expand(static_cast<unsigned>(prev));
            if (p < 0) return CODEC_BADDATA;
            parent_[free_] = static_cast<uint16_t>(prev);
            value_[free_] = stack_[p];
            used_[free_] = true;
            NextFree();
            start = Expand(code);
        } else {
            return CODEC_BADDATA;
        }
        if (start < 0) return CODEC_BADDATA;
        for (unsigned i = static_cast<unsigned>(start); i < MAXCODE; i++) {
            if (out_.Total() >= m_.ucsize) break;
            if (!out_.Put(stack_[i])) return CODEC_STOPPED;
        }
        prev = static_cast<int>(code);
    }
    return out_.Flush() ? CODEC_OK : CODEC_STOPPED;
}

}  // namespace

int Unshrink(CODECIO& io, const MEMBERINFO& m)
{
    std::unique_ptr<UNSHRINK> s(new (std::nothrow) UNSHRINK(io, m));
    if (!s) return CODEC_NOMEM;
    return s->Run();
}

}  // namespace unz
