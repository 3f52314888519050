// The whole extraction on arbitrary archives: the input is written to a file
// and extracted with "-o", then with "-oj", then as the setup does it (with a
// visitor), into a fresh folder. Every file operation passes a watch that
// stops the process before anything is made or changed outside that folder;
// every file the first two runs write must fit the members the listing
// declares, in their order, and the visitor must be shown that listing.
#include "unzip.h"
#include "zipos.h"
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class WATCH : public unz::ZIPOSFORWARD {
public:
    explicit WATCH(const std::string& root) : ZIPOSFORWARD(unz::PlatformZipOs()), root_(root) {}
    unz::ZIPHANDLE Create(const char* p) override
    {
        Inside(p);
        unz::ZIPHANDLE h = os_.Create(p);
        if (h != unz::ZIP_NOHANDLE) {
            open_[h] = written.size();
            written.push_back(0);
        }
        return h;
    }
    long Write(unz::ZIPHANDLE h, const void* b, size_t n) override
    {
        auto it = open_.find(h);
        if (it != open_.end())
            written[it->second] += n;
        return os_.Write(h, b, n);
    }
    void Close(unz::ZIPHANDLE h) override
    {
        open_.erase(h);
        os_.Close(h);
    }
    bool MakeDir(const char* p) override { Inside(p); return os_.MakeDir(p); }
    bool MakeWritable(const char* p) override { Inside(p); return os_.MakeWritable(p); }

    std::vector<uint64_t> written;   // bytes per file created, in order

private:
    // Resolved by the system, links included: the folder that would hold the
    // entry must be the root or below it, and the entry a plain name.
    void Inside(const char* path)
    {
        fs::path p(path);
        std::string base = p.filename().string();
        char parent[PATH_MAX];
        if (!realpath(p.parent_path().empty() ? "." : p.parent_path().c_str(), parent))
            return;   // no such folder: nothing can be made there
        std::string where = parent;
        if (base.empty() || base == "." || base == ".." ||
            (where != root_ && where.compare(0, root_.size() + 1, root_ + "/") != 0)) {
            fprintf(stderr, "outside the root: %s\n", path);
            __builtin_trap();
        }
    }
    std::string root_;
    std::map<unz::ZIPHANDLE, size_t> open_;
};

void Discard(void*, int, const char*, size_t) {}

// As the setup drives it: takes every member in order, tries each failed
// one once more.
class SETUPLIKE : public UNZVISITOR {
public:
    bool Listed(const std::vector<UNZCAPTURE>& m, uint64_t, int) override
    {
        for (const UNZCAPTURE& c : m)
            sizes.push_back(c.size);
        return true;
    }
    bool Take(const UNZENTRY&) override { return true; }
    int Done(const UNZENTRY& e, int code) override
    {
        if (e.index >= sizes.size() || e.index < last_) {
            fprintf(stderr, "member %zu out of order\n", e.index);
            __builtin_trap();
        }
        last_ = e.index;
        return code != 0 && retried_.insert(e.index).second ? AGAIN : NEXT;
    }
    std::vector<uint64_t> sizes;
private:
    size_t last_ = 0;
    std::set<size_t> retried_;
};

int Run(std::vector<std::string> args, unz::ZIPOS* os, UNZVISITOR* visitor = nullptr)
{
    UNZRUNOPTIONS run = {};
    run.sink = Discard;
    run.os = os;
    run.visitor = visitor;
    UnzipSetRunOptions(run);
    args.insert(args.begin(), "unzip");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return UnzipMain((int)args.size(), argv.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const fs::path box = fs::temp_directory_path() / ("fuzz_extract_" + std::to_string(getpid()));
    const fs::path archive = box / "in.zip", root = box / "out" / "root";
    std::error_code ec;
    fs::remove_all(box, ec);
    fs::create_directories(root);
    FILE* f = fopen(archive.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);

    UnzipClearCapture();
    Run({"-v", archive.string()}, nullptr);
    std::vector<uint64_t> declared;
    for (const UNZCAPTURE& c : UnzipCapture())
        declared.push_back(c.size);
    UnzipClearCapture();

    char real[PATH_MAX];
    if (!realpath(root.c_str(), real))
        return 0;
    for (const char* opt : {"-o", "-oj"}) {
        WATCH watch(real);
        Run({opt, archive.string(), "-d", root.string()}, &watch);
        // Each file belongs to a later member than the one before it.
        size_t member = 0;
        for (uint64_t n : watch.written) {
            while (member < declared.size() && declared[member] < n)
                ++member;
            if (member == declared.size()) {
                fprintf(stderr, "a file of %llu bytes fits no member\n", (unsigned long long)n);
                __builtin_trap();
            }
            ++member;
        }
    }
    // Once more as the setup runs it: the listing it sees is the listing.
    {
        WATCH watch(real);
        SETUPLIKE setup;
        Run({"-qq", archive.string(), "-d", root.string()}, &watch, &setup);
        if (!setup.sizes.empty() && setup.sizes != declared) {
            fprintf(stderr, "the visitor's listing differs from -v\n");
            __builtin_trap();
        }
    }
    // and nothing beside the root
    for (const fs::path& dir : {box, box / "out"})
        for (const fs::directory_entry& e : fs::directory_iterator(dir))
            if (e.path() != archive && e.path() != box / "out" && e.path() != root) {
                fprintf(stderr, "outside the root: %s\n", e.path().c_str());
                __builtin_trap();
            }
    fs::remove_all(box, ec);
    return 0;
}
