// Inflate on arbitrary input. The first byte picks the read size; the rest is
// a raw deflate stream. Whenever zlib accepts the stream, our inflate must
// accept it too and produce the same bytes.
#include "fuzzio.h"
#include <zlib.h>

static const size_t PIECES[8] = {1, 2, 3, 7, 64, 1000, 4096, 1 << 20};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t piece = PIECES[TakeLE(data, size, 1) & 7];
    FUZZIO io(data, size, piece);
    int rc = unz::Inflate(io);

    std::vector<uint8_t> ref(io.out.size() + 1024);
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return 0;
    z.next_in = const_cast<uint8_t*>(data);
    z.avail_in = static_cast<uInt>(size);
    int zr = Z_OK;
    size_t got = 0;
    while (zr == Z_OK && got < (64u << 20)) {
        if (got == ref.size()) ref.resize(ref.size() * 2);
        z.next_out = ref.data() + got;
        z.avail_out = static_cast<uInt>(ref.size() - got);
        zr = inflate(&z, Z_FINISH);
        got = ref.size() - z.avail_out;
        if (zr == Z_BUF_ERROR && z.avail_out == 0) zr = Z_OK;
    }
    inflateEnd(&z);
    if (zr == Z_STREAM_END) {
        if (rc != unz::CODEC_OK) __builtin_trap();
        if (got != io.out.size() || (got && memcmp(ref.data(), io.out.data(), got) != 0)) __builtin_trap();
    }
    return 0;
}
