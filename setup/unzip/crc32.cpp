// CRC-32 of ZIP (reflected polynomial 0xEDB88320), eight bytes per step with
// eight tables computed at compile time.
#include "codec.h"
#include <cstring>

namespace unz {
namespace {

struct CRCTABLES {
    uint32_t t[8][256];
    constexpr CRCTABLES() : t{}
    {
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (int j = 1; j < 8; j++)
            for (int i = 0; i < 256; i++) t[j][i] = (t[j - 1][i] >> 8) ^ t[0][t[j - 1][i] & 0xFF];
    }
};

constexpr CRCTABLES crc;

}  // namespace

uint32_t Crc32Update(uint32_t c, const uint8_t* p, size_t n)
{
    while (n >= 8) {
        uint32_t a = c ^ (p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24);
        uint32_t b = p[4] | p[5] << 8 | p[6] << 16 | uint32_t(p[7]) << 24;
        c = crc.t[7][a & 0xFF] ^ crc.t[6][(a >> 8) & 0xFF] ^ crc.t[5][(a >> 16) & 0xFF] ^
            crc.t[4][a >> 24] ^ crc.t[3][b & 0xFF] ^ crc.t[2][(b >> 8) & 0xFF] ^
            crc.t[1][(b >> 16) & 0xFF] ^ crc.t[0][b >> 24];
        p += 8;
        n -= 8;
    }
    while (n--) c = crc.t[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    return c;
}

}  // namespace unz
