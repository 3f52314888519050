// Extraction of a whole archive through the engine's entry function: 1,000
// deflated members, 100 MiB in all (half text-like, half binary-like), written
// at start-up with zlib into a temporary folder and unpacked there with "-qq".
#include "benchdata.h"
#include "unzip.h"
#include <benchmark/benchmark.h>
#include <zlib.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int MEMBERS = 1000;
constexpr size_t MEMBER_SIZE = (100u << 20) / MEMBERS;   // about 100 KiB each

void Put16(std::vector<uint8_t>& v, unsigned x)
{
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}

void Put32(std::vector<uint8_t>& v, uint32_t x)
{
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

std::vector<uint8_t> RawDeflate(const uint8_t* p, size_t n)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&z, n));
    z.next_in = const_cast<uint8_t*>(p);
    z.avail_in = static_cast<uInt>(n);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct FIXTURE {
    fs::path dir, archive, target;
    uint64_t bytes = 0;
    FIXTURE()
    {
        dir = fs::temp_directory_path() / ("extract_bench_" + std::to_string(::getpid()));
        fs::create_directories(dir / "out");
        archive = dir / "bench.zip";
        target = dir / "out";
        std::vector<uint8_t> text = TextInput(MEMBERS / 2 * MEMBER_SIZE, 3);
        std::vector<uint8_t> bin = BinaryInput(MEMBERS / 2 * MEMBER_SIZE, 4);
        std::vector<uint8_t> zip, central;
        for (int i = 0; i < MEMBERS; i++) {
            const uint8_t* p = (i % 2 ? bin.data() : text.data()) + (i / 2) * MEMBER_SIZE;
            std::vector<uint8_t> packed = RawDeflate(p, MEMBER_SIZE);
            uint32_t crc = static_cast<uint32_t>(crc32(0, p, static_cast<uInt>(MEMBER_SIZE)));
            char name[40];
            snprintf(name, sizeof name, "dir%02d/member%04d.%s", i / 100, i, i % 2 ? "bin" : "txt");
            size_t nlen = strlen(name);
            uint32_t offset = static_cast<uint32_t>(zip.size());
            // Local header, then the central one with the same fields.
            Put32(zip, 0x04034B50);
            Put16(zip, 20);
            Put16(zip, 0);
            Put16(zip, 8);
            Put16(zip, 0x6000);   // 12:00:00
            Put16(zip, 0x5A21);   // 2025-01-01
            Put32(zip, crc);
            Put32(zip, static_cast<uint32_t>(packed.size()));
            Put32(zip, static_cast<uint32_t>(MEMBER_SIZE));
            Put16(zip, static_cast<unsigned>(nlen));
            Put16(zip, 0);
            zip.insert(zip.end(), name, name + nlen);
            zip.insert(zip.end(), packed.begin(), packed.end());
            Put32(central, 0x02014B50);
            Put16(central, 20);   // made by MS-DOS, 2.0
            Put16(central, 20);
            Put16(central, 0);
            Put16(central, 8);
            Put16(central, 0x6000);
            Put16(central, 0x5A21);
            Put32(central, crc);
            Put32(central, static_cast<uint32_t>(packed.size()));
            Put32(central, static_cast<uint32_t>(MEMBER_SIZE));
            Put16(central, static_cast<unsigned>(nlen));
            Put16(central, 0);
            Put16(central, 0);
            Put16(central, 0);
            Put16(central, 0);
            Put32(central, 0x20);
            Put32(central, offset);
            central.insert(central.end(), name, name + nlen);
            bytes += MEMBER_SIZE;
        }
        uint32_t cdOffset = static_cast<uint32_t>(zip.size());
        zip.insert(zip.end(), central.begin(), central.end());
        Put32(zip, 0x06054B50);
        Put16(zip, 0);
        Put16(zip, 0);
        Put16(zip, MEMBERS);
        Put16(zip, MEMBERS);
        Put32(zip, static_cast<uint32_t>(central.size()));
        Put32(zip, cdOffset);
        Put16(zip, 0);
        FILE* f = fopen(archive.string().c_str(), "wb");
        if (f) {
            fwrite(zip.data(), 1, zip.size(), f);
            fclose(f);
        }
    }
    ~FIXTURE()
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

void BM_ExtractArchive(benchmark::State& state)
{
    static FIXTURE fx;
    std::string a0 = "unzip", a1 = "-qq", a2 = fx.archive.string(), a3 = "-d", a4 = fx.target.string();
    for (auto _ : state) {
        char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), nullptr};
        int rc = UnzipMain(5, argv);
        if (rc != 0) {
            state.SkipWithError(("engine returned " + std::to_string(rc)).c_str());
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fx.bytes));
    state.counters["members"] = MEMBERS;
}

BENCHMARK(BM_ExtractArchive)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
