// The CODECIO of the fuzz targets: compressed bytes from the fuzz input in
// pieces of a chosen size, output kept (and checked against a limit).
#pragma once
#include "codec.h"
#include <cstring>
#include <string>
#include <vector>

class FUZZIO : public unz::CODECIO {
public:
    FUZZIO(const uint8_t* data, size_t size, size_t piece) : data_(data), size_(size), piece_(piece ? piece : 1) {}
    size_t Fill(uint8_t* buf, size_t size) override
    {
        size_t n = size_ - pos_;
        if (n > size) n = size;
        if (n > piece_) n = piece_;
        memcpy(buf, data_ + pos_, n);
        pos_ += n;
        return n;
    }
    int Flush(const uint8_t* data, size_t n) override
    {
        if (n > unz::WSIZE) __builtin_trap();          // pieces never exceed the window
        out.insert(out.end(), data, data + n);
        return 0;
    }
    void Note(const char* text) override { notes += text; }
    std::vector<uint8_t> out;
    std::string notes;
private:
    const uint8_t* data_;
    size_t size_, pos_ = 0, piece_;
};

// Reads `n` bytes little-endian from the front of the input.
inline uint32_t TakeLE(const uint8_t*& data, size_t& size, int n)
{
    uint32_t v = 0;
    for (int i = 0; i < n && size; i++, size--) v |= uint32_t(*data++) << (8 * i);
    return v;
}
