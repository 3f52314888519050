// Decompressors of the ZIP engine. Each reads one member's compressed bytes
// through a CODECIO and hands the plain bytes back in pieces of at most the
// 32 KiB window. The engine's side (CRC, text conversion, writing, messages)
// lives behind the CODECIO.
#pragma once
#include <cstddef>
#include <cstdint>

namespace unz {

constexpr size_t WSIZE = 0x8000;   // the sliding window every method shares

class CODECIO {
public:
    // Copies up to `size` further compressed bytes of the member into `buf`;
    // returns the count, 0 when the member's compressed data is exhausted.
    virtual size_t Fill(uint8_t* buf, size_t size) = 0;
    // Takes `n` plain bytes. A non-zero result (the engine's code, such as 50
    // for a write error) stops decoding; the codec then returns CODEC_STOPPED.
    virtual int Flush(const uint8_t* data, size_t n) = 0;
    // A diagnostic the engine prints unless quiet, such as "(incomplete d-tree)  ".
    virtual void Note(const char* text) = 0;
protected:
    ~CODECIO() = default;
};

enum CODECRESULT {
    CODEC_OK = 0,
    CODEC_BADDATA,    // invalid compressed data
    CODEC_NOMEM,      // working memory could not be had
    CODEC_STOPPED     // Flush asked to stop
};

struct MEMBERINFO {
    uint64_t csize;   // compressed size from the headers
    uint64_t ucsize;  // uncompressed size from the headers
    unsigned flags;   // general-purpose flags (bits 1 and 2 select method options)
};

// Method 8. An incomplete literal/length code set is CODEC_BADDATA after the
// note "(incomplete l-tree)  "; an incomplete distance set notes
// "(incomplete d-tree)  " and decoding goes on.
int Inflate(CODECIO& io);
// Method 6. `used` receives the number of compressed bytes the decoder took,
// which the engine compares with the member's compressed size.
int Explode(CODECIO& io, const MEMBERINFO& m, uint64_t& used);
// Method 1.
int Unshrink(CODECIO& io, const MEMBERINFO& m);
// Methods 2 to 5: factor = method - 1.
int Unreduce(CODECIO& io, const MEMBERINFO& m, int factor);

// The ZIP CRC-32 register update (no pre- or post-conditioning: callers start
// from 0xFFFFFFFF and complement the final value).
uint32_t Crc32Update(uint32_t crc, const uint8_t* p, size_t n);
// The same by tables alone, as processors without carry-less multiplication
// compute it (for tests and benchmarks).
uint32_t Crc32Tables(uint32_t crc, const uint8_t* p, size_t n);

}  // namespace unz
