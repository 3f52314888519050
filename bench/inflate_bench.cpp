// Inflate throughput against zlib's inflate on the same raw deflate streams,
// one text-like and one binary-like input of 64 MiB each, made at start-up and
// compressed with zlib at level 6; and CRC-32 against zlib's crc32 on the
// binary-like input. Prints the ratios at the end.
#include "benchdata.h"
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
        in[kind].plain = kind == 0 ? TextInput(INPUT_SIZE, 1) : BinaryInput(INPUT_SIZE, 2);
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

// CRC-32 over the 64 MiB in 32 KiB pieces, as the engine's window hands them out.
const uint8_t* CrcInput(size_t& n)
{
    const INPUT& in = Input(1);
    n = in.plain.size();
    return in.plain.data();
}

// Ours as the engine calls it, and its table method alone.
void BM_CrcOurs(benchmark::State& state)
{
    auto crc = state.range(0) ? unz::Crc32Tables : unz::Crc32Update;
    size_t n;
    const uint8_t* p = CrcInput(n);
    uint32_t c = 0;
    for (auto _ : state) {
        c = 0xFFFFFFFF;
        for (size_t at = 0; at < n; at += unz::WSIZE)
            c = crc(c, p + at, n - at < unz::WSIZE ? n - at : unz::WSIZE);
        benchmark::DoNotOptimize(c);
    }
    if (~c != static_cast<uint32_t>(crc32(0, p, static_cast<uInt>(n))))
        state.SkipWithError("CRC-32 differs from zlib's");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void BM_CrcZlib(benchmark::State& state)
{
    size_t n;
    const uint8_t* p = CrcInput(n);
    for (auto _ : state) {
        uLong c = crc32(0, nullptr, 0);
        for (size_t at = 0; at < n; at += unz::WSIZE)
            c = crc32(c, p + at, static_cast<uInt>(n - at < unz::WSIZE ? n - at : unz::WSIZE));
        benchmark::DoNotOptimize(c);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

BENCHMARK(BM_CrcOurs)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrcZlib)->Unit(benchmark::kMillisecond);

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
    // Adjusted times are per iteration in the benchmarks' unit (ms).
    double mb = static_cast<double>(INPUT_SIZE) / 1e6;
    auto speed = [&](const char* name) { return rep.time.count(name) ? mb / (rep.time[name] / 1e3) : 0.0; };
    double ours = speed("BM_CrcOurs/0"), tables = speed("BM_CrcOurs/1"), zlib = speed("BM_CrcZlib");
    if (ours > 0 && zlib > 0)
        printf("crc32 (%zu bytes): ours %.0f MB/s (tables alone %.0f MB/s), zlib %.0f MB/s, speed ours/zlib = %.2f\n",
               INPUT_SIZE, ours, tables, zlib, ours / zlib);
    benchmark::Shutdown();
    return 0;
}
