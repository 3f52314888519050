// Explode on arbitrary input. Header: flags byte (8 KiB window, literal tree),
// a byte whose bit 0 claims a compressed size above 200,000, and three bytes
// of uncompressed size (at most 16 MiB); the rest is the member data.
#include "fuzzio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    unsigned flags = TakeLE(data, size, 1) & 6;
    bool big = TakeLE(data, size, 1) & 1;
    uint64_t ucsize = TakeLE(data, size, 3);
    unz::MEMBERINFO m{big ? 300000 + size : size, ucsize, flags};
    FUZZIO io(data, size, 4096);
    uint64_t used = 0;
    int rc = unz::Explode(io, m, used);
    if (io.out.size() > ucsize) __builtin_trap();
    if (rc == unz::CODEC_OK && io.out.size() != ucsize) __builtin_trap();
    if (rc == unz::CODEC_OK && used > size) __builtin_trap();   // reading past the end is bad data
    return 0;
}
