#include "unztest.h"
#include "codec.h"
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

static void Sink(void* ctx, int stream, const char* data, size_t n)
{
    UNZRESULT* r = static_cast<UNZRESULT*>(ctx);
    (stream == 1 ? r->out : r->err).append(data, n);
}

UNZRESULT RunUnzip(const std::vector<std::string>& args, unz::ZIPOS* os, UNZASK ask, void* askCtx,
                   UNZVISITOR* visitor)
{
    UNZRESULT r{0, {}, {}};
    UNZRUNOPTIONS opt = {Sink, &r, ask, askCtx, os, visitor};
    UnzipSetRunOptions(opt);
    std::vector<std::string> all = {"unzip"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    r.code = UnzipMain((int)all.size(), argv.data());
    UnzipSetRunOptions(UNZRUNOPTIONS{});
    return r;
}

// Folders come from the build as host paths; Wine reaches the host's root as Z:.
static std::string HostPath(const char* p)
{
#ifdef _WIN32
    return std::string("Z:") + p;
#else
    return p;
#endif
}

std::string GenPath(const std::string& rel) { return HostPath(UNZ_GENDIR) + "/" + rel; }
std::string DataPath(const std::string& rel) { return HostPath(UNZ_DATADIR) + "/" + rel; }

TEMPDIR::TEMPDIR()
{
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path p = fs::temp_directory_path() /
                 ("unztest-" + std::to_string(stamp % 100000000) + "-" + std::to_string(counter++));
    fs::create_directories(p);
    path_ = p.generic_string();
}

TEMPDIR::~TEMPDIR()
{
    std::error_code ec;
    // Extracted files may be read-only if a test failed; make everything writable first.
    for (auto& e : fs::recursive_directory_iterator(path_, ec))
        fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

bool ReadWhole(const std::string& path, std::string& data)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    std::ostringstream s;
    s << f.rdbuf();
    data = s.str();
    return true;
}

void WriteWhole(const std::string& path, const std::string& data)
{
    std::ofstream f(path, std::ios::binary);
    f << data;
}

unz::PATHKIND Kind(const std::string& path) { return unz::PlatformZipOs().Query(path.c_str(), nullptr); }

uint32_t Crc(const std::string& data)
{
    return ~unz::Crc32Update(0xFFFFFFFFu, (const uint8_t*)data.data(), data.size());
}

std::vector<std::string> SplitTsv(const std::string& line)
{
    std::vector<std::string> cols;
    std::string cur;
    for (char ch : line) {
        if (ch == '\t') {
            cols.push_back(cur);
            cur.clear();
        } else if (ch != '\r') {
            cur += ch;
        }
    }
    cols.push_back(cur);
    return cols;
}
