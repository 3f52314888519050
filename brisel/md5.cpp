// MD5 after RFC 1321, HMAC after RFC 2104.
#include "brisel/md5.h"
#include <cstring>

namespace {

// Per-step shift amounts, four per round.
const unsigned char Shift[4][4] = { { 7, 12, 17, 22 }, { 5, 9, 14, 20 }, { 4, 11, 16, 23 }, { 6, 10, 15, 21 } };

// Sine table: floor(abs(sin(i + 1)) * 2^32).
const uint32_t Sine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

inline uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

}

void MD5::Init()
{
    State[0] = 0x67452301;
    State[1] = 0xefcdab89;
    State[2] = 0x98badcfe;
    State[3] = 0x10325476;
    Bytes = 0;
}

void MD5::Block(const unsigned char* p)
{
    uint32_t x[16];
    for (int i = 0; i < 16; i++)
        x[i] = p[i * 4] | (p[i * 4 + 1] << 8) | (p[i * 4 + 2] << 16) | ((uint32_t)p[i * 4 + 3] << 24);

    uint32_t a = State[0], b = State[1], c = State[2], d = State[3];
    for (int i = 0; i < 64; i++) {
        int round = i / 16;
        uint32_t f;
        int k;
        switch (round) {
        case 0:  f = (b & c) | (~b & d); k = i; break;
        case 1:  f = (b & d) | (c & ~d); k = (5 * i + 1) % 16; break;
        case 2:  f = b ^ c ^ d;          k = (3 * i + 5) % 16; break;
        default: f = c ^ (b | ~d);       k = (7 * i) % 16; break;
        }
        uint32_t t = d;
        d = c;
        c = b;
        b = b + Rol(a + f + Sine[i] + x[k], Shift[round][i % 4]);
        a = t;
    }
    State[0] += a;
    State[1] += b;
    State[2] += c;
    State[3] += d;
}

void MD5::Update(const void* data, size_t len)
{
    const unsigned char* p = (const unsigned char*)data;
    size_t used = (size_t)(Bytes % 64);
    Bytes += len;
    if (used) {
        size_t take = 64 - used < len ? 64 - used : len;
        memcpy(Pending + used, p, take);
        p += take;
        len -= take;
        if (used + take < 64)
            return;
        Block(Pending);
    }
    for (; len >= 64; p += 64, len -= 64)
        Block(p);
    memcpy(Pending, p, len);
}

void MD5::Final(unsigned char digest[16])
{
    uint64_t bits = Bytes * 8;
    unsigned char tail[72] = { 0x80 };
    size_t used = (size_t)(Bytes % 64);
    size_t pad = (used < 56 ? 56 : 120) - used;
    for (int i = 0; i < 8; i++)
        tail[pad + i] = (unsigned char)(bits >> (8 * i));
    Update(tail, pad + 8);
    for (int i = 0; i < 16; i++)
        digest[i] = (unsigned char)(State[i / 4] >> (8 * (i % 4)));
    Init();
}

void MD5::Digest(const void* data, size_t len, unsigned char digest[16])
{
    MD5 md;
    md.Update(data, len);
    md.Final(digest);
}

void HmacMd5(const void* key, size_t keylen, const void* data, size_t len, unsigned char mac[16])
{
    unsigned char k[64] = { 0 };
    if (keylen > 64)
        MD5::Digest(key, keylen, k);
    else if (keylen)
        memcpy(k, key, keylen);

    unsigned char pad[64];
    unsigned char inner[16];
    MD5 md;
    for (int i = 0; i < 64; i++)
        pad[i] = k[i] ^ 0x36;
    md.Update(pad, 64);
    md.Update(data, len);
    md.Final(inner);
    for (int i = 0; i < 64; i++)
        pad[i] = k[i] ^ 0x5c;
    md.Update(pad, 64);
    md.Update(inner, 16);
    md.Final(mac);
}
