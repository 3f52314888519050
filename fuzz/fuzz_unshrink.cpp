// Unshrink on arbitrary input: three bytes of uncompressed size, then the data.
#include "fuzzio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint64_t ucsize = TakeLE(data, size, 3);
    unz::MEMBERINFO m{size, ucsize, 0};
    FUZZIO io(data, size, 4096);
    int rc = unz::Unshrink(io, m);
    if (io.out.size() > ucsize) __builtin_trap();
    if (rc == unz::CODEC_OK && io.out.size() != ucsize) __builtin_trap();
    return 0;
}
