// Decoding tables for the prefix codes of deflate and implode.
#include "codecutil.h"

namespace unz {

static unsigned Reverse(unsigned code, unsigned len)
{
    unsigned r = 0;
    while (len--) {
        r = r << 1 | (code & 1);
        code >>= 1;
    }
    return r;
}

HUFRESULT HufBuild(uint32_t* t, unsigned cap, unsigned pbits, const uint8_t* len, unsigned n,
                   const uint32_t* sym, bool shannonFano)
{
    enum { MAXLEN = 16, MAXSYM = 320 };
    if (n > MAXSYM || (1u << pbits) > cap) return HUF_TOOBIG;
    unsigned count[MAXLEN + 1] = {};
    for (unsigned i = 0; i < n; i++) {
        if (len[i] > MAXLEN) return HUF_OVERSUBSCRIBED;
        count[len[i]]++;
    }
    // Kraft sum in units of 2^-16.
    uint32_t room = 1u << MAXLEN, used = 0;
    for (unsigned l = 1; l <= MAXLEN; l++) used += count[l] << (MAXLEN - l);
    if (used > room) return HUF_OVERSUBSCRIBED;
    HUFRESULT result = used == room ? HUF_COMPLETE : HUF_INCOMPLETE;

    // Codes, bit-reversed so that they index a buffer filled LSB first.
    uint16_t rev[MAXSYM];
    if (!shannonFano) {
        unsigned next[MAXLEN + 2] = {}, code = 0;
        for (unsigned l = 1; l <= MAXLEN; l++) {
            code = (code + count[l - 1] * (l > 1)) << 1;
            next[l] = code;
        }
        for (unsigned i = 0; i < n; i++)
            if (len[i]) rev[i] = static_cast<uint16_t>(Reverse(next[len[i]]++, len[i]));
    } else {
        // Longest codes first (stable by symbol), counting up from zero in
        // 16-bit left-aligned form.
        uint16_t order[MAXSYM];
        unsigned k = 0;
        for (unsigned l = MAXLEN; l >= 1; l--)
            for (unsigned i = n; i-- > 0;)
                if (len[i] == l) order[k++] = static_cast<uint16_t>(i);
        uint32_t code = 0, inc = 0;
        unsigned last = 0;
        for (unsigned j = 0; j < k; j++) {
            unsigned i = order[j];
            code += inc;
            if (len[i] != last) {
                last = len[i];
                inc = 1u << (MAXLEN - last);
            }
            rev[i] = static_cast<uint16_t>(Reverse((code & 0xFFFF) >> (MAXLEN - len[i]), len[i]));
        }
    }

    // Primary table, then one sub-table per primary slot that longer codes share.
    unsigned psize = 1u << pbits, pmask = psize - 1;
    uint8_t longest[1u << 12] = {};
    if (psize > sizeof longest) return HUF_TOOBIG;
    for (unsigned i = 0; i < psize; i++) t[i] = HUF_BAD;
    for (unsigned i = 0; i < n; i++)
        if (len[i] > pbits && len[i] > longest[rev[i] & pmask]) longest[rev[i] & pmask] = len[i];
    unsigned off = psize;
    for (unsigned i = 0; i < psize; i++) {
        if (!longest[i]) continue;
        unsigned sb = longest[i] - pbits;
        if (off + (1u << sb) > cap) return HUF_TOOBIG;
        t[i] = HufEntry(HUF_SUB, sb, off) | pbits;
        for (unsigned j = 0; j < (1u << sb); j++) t[off + j] = HUF_BAD;
        off += 1u << sb;
    }
    for (unsigned i = 0; i < n; i++) {
        unsigned l = len[i];
        if (!l) continue;
        if (l <= pbits) {
            for (unsigned j = rev[i]; j < psize; j += 1u << l)
                if ((t[j] & HUF_KIND) != HUF_SUB) t[j] = sym[i] | l;
        } else {
            uint32_t p = t[rev[i] & pmask];
            if ((p & HUF_KIND) != HUF_SUB) continue;   // clashes with a shorter code
            unsigned base = p >> 16, sb = (p >> 8) & 0x1F, l2 = l - pbits;
            for (unsigned j = rev[i] >> pbits; j < (1u << sb); j += 1u << l2)
                t[base + j] = sym[i] | l2;
        }
    }
    return result;
}

}  // namespace unz
