// Inflate throughput against zlib's inflate on the same raw deflate streams,
// one text-like and one binary-like input of 64 MiB each, made at start-up and
// compressed with zlib at level 6. Prints the time ratio ours/zlib at the end.
#include "codec.h"
#include <benchmark/benchmark.h>
#include <zlib.h>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr size_t INPUT_SIZE = 64u << 20;

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
std::vector<uint8_t> TextInput()
{
    RANDOM r(1);
    std::vector<std::string> words;
    for (int i = 0; i < 4000; i++) {
        std::string w;
        int n = 2 + r.Below(9);
        for (int k = 0; k < n; k++) w += static_cast<char>('a' + r.Below(26));
        words.push_back(w);
    }
    std::vector<uint8_t> v;
    v.reserve(INPUT_SIZE + 64);
    int col = 0;
    while (v.size() < INPUT_SIZE) {
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
    v.resize(INPUT_SIZE);
    return v;
}

// Something like program files: records of small integers, pointer-like
// values, runs, repeated chunks and stretches of noise.
std::vector<uint8_t> BinaryInput()
{
    RANDOM r(2);
    std::vector<uint8_t> v;
    v.reserve(INPUT_SIZE + 70000);
    while (v.size() < INPUT_SIZE) {
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
    v.resize(INPUT_SIZE);
    return v;
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& in)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&z, in.size()));
    z.next_in = const_cast<uint8_t*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct INPUT {
    std::vector<uint8_t> plain, packed;
};

const INPUT& Input(int kind)
{
    static INPUT in[2];
    if (in[kind].plain.empty()) {
        in[kind].plain = kind == 0 ? TextInput() : BinaryInput();
        in[kind].packed = Deflate(in[kind].plain);
    }
    return in[kind];
}

// Hands the compressed data over in 64 KiB reads, as the engine's file reads do,
// and keeps a running CRC of the output so both decoders pay the same.
class MEMIO : public unz::CODECIO {
public:
    explicit MEMIO(const std::vector<uint8_t>& in) : in_(in) {}
    size_t Fill(uint8_t* buf, size_t size) override
    {
        size_t n = in_.size() - pos_;
        if (n > size) n = size;
        if (n > 0x10000) n = 0x10000;
        memcpy(buf, in_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    int Flush(const uint8_t* data, size_t n) override
    {
        out_ += n;
        crc_ = unz::Crc32Update(crc_, data, n);
        return 0;
    }
    void Note(const char*) override {}
    size_t out_ = 0;
    uint32_t crc_ = 0xFFFFFFFF;
private:
    const std::vector<uint8_t>& in_;
    size_t pos_ = 0;
};

void BM_Ours(benchmark::State& state)
{
    const INPUT& in = Input(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        MEMIO io(in.packed);
        if (unz::Inflate(io) != unz::CODEC_OK || io.out_ != in.plain.size()) {
            state.SkipWithError("inflate failed");
            return;
        }
        benchmark::DoNotOptimize(io.crc_);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.plain.size()));
}

// zlib with the same 64 KiB reads and a 32 KiB output buffer.
void BM_Zlib(benchmark::State& state)
{
    const INPUT& in = Input(static_cast<int>(state.range(0)));
    std::vector<uint8_t> out(unz::WSIZE);
    for (auto _ : state) {
        z_stream z{};
        inflateInit2(&z, -15);
        size_t pos = 0, total = 0;
        uint32_t crc = 0xFFFFFFFF;
        int rc = Z_OK;
        while (rc == Z_OK) {
            if (z.avail_in == 0) {
                size_t n = in.packed.size() - pos;
                if (n > 0x10000) n = 0x10000;
                z.next_in = const_cast<uint8_t*>(in.packed.data() + pos);
                z.avail_in = static_cast<uInt>(n);
                pos += n;
            }
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            rc = inflate(&z, Z_NO_FLUSH);
            size_t n = out.size() - z.avail_out;
            crc = unz::Crc32Update(crc, out.data(), n);
            total += n;
        }
        inflateEnd(&z);
        if (rc != Z_STREAM_END || total != in.plain.size()) {
            state.SkipWithError("zlib inflate failed");
            return;
        }
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.plain.size()));
}

BENCHMARK(BM_Ours)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zlib)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Console output as usual, plus each run's time per iteration kept by name.
class RATIOREPORTER : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (!r.error_occurred) time[r.benchmark_name()] = r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> time;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RATIOREPORTER rep;
    benchmark::RunSpecifiedBenchmarks(&rep);
    const char* names[2] = {"text", "binary"};
    for (int k = 0; k < 2; k++) {
        std::string a = "BM_Ours/" + std::to_string(k), b = "BM_Zlib/" + std::to_string(k);
        if (rep.time.count(a) && rep.time.count(b)) {
            const INPUT& in = Input(k);
            printf("inflate %-6s (%zu -> %zu bytes): CPU time ours/zlib = %.3f\n", names[k],
                   in.packed.size(), in.plain.size(), rep.time[a] / rep.time[b]);
        }
    }
    benchmark::Shutdown();
    return 0;
}
