#!/usr/bin/env python3
# Makes the raw deflate streams of codec_test with Python's zlib. The plain
# data comes from the same generator as SampleData() in codec_test.cpp.
import os, zlib

def sample():
    s = 12345
    def rnd():
        nonlocal s
        s = (s * 1103515245 + 12345) % 2**31
        return s >> 8
    words = []
    for _ in range(64):
        words.append(bytes(97 + rnd() % 26 for _ in range(1 + rnd() % 8)))
    out = bytearray()
    while len(out) < 30000:
        out += words[rnd() % 64]
        out += b'\n' if rnd() % 10 == 0 else b' '
    del out[30000:]
    out += bytes(rnd() % 256 for _ in range(5000))
    out += bytes(3000)
    return bytes(out)

def raw(data, level, strategy=zlib.Z_DEFAULT_STRATEGY):
    c = zlib.compressobj(level, zlib.DEFLATED, -15, 8, strategy)
    return c.compress(data) + c.flush()

here = os.path.dirname(os.path.abspath(__file__))
data = sample()
streams = {f'level{n}.df': raw(data, n) for n in range(10)}
streams['fixed.df'] = raw(data, 6, zlib.Z_FIXED)
streams['huffman.df'] = raw(data, 6, zlib.Z_HUFFMAN_ONLY)
streams['rle.df'] = raw(data, 6, zlib.Z_RLE)
for name, body in streams.items():
    with open(os.path.join(here, name), 'wb') as f:
        f.write(body)
