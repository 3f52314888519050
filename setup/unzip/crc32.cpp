// CRC-32 of ZIP (reflected polynomial 0xEDB88320). Two ways, both exact:
// - tables: five interleaved lanes of eight-byte words, each word looked up
//   byte by byte in tables that carry it straight to the lane's next word, so
//   that the lanes' dependency chains overlap;
// - on x86 processors with carry-less multiplication: 64-byte blocks folded
//   into four 128-bit remainders, the last one finished by the tables.
// Every constant is computed here from the polynomial.
#include "codec.h"
#include <cstring>
#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#define CRC_FOLDING 1
#endif

namespace unz {
namespace {

constexpr uint32_t POLY = 0xEDB88320u;
constexpr int LANES = 5;

// The register after n zero bytes.
constexpr uint32_t ZeroBytes(uint32_t c, int n)
{
    for (; n > 0; --n)
        for (int k = 0; k < 8; k++)
            c = c & 1 ? POLY ^ (c >> 1) : c >> 1;
    return c;
}

struct CRCTABLES {
    uint32_t byte[256];            // one byte
    uint32_t word[8][256];         // byte k of a word, carried to the end of the word
    uint32_t lane[8][256];         // byte k of a word, carried to the lane's next word
    constexpr CRCTABLES() : byte{}, word{}, lane{}
    {
        for (uint32_t i = 0; i < 256; i++)
            byte[i] = ZeroBytes(i, 1);
        for (int k = 0; k < 8; k++)
            for (uint32_t i = 0; i < 256; i++) {
                uint32_t c = byte[i];
                for (int z = 0; z < 7 - k; z++)
                    c = byte[c & 0xFF] ^ (c >> 8);
                word[k][i] = c;
                for (int z = 0; z < 8 * (LANES - 1); z++)
                    c = byte[c & 0xFF] ^ (c >> 8);
                lane[k][i] = c;
            }
    }
};

constexpr CRCTABLES crc;

inline uint64_t Load64(const uint8_t* p)
{
    uint64_t v;
    memcpy(&v, p, 8);   // the engine runs on little-endian machines only
    return v;
}

inline uint32_t Word(const uint32_t (&t)[8][256], uint64_t w)
{
    return t[0][w & 0xFF] ^ t[1][(w >> 8) & 0xFF] ^ t[2][(w >> 16) & 0xFF] ^ t[3][(w >> 24) & 0xFF] ^
           t[4][(w >> 32) & 0xFF] ^ t[5][(w >> 40) & 0xFF] ^ t[6][(w >> 48) & 0xFF] ^ t[7][w >> 56];
}

uint32_t Bytes(uint32_t c, const uint8_t* p, size_t n)
{
    for (; n >= 8; p += 8, n -= 8)
        c = Word(crc.word, Load64(p) ^ c);
    while (n--)
        c = crc.byte[(c ^ *p++) & 0xFF] ^ (c >> 8);
    return c;
}

}  // namespace

uint32_t Crc32Tables(uint32_t c, const uint8_t* p, size_t n)
{
    size_t rounds = n / (8 * LANES);
    if (rounds < 2)
        return Bytes(c, p, n);
    // Lane j takes words j, j+5, j+10, ...; its register is what the words
    // so far add to its next word. The last round goes word by word.
    --rounds;
    uint32_t r[LANES] = {c};
    for (size_t k = 0; k < rounds; k++, p += 8 * LANES)
        for (int j = 0; j < LANES; j++)
            r[j] = Word(crc.lane, Load64(p + 8 * j) ^ r[j]);
    n -= rounds * 8 * LANES;
    c = 0;
    for (int j = 0; j < LANES; j++, p += 8, n -= 8)
        c = Word(crc.word, Load64(p) ^ r[j] ^ c);
    return Bytes(c, p, n);
}

namespace {

#ifdef CRC_FOLDING

// x^n mod P in the normal bit order (P = 0x104C11DB7).
constexpr uint32_t XPowMod(int n)
{
    uint32_t r = 1;
    for (; n > 0; --n)
        r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
    return r;
}

constexpr uint64_t Reverse64(uint64_t v)
{
    uint64_t r = 0;
    for (int i = 0; i < 64; i++)
        r |= ((v >> i) & 1) << (63 - i);
    return r;
}

// The multiplier that moves a 64-bit half n bits on. Memory holds the
// polynomials bit-reversed, where the carry-less product of two reversed
// values comes out one bit short: x^(n-1) makes up for it.
constexpr uint64_t Shift(int n) { return Reverse64(XPowMod(n - 1)); }

// Folding by n bits: the first 8 bytes are the high half (x^(n+64)), the
// other 8 the low half (x^n).
struct FOLD {
    uint64_t high, low;
};
constexpr FOLD BY512 = {Shift(512 + 64), Shift(512)};
constexpr FOLD BY128 = {Shift(128 + 64), Shift(128)};

__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i x, const FOLD& k, __m128i next)
{
    __m128i m = _mm_set_epi64x((long long)k.low, (long long)k.high);
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, m, 0x00), _mm_clmulepi64_si128(x, m, 0x11)), next);
}

__attribute__((target("pclmul,sse2"))) uint32_t Folding(uint32_t c, const uint8_t* p, size_t n)
{
    // The register joins the first four bytes; four remainders run 64 bytes
    // apart, then join one another and take up the remaining 16-byte blocks.
    const __m128i* v = (const __m128i*)p;
    __m128i x0 = _mm_xor_si128(_mm_loadu_si128(v), _mm_cvtsi32_si128((int)c));
    __m128i x1 = _mm_loadu_si128(v + 1), x2 = _mm_loadu_si128(v + 2), x3 = _mm_loadu_si128(v + 3);
    size_t blocks = n / 16;
    size_t i = 4;
    for (; i + 4 <= blocks; i += 4) {
        x0 = Fold(x0, BY512, _mm_loadu_si128(v + i));
        x1 = Fold(x1, BY512, _mm_loadu_si128(v + i + 1));
        x2 = Fold(x2, BY512, _mm_loadu_si128(v + i + 2));
        x3 = Fold(x3, BY512, _mm_loadu_si128(v + i + 3));
    }
    x0 = Fold(x0, BY128, x1);
    x0 = Fold(x0, BY128, x2);
    x0 = Fold(x0, BY128, x3);
    for (; i < blocks; i++)
        x0 = Fold(x0, BY128, _mm_loadu_si128(v + i));
    // The remainder is congruent to everything so far: its CRC is theirs.
    uint8_t rest[16];
    _mm_storeu_si128((__m128i*)rest, x0);
    return Bytes(Bytes(0, rest, 16), p + 16 * blocks, n - 16 * blocks);
}

bool HaveFolding()
{
    static const bool have = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    }();
    return have;
}

#endif

}  // namespace

uint32_t Crc32Update(uint32_t c, const uint8_t* p, size_t n)
{
#ifdef CRC_FOLDING
    if (n >= 256 && HaveFolding())
        return Folding(c, p, n);
#endif
    return Crc32Tables(c, p, n);
}

}  // namespace unz
