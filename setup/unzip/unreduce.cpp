// Unreduce (methods 2 to 5): bytes coded against per-byte follower sets, then
// expanded by the DLE (144) escape into literal 144s and back-references.
#include "codecutil.h"
#include <memory>
#include <new>

namespace unz {
namespace {

constexpr unsigned DLE = 144;

class UNREDUCE {
public:
    UNREDUCE(CODECIO& io, const MEMBERINFO& m, int factor) : in_(io), out_(io), m_(m), factor_(factor) {}
    int Run();
private:
    BITIN in_;
    OUTWIN out_;
    const MEMBERINFO& m_;
    int factor_;
    uint8_t count_[256];
    uint8_t set_[256][32];
};

// Bits needed to send an index below n (n >= 1).
unsigned IndexBits(unsigned n)
{
    unsigned b = 1;
    while ((1u << b) < n) b++;
    return b;
}

int UNREDUCE::Run()
{
    if (factor_ < 1 || factor_ > 4) return CODEC_BADDATA;
    for (int j = 255; j >= 0; j--) {
        unsigned n = in_.Get(6);
        if (n > 32) return CODEC_BADDATA;
        count_[j] = static_cast<uint8_t>(n);
        for (unsigned i = 0; i < n; i++) set_[j][i] = static_cast<uint8_t>(in_.Get(8));
    }
    if (in_.Overrun()) return CODEC_BADDATA;

    unsigned lenMask = 0xFFu >> factor_, last = 0, state = 0, v = 0, len = 0;
    while (out_.Total() < m_.ucsize) {
        // First stage: one byte through the follower set of the last one.
        unsigned c, n = count_[last];
        if (n == 0 || in_.Get(1)) {
            c = in_.Get(8);
        } else {
            unsigned i = in_.Get(IndexBits(n));
            if (i >= n) return CODEC_BADDATA;
            c = set_[last][i];
        }
        if (in_.Overrun()) return CODEC_BADDATA;
        last = c;

        // Second stage: the DLE state machine.
        bool ok = true;
        switch (state) {
        case 0:
            if (c != DLE) ok = out_.Put(static_cast<uint8_t>(c));
            else state = 1;
            break;
        case 1:
            if (c == 0) {
                ok = out_.Put(DLE);
                state = 0;
            } else {
                v = c;
                len = c & lenMask;
                state = len == lenMask ? 2 : 3;
            }
            break;
        case 2:
            len += c;
            state = 3;
            break;
        default: {
            unsigned dist = (v >> (8 - factor_)) * 256 + c + 1;
            uint64_t n3 = len + 3, left = m_.ucsize - out_.Total();
            ok = out_.Copy(dist, static_cast<unsigned>(n3 < left ? n3 : left));
            state = 0;
            break;
        }
        }
        if (!ok) return CODEC_STOPPED;
    }
    return out_.Flush() ? CODEC_OK : CODEC_STOPPED;
}

}  // namespace

int Unreduce(CODECIO& io, const MEMBERINFO& m, int factor)
{
    std::unique_ptr<UNREDUCE> s(new (std::nothrow) UNREDUCE(io, m, factor));
    if (!s) return CODEC_NOMEM;
    return s->Run();
}

}  // namespace unz
