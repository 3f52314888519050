// Decompressors and CRC-32: zlib-made deflate streams, hand-built streams for
// the corner cases, and the members of real archives from other tools.
#include "codec.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

using namespace unz;
using BYTES = std::vector<uint8_t>;

namespace {

// Test data is copied beside the test program at build time.
std::string DataDir(const char* sub)
{
    char path[4096] = {};
#ifdef _WIN32
    GetModuleFileNameA(nullptr, path, sizeof path - 1);
    std::string s(path);
    s = s.substr(0, s.find_last_of("\\/") + 1);
#else
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string s(path, n > 0 ? static_cast<size_t>(n) : 0);
    s = s.substr(0, s.find_last_of('/') + 1);
#endif
    return s + sub + "/";
}

BYTES ReadFile(const std::string& name)
{
    std::ifstream f(name, std::ios::binary);
    return BYTES(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

uint32_t Crc(const BYTES& b)
{
    return ~Crc32Update(0xFFFFFFFF, b.data(), b.size());
}

// Compressed bytes in pieces of `piece`; output collected; Flush can be told
// to refuse its n-th call.
class MEMIO : public CODECIO {
public:
    explicit MEMIO(BYTES in, size_t piece = 1 << 20) : in_(std::move(in)), piece_(piece) {}
    size_t Fill(uint8_t* buf, size_t size) override
    {
        size_t n = std::min({size, piece_, in_.size() - pos_});
        if (n) memcpy(buf, in_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    int Flush(const uint8_t* data, size_t n) override
    {
        flushes++;
        if (n > WSIZE) biggestTooBig = true;
        if (flushes == refuseAt) return 50;
        out.insert(out.end(), data, data + n);
        return 0;
    }
    void Note(const char* text) override { notes += text; }
    BYTES out;
    std::string notes;
    int flushes = 0, refuseAt = 0;
    bool biggestTooBig = false;
private:
    BYTES in_;
    size_t pos_ = 0, piece_;
};

// The plain data of the zlib-made streams (same generator as make.py there).
BYTES SampleData()
{
    uint32_t s = 12345;
    auto rnd = [&] {
        s = (s * 1103515245u + 12345u) & 0x7FFFFFFF;
        return s >> 8;
    };
    std::vector<std::string> words;
    for (int i = 0; i < 64; i++) {
        std::string w;
        unsigned n = 1 + rnd() % 8;
        for (unsigned k = 0; k < n; k++) w += static_cast<char>('a' + rnd() % 26);
        words.push_back(w);
    }
    BYTES out;
    while (out.size() < 30000) {
        const std::string& w = words[rnd() % 64];
        out.insert(out.end(), w.begin(), w.end());
        out.push_back(rnd() % 10 == 0 ? '\n' : ' ');
    }
    out.resize(30000);
    for (int i = 0; i < 5000; i++) out.push_back(static_cast<uint8_t>(rnd() % 256));
    out.insert(out.end(), 3000, 0);
    return out;
}

// Writes a deflate stream bit by bit: header fields LSB first, Huffman codes
// MSB first.
class BITWRITER {
public:
    void Put(unsigned v, unsigned n)
    {
        for (unsigned i = 0; i < n; i++) Bit(i < 32 ? (v >> i) & 1 : 0);   // n may exceed 32 for padding
    }
    void Code(unsigned code, unsigned n)
    {
        while (n--) Bit((code >> n) & 1);
    }
    BYTES Bytes() const { return bytes_; }
private:
    void Bit(unsigned b)
    {
        if (bits_ % 8 == 0) bytes_.push_back(0);
        bytes_.back() |= static_cast<uint8_t>(b << (bits_ % 8));
        bits_++;
    }
    BYTES bytes_;
    unsigned bits_ = 0;
};

// Canonical codes of a set of code lengths.
std::vector<unsigned> Canonical(const std::vector<uint8_t>& len)
{
    unsigned count[16] = {}, next[16] = {}, code = 0;
    for (uint8_t l : len) count[l]++;
    count[0] = 0;
    for (int l = 1; l < 16; l++) next[l] = code = (code + count[l - 1]) << 1;
    std::vector<unsigned> c(len.size());
    for (size_t i = 0; i < len.size(); i++)
        if (len[i]) c[i] = next[len[i]]++;
    return c;
}

// Fixed-code helpers.
void FixedLit(BITWRITER& w, unsigned sym)
{
    if (sym < 144) w.Code(0x30 + sym, 8);
    else if (sym < 256) w.Code(0x190 + sym - 144, 9);
    else if (sym < 280) w.Code(sym - 256, 7);
    else w.Code(0xC0 + sym - 280, 8);
}

// A dynamic block header sending `lit` and `dist` lengths literally through a
// code-length code that gives symbols 0 to 15 four bits each (HCLEN 19).
void DynamicHeader(BITWRITER& w, bool last, const std::vector<uint8_t>& lit, const std::vector<uint8_t>& dist)
{
    static const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    w.Put(last, 1);
    w.Put(2, 2);
    w.Put(static_cast<unsigned>(lit.size() - 257), 5);
    w.Put(static_cast<unsigned>(dist.size() - 1), 5);
    w.Put(15, 4);
    for (uint8_t s : order) w.Put(s < 16 ? 4 : 0, 3);
    for (uint8_t l : lit) w.Code(l, 4);
    for (uint8_t l : dist) w.Code(l, 4);
}

}  // namespace

// ---- CRC-32 ----

TEST(Crc32, KnownValues)
{
    auto crc = [](const char* s) {
        return ~Crc32Update(0xFFFFFFFF, reinterpret_cast<const uint8_t*>(s), strlen(s));
    };
    EXPECT_EQ(crc(""), 0x00000000u);
    EXPECT_EQ(crc("a"), 0xE8B7BE43u);
    EXPECT_EQ(crc("123456789"), 0xCBF43926u);
    EXPECT_EQ(crc("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
}

// Bit by bit, as the polynomial defines it.
uint32_t BitwiseCrc(const uint8_t* p, size_t n)
{
    uint32_t c = 0xFFFFFFFF;
    while (n--) {
        c ^= *p++;
        for (int k = 0; k < 8; k++)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

// Every length up to past the lanes' and the folding's thresholds, at every
// alignment, by both methods; and a long input.
TEST(Crc32, BothMethodsAgreeWithTheDefinition)
{
    BYTES d = SampleData();
    ASSERT_GT(d.size(), 5000u);
    for (size_t n = 0; n <= 1200; n++)
        for (size_t at = 0; at < 4; at++) {
            uint32_t want = BitwiseCrc(d.data() + at, n);
            ASSERT_EQ(~Crc32Update(0xFFFFFFFF, d.data() + at, n), want) << n << " at " << at;
            ASSERT_EQ(~Crc32Tables(0xFFFFFFFF, d.data() + at, n), want) << n << " at " << at;
        }
    uint32_t want = BitwiseCrc(d.data(), d.size());
    EXPECT_EQ(~Crc32Update(0xFFFFFFFF, d.data(), d.size()), want);
    EXPECT_EQ(~Crc32Tables(0xFFFFFFFF, d.data(), d.size()), want);
}

TEST(Crc32, PiecesGiveTheSameAsWhole)
{
    BYTES d = SampleData();
    uint32_t whole = Crc32Update(0xFFFFFFFF, d.data(), d.size());
    // Odd piece sizes and offsets cross the eight-byte steps at every alignment.
    for (size_t piece : {1u, 3u, 7u, 9u, 300u, 1000u}) {
        uint32_t c = 0xFFFFFFFF;
        for (size_t i = 0; i < d.size(); i += piece) c = Crc32Update(c, d.data() + i, std::min(piece, d.size() - i));
        EXPECT_EQ(c, whole) << piece;
    }
}

// ---- inflate: zlib-made streams ----

TEST(Inflate, ZlibStreamsAtEveryLevelAndStrategy)
{
    BYTES plain = SampleData();
    std::string dir = DataDir("codec_data");
    for (const char* name : {"level0", "level1", "level2", "level3", "level4", "level5", "level6", "level7",
                             "level8", "level9", "fixed", "huffman", "rle"}) {
        BYTES packed = ReadFile(dir + name + ".df");
        ASSERT_FALSE(packed.empty()) << name;
        for (size_t piece : {size_t(1), size_t(1) << 20}) {
            MEMIO io(packed, piece);
            EXPECT_EQ(Inflate(io), CODEC_OK) << name << " piece " << piece;
            EXPECT_TRUE(io.out == plain) << name << " piece " << piece;
            EXPECT_FALSE(io.biggestTooBig);
            EXPECT_EQ(io.notes, "");
        }
    }
}

TEST(Inflate, EveryTruncationIsBadData)
{
    BYTES plain = SampleData();
    BYTES packed = ReadFile(DataDir("codec_data") + "level6.df");
    ASSERT_GT(packed.size(), 1000u);
    for (size_t cut = 0; cut < packed.size(); cut += cut < 600 ? 1 : 97) {
        MEMIO io(BYTES(packed.begin(), packed.begin() + cut));
        EXPECT_EQ(Inflate(io), CODEC_BADDATA) << cut;
        ASSERT_LE(io.out.size(), plain.size());
        EXPECT_TRUE(std::equal(io.out.begin(), io.out.end(), plain.begin())) << cut;
    }
}

TEST(Inflate, FlushRefusalStopsAtOnce)
{
    BYTES packed = ReadFile(DataDir("codec_data") + "level1.df");
    MEMIO io(packed);
    io.refuseAt = 1;
    EXPECT_EQ(Inflate(io), CODEC_STOPPED);
    EXPECT_EQ(io.flushes, 1);
    MEMIO stored(ReadFile(DataDir("codec_data") + "level0.df"));
    stored.refuseAt = 2;
    EXPECT_EQ(Inflate(stored), CODEC_STOPPED);
    EXPECT_EQ(stored.flushes, 2);
    EXPECT_EQ(stored.out.size(), WSIZE);
}

// ---- inflate: hand-built streams ----

TEST(Inflate, StoredThenFixedThenDynamicBlocks)
{
    BITWRITER w;
    w.Put(0, 1);   // stored, not last
    w.Put(0, 2);
    w.Put(0, 5);   // pad to the byte
    w.Put(3, 16);
    w.Put(~3u & 0xFFFF, 16);
    for (char c : std::string("abc")) w.Put(static_cast<uint8_t>(c), 8);
    w.Put(0, 1);   // fixed: "d", then length 4 at distance 4, end
    w.Put(1, 2);
    FixedLit(w, 'd');
    FixedLit(w, 258);
    w.Code(3, 5);
    FixedLit(w, 256);
    // Dynamic, last: literals 'x' and 'y', end, and length code 257 (3),
    // with distance code 1 (2).
    std::vector<uint8_t> lit(258, 0), dist(2, 0);
    lit['x'] = 2;
    lit['y'] = 2;
    lit[256] = 2;
    lit[257] = 2;
    dist[0] = 1;
    dist[1] = 1;
    DynamicHeader(w, true, lit, dist);
    auto lc = Canonical(lit), dc = Canonical(dist);
    w.Code(lc['x'], 2);
    w.Code(lc['y'], 2);
    w.Code(lc[257], 2);
    w.Code(dc[1], 1);
    w.Code(lc[256], 2);
    MEMIO io(w.Bytes());
    EXPECT_EQ(Inflate(io), CODEC_OK);
    EXPECT_EQ(std::string(io.out.begin(), io.out.end()), "abcdabcdxyxyx");
    EXPECT_EQ(io.notes, "");
}

TEST(Inflate, BackReferenceBeforeTheStartReadsZeros)
{
    BITWRITER w;
    w.Put(1, 1);
    w.Put(1, 2);
    FixedLit(w, 'a');
    FixedLit(w, 258);   // length 4
    w.Code(9, 5);       // distances 25-32
    w.Put(7, 3);        // 32
    FixedLit(w, 'b');
    FixedLit(w, 256);
    MEMIO io(w.Bytes());
    EXPECT_EQ(Inflate(io), CODEC_OK);
    EXPECT_TRUE(io.out == (BYTES{'a', 0, 0, 0, 0, 'b'}));
}

TEST(Inflate, IncompleteLiteralTreeIsNotedAndBad)
{
    std::vector<uint8_t> lit(257, 0), dist(1, 1);
    lit['a'] = 1;
    lit[256] = 2;   // half plus a quarter: one quarter unused
    BITWRITER w;
    DynamicHeader(w, true, lit, dist);
    auto lc = Canonical(lit);
    w.Code(lc['a'], 1);
    w.Code(lc[256], 2);
    MEMIO io(w.Bytes());
    EXPECT_EQ(Inflate(io), CODEC_BADDATA);
    EXPECT_EQ(io.notes, "(incomplete l-tree)  ");
    EXPECT_TRUE(io.out.empty());
}

TEST(Inflate, IncompleteDistanceTreeIsNotedAndDecodingGoesOn)
{
    std::vector<uint8_t> lit(258, 0), dist(4, 0);
    lit['a'] = 1;
    lit[256] = 2;
    lit[257] = 2;
    dist[3] = 1;    // a single distance code (4) of one bit
    BITWRITER w;
    DynamicHeader(w, true, lit, dist);
    auto lc = Canonical(lit), dc = Canonical(dist);
    for (int i = 0; i < 4; i++) w.Code(lc['a'], 1);
    w.Code(lc[257], 2);
    w.Code(dc[3], 1);
    w.Code(lc[256], 2);
    MEMIO io(w.Bytes());
    EXPECT_EQ(Inflate(io), CODEC_OK);
    EXPECT_EQ(io.notes, "(incomplete d-tree)  ");
    EXPECT_EQ(std::string(io.out.begin(), io.out.end()), "aaaaaaa");
}

TEST(Inflate, BlockWithoutDistanceCodesIsFine)
{
    std::vector<uint8_t> lit(257, 0), dist(1, 0);
    lit['a'] = 1;
    lit[256] = 1;
    BITWRITER w;
    DynamicHeader(w, true, lit, dist);
    auto lc = Canonical(lit);
    w.Code(lc['a'], 1);
    w.Code(lc[256], 1);
    MEMIO io(w.Bytes());
    EXPECT_EQ(Inflate(io), CODEC_OK);
    EXPECT_EQ(io.notes, "");
    EXPECT_EQ(std::string(io.out.begin(), io.out.end()), "a");
}

TEST(Inflate, OversubscribedTreesAreBad)
{
    std::vector<uint8_t> lit(257, 0), dist(1, 1);
    lit['a'] = lit['b'] = lit[256] = 1;
    BITWRITER w;
    DynamicHeader(w, true, lit, dist);
    w.Put(0, 16);
    MEMIO io(w.Bytes());
    EXPECT_EQ(Inflate(io), CODEC_BADDATA);
    EXPECT_EQ(io.notes, "");

    std::vector<uint8_t> lit2(257, 0), dist2(3, 1);
    lit2['a'] = lit2[256] = 1;
    BITWRITER w2;
    DynamicHeader(w2, true, lit2, dist2);
    w2.Put(0, 16);
    MEMIO io2(w2.Bytes());
    EXPECT_EQ(Inflate(io2), CODEC_BADDATA);
}

TEST(Inflate, InvalidHeadersAndCodesAreBad)
{
    auto run = [](const BITWRITER& w) {
        MEMIO io(w.Bytes());
        return Inflate(io);
    };
    BITWRITER reserved;   // block type 3
    reserved.Put(1, 1);
    reserved.Put(3, 2);
    reserved.Put(0, 13);
    EXPECT_EQ(run(reserved), CODEC_BADDATA);

    BITWRITER stored;     // LEN and NLEN disagree
    stored.Put(1, 1);
    stored.Put(0, 7);
    stored.Put(5, 16);
    stored.Put(5, 16);
    stored.Put(0, 40);
    EXPECT_EQ(run(stored), CODEC_BADDATA);

    BITWRITER dist30;     // fixed block using distance code 30
    dist30.Put(1, 1);
    dist30.Put(1, 2);
    FixedLit(dist30, 'a');
    FixedLit(dist30, 257);
    dist30.Code(30, 5);
    FixedLit(dist30, 256);
    EXPECT_EQ(run(dist30), CODEC_BADDATA);

    BITWRITER len286;     // fixed block using length code 286
    len286.Put(1, 1);
    len286.Put(1, 2);
    FixedLit(len286, 286);
    len286.Put(0, 16);
    EXPECT_EQ(run(len286), CODEC_BADDATA);

    BITWRITER hlit;       // 287 literal/length codes
    hlit.Put(1, 1);
    hlit.Put(2, 2);
    hlit.Put(30, 5);
    hlit.Put(0, 30);
    EXPECT_EQ(run(hlit), CODEC_BADDATA);

    // Code-length repeat (16) with nothing before it.
    BITWRITER rep;
    rep.Put(1, 1);
    rep.Put(2, 2);
    rep.Put(0, 5);
    rep.Put(0, 5);
    rep.Put(0, 4);        // four code-length lengths: 16, 17, 18 and 0
    rep.Put(2, 3);
    rep.Put(2, 3);
    rep.Put(2, 3);
    rep.Put(2, 3);
    rep.Code(1, 2);       // symbol 16 (codes: 0 00, 16 01, 17 10, 18 11)
    rep.Put(0, 30);
    EXPECT_EQ(run(rep), CODEC_BADDATA);

    // Zeros repeated (18) beyond the number of lengths.
    BITWRITER over;
    over.Put(1, 1);
    over.Put(2, 2);
    over.Put(0, 5);
    over.Put(0, 5);
    over.Put(0, 4);
    over.Put(2, 3);
    over.Put(2, 3);
    over.Put(2, 3);
    over.Put(2, 3);
    over.Code(3, 2);      // symbol 18: 138 zeros, twice, more than the 258 lengths
    over.Put(127, 7);
    over.Code(3, 2);
    over.Put(127, 7);
    over.Code(3, 2);
    over.Put(127, 7);
    over.Put(0, 30);
    EXPECT_EQ(run(over), CODEC_BADDATA);
}

// ---- members of real archives ----

namespace {

struct MEMBER {
    std::string archive, expected;
    unsigned index = 0, method = 0, flags = 0;
    uint64_t csize = 0, ucsize = 0;
    uint32_t crc = 0;
    BYTES data;      // the compressed bytes
};

unsigned Get16(const BYTES& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t Get32(const BYTES& b, size_t at) { return Get16(b, at) | uint32_t(Get16(b, at + 2)) << 16; }

// The compressed data of member `index` (1-based) found through the central directory.
bool MemberData(const BYTES& zip, unsigned index, uint64_t csize, BYTES& data)
{
    if (zip.size() < 22) return false;
    size_t e = zip.size() - 22;
    while (e > 0 && !(zip[e] == 'P' && zip[e + 1] == 'K' && zip[e + 2] == 5 && zip[e + 3] == 6)) e--;
    size_t c = Get32(zip, e + 16);
    for (unsigned i = 1; i < index; i++) c += 46 + Get16(zip, c + 28) + Get16(zip, c + 30) + Get16(zip, c + 32);
    size_t local = Get32(zip, c + 42);
    if (local + 30 > zip.size() || Get32(zip, local) != 0x04034B50) return false;
    size_t start = local + 30 + Get16(zip, local + 26) + Get16(zip, local + 28);
    if (start + csize > zip.size()) return false;
    data.assign(zip.begin() + start, zip.begin() + start + csize);
    return true;
}

// The members of the given methods listed in members.tsv.
std::vector<MEMBER> Members(unsigned lo, unsigned hi)
{
    std::string dir = DataDir("zip_data");
    std::ifstream tsv(dir + "members.tsv");
    std::string line;
    std::vector<MEMBER> list;
    std::getline(tsv, line);   // column names
    while (std::getline(tsv, line)) {
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, '\t')) f.push_back(cell);
        if (f.size() == 15) f.push_back("");   // no expected-content column
        if (f.size() < 16) continue;
        MEMBER m;
        m.archive = f[0];
        m.index = std::stoul(f[1]);
        m.method = std::stoul(f[3]);
        m.csize = std::stoull(f[5]);
        m.ucsize = std::stoull(f[6]);
        m.crc = static_cast<uint32_t>(std::stoul(f[7], nullptr, 16));
        m.flags = std::stoul(f[11], nullptr, 16);
        m.expected = f[15];
        if (m.method < lo || m.method > hi || (m.flags & 1)) continue;
        BYTES zip = ReadFile(dir + m.archive);
        if (!MemberData(zip, m.index, m.csize, m.data)) {
            ADD_FAILURE() << "cannot find " << m.archive << " #" << m.index;
            continue;
        }
        list.push_back(std::move(m));
    }
    return list;
}

int Decode(const MEMBER& m, MEMIO& io, uint64_t* used = nullptr)
{
    MEMBERINFO info{m.csize, m.ucsize, m.flags};
    uint64_t u = 0;
    int rc;
    switch (m.method) {
    case 1: rc = Unshrink(io, info); break;
    case 6: rc = Explode(io, info, u); break;
    case 8: rc = Inflate(io); break;
    default: rc = Unreduce(io, info, static_cast<int>(m.method) - 1); break;
    }
    if (used) *used = u;
    return rc;
}

// Every listed member decodes to its size and CRC (and to the expected file
// where there is one); a cut-off copy of it is bad data; a refused Flush stops it.
size_t CheckMembers(unsigned lo, unsigned hi)
{
    std::string dir = DataDir("zip_data");
    size_t n = 0;
    for (const MEMBER& m : Members(lo, hi)) {
        std::string what = m.archive + " #" + std::to_string(m.index);
        MEMIO io(m.data, 777);
        uint64_t used = 0;
        EXPECT_EQ(Decode(m, io, &used), CODEC_OK) << what;
        EXPECT_EQ(io.out.size(), m.ucsize) << what;
        // One test archive carries a deliberately wrong CRC for a member
        // identical to its neighbour: compare such members with the file.
        if (m.expected.find('/') != std::string::npos) {
            EXPECT_TRUE(io.out == ReadFile(dir + m.expected)) << what;
        } else if (m.archive.find("test_read_format_zip.zip") == std::string::npos) {
            EXPECT_EQ(Crc(io.out), m.crc) << what;
        }
        if (m.method == 6) {
            EXPECT_EQ(used, m.csize) << what;
        }
        EXPECT_FALSE(io.biggestTooBig);

        MEMIO cut(BYTES(m.data.begin(), m.data.begin() + m.data.size() / 2));
        EXPECT_EQ(Decode(m, cut), CODEC_BADDATA) << what << " cut in half";

        if (m.ucsize > WSIZE) {
            MEMIO stop(m.data);
            stop.refuseAt = 1;
            EXPECT_EQ(Decode(m, stop), CODEC_STOPPED) << what;
            EXPECT_EQ(stop.flushes, 1) << what;
        }
        n++;
    }
    return n;
}

}  // namespace

TEST(Unshrink, RealArchiveMembers)
{
    EXPECT_EQ(CheckMembers(1, 1), 18u);
}

TEST(Unreduce, RealArchiveMembers)
{
    EXPECT_EQ(CheckMembers(2, 5), 31u);
}

TEST(Explode, RealArchiveMembers)
{
    EXPECT_EQ(CheckMembers(6, 6), 13u);
}

TEST(Inflate, RealArchiveMembers)
{
    EXPECT_EQ(CheckMembers(8, 8), 13u);   // two more are encrypted
}

// ---- explode, unshrink, unreduce: made-up cases ----

TEST(Explode, UsedCountsOnlyWhatTheDecoderTook)
{
    std::vector<MEMBER> list = Members(6, 6);
    ASSERT_FALSE(list.empty());
    MEMBER m = list.front();
    m.data.insert(m.data.end(), 100, 0x55);   // trailing bytes the decoder never needs
    m.csize += 100;
    MEMIO io(m.data);
    uint64_t used = 0;
    EXPECT_EQ(Decode(m, io, &used), CODEC_OK);
    EXPECT_EQ(used, m.csize - 100);
}

TEST(Explode, TreeWithTooManyLengthsIsBad)
{
    // Two trees, the first claiming 16 x 16 = 256 lengths for its 64 codes.
    BYTES d = {0x0F};
    d.insert(d.end(), 16, 0xF5);
    d.insert(d.end(), 64, 0);
    MEMIO io(d);
    uint64_t used = 0;
    EXPECT_EQ(Explode(io, MEMBERINFO{d.size(), 100, 0}, used), CODEC_BADDATA);
    EXPECT_TRUE(io.out.empty());
}

TEST(Unreduce, CopyBeforeTheStartReadsZerosAndBigSetsAreBad)
{
    // Empty follower sets, then 'x' and DLE, V = 1 (length 1 + 3), distance 9 + 1.
    BITWRITER w;
    for (int j = 0; j < 256; j++) w.Put(0, 6);
    for (unsigned c : {unsigned('x'), 144u, 1u, 9u}) w.Put(c, 8);
    MEMIO io(w.Bytes());
    EXPECT_EQ(Unreduce(io, MEMBERINFO{w.Bytes().size(), 5, 0}, 1), CODEC_OK);
    EXPECT_TRUE(io.out == (BYTES{'x', 0, 0, 0, 0}));

    BITWRITER big;
    big.Put(33, 6);       // follower set of 33 bytes
    big.Put(0, 300);
    MEMIO io2(big.Bytes());
    EXPECT_EQ(Unreduce(io2, MEMBERINFO{big.Bytes().size(), 5, 0}, 1), CODEC_BADDATA);
}

TEST(Unshrink, ControlCodes)
{
    // 'a', escape + widen to 10 bits, 'b' in 10 bits, then code 257 ("ab").
    BITWRITER w;
    w.Put('a', 9);
    w.Put(256, 9);
    w.Put(1, 9);
    w.Put('b', 10);
    w.Put(257, 10);
    MEMIO io(w.Bytes());
    EXPECT_EQ(Unshrink(io, MEMBERINFO{w.Bytes().size(), 4, 0}), CODEC_OK);
    EXPECT_EQ(std::string(io.out.begin(), io.out.end()), "abab");

    BITWRITER bad;        // escape followed by an unknown control code
    bad.Put('a', 9);
    bad.Put(256, 9);
    bad.Put(3, 9);
    bad.Put(0, 18);
    MEMIO io2(bad.Bytes());
    EXPECT_EQ(Unshrink(io2, MEMBERINFO{bad.Bytes().size(), 4, 0}), CODEC_BADDATA);

    BITWRITER wide;       // widening past 13 bits
    wide.Put('a', 9);
    for (unsigned b = 9; b <= 13; b++) {
        wide.Put(256, b);
        wide.Put(1, b);
    }
    wide.Put(0, 40);
    MEMIO io3(wide.Bytes());
    EXPECT_EQ(Unshrink(io3, MEMBERINFO{wide.Bytes().size(), 4, 0}), CODEC_BADDATA);

    BITWRITER unknown;    // a code not yet defined
    unknown.Put('a', 9);
    unknown.Put(300, 9);
    MEMIO io4(unknown.Bytes());
    EXPECT_EQ(Unshrink(io4, MEMBERINFO{unknown.Bytes().size(), 4, 0}), CODEC_BADDATA);
}

TEST(Unshrink, PartialClearFreesLeavesOnly)
{
    BITWRITER w;
    w.Put('a', 9);
    w.Put('b', 9);   // 257 = "ab"
    w.Put(257, 9);   // 258 = "ba"
    w.Put(257, 9);   // 259 = "aba", a child of 257
    w.Put(256, 9);
    w.Put(2, 9);     // clear: the leaves 258 and 259 go, 257 stays
    w.Put('z', 9);   // the lowest free code, 258, becomes "ab" + "z"
    w.Put(258, 9);
    MEMIO io(w.Bytes());
    EXPECT_EQ(Unshrink(io, MEMBERINFO{w.Bytes().size(), 10, 0}), CODEC_OK);
    EXPECT_EQ(std::string(io.out.begin(), io.out.end()), "abababzabz");
}
