// Deterministic benchmark inputs: text-like and binary-like bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct RANDOM {   // small deterministic generator (xorshift64*)
    uint64_t s;
    explicit RANDOM(uint64_t seed) : s(seed) {}
    uint32_t Next()
    {
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return static_cast<uint32_t>((s * 0x2545F4914F6CDD1DULL) >> 32);
    }
    uint32_t Below(uint32_t n) { return Next() % n; }
};

// Words of a skewed vocabulary with punctuation and line breaks.
inline std::vector<uint8_t> TextInput(size_t size, uint64_t seed)
{
    RANDOM r(seed);
    std::vector<std::string> words;
    for (int i = 0; i < 4000; i++) {
        std::string w;
        int n = 2 + r.Below(9);
        for (int k = 0; k < n; k++) w += static_cast<char>('a' + r.Below(26));
        words.push_back(w);
    }
    std::vector<uint8_t> v;
    v.reserve(size + 64);
    int col = 0;
    while (v.size() < size) {
        // Zipf-like choice: small indexes much more often.
        uint32_t a = r.Below(4000), b = r.Below(a + 1);
        const std::string& w = words[r.Below(b + 1)];
        v.insert(v.end(), w.begin(), w.end());
        col += static_cast<int>(w.size()) + 1;
        uint32_t p = r.Below(20);
        if (p == 0) v.push_back(',');
        if (p == 1) v.push_back('.');
        if (col > 70) {
            v.push_back('\r');
            v.push_back('\n');
            col = 0;
        } else {
            v.push_back(' ');
        }
    }
    v.resize(size);
    return v;
}

// Something like program files: records of small integers, pointer-like
// values, runs, repeated chunks and stretches of noise.
inline std::vector<uint8_t> BinaryInput(size_t size, uint64_t seed)
{
    RANDOM r(seed);
    std::vector<uint8_t> v;
    v.reserve(size + 70000);
    while (v.size() < size) {
        switch (r.Below(5)) {
        case 0: {   // table of 32-bit values with small deltas
            uint32_t x = r.Next() & 0xFFFFF, n = 16 + r.Below(512);
            for (uint32_t i = 0; i < n; i++) {
                x += r.Below(64);
                for (int k = 0; k < 4; k++) v.push_back(static_cast<uint8_t>(x >> (8 * k)));
            }
            break;
        }
        case 1: {   // copy of an earlier stretch with a few changes
            if (v.size() < 4096) break;
            size_t len = 32 + r.Below(2000), from = v.size() - 1 - r.Below(30000 < v.size() - len ? 30000 : static_cast<uint32_t>(v.size() - len));
            for (size_t i = 0; i < len; i++) v.push_back(r.Below(50) ? v[from + i] : static_cast<uint8_t>(r.Next()));
            break;
        }
        case 2:     // a run
            v.insert(v.end(), 8 + r.Below(300), static_cast<uint8_t>(r.Below(4) ? 0 : r.Next()));
            break;
        case 3: {   // noise over a small alphabet
            uint32_t n = 64 + r.Below(1500);
            for (uint32_t i = 0; i < n; i++) v.push_back(static_cast<uint8_t>(r.Below(40)));
            break;
        }
        default: {  // plain noise
            uint32_t n = 16 + r.Below(600);
            for (uint32_t i = 0; i < n; i++) v.push_back(static_cast<uint8_t>(r.Next()));
            break;
        }
        }
    }
    v.resize(size);
    return v;
}

