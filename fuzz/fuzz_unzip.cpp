// The whole engine on arbitrary archives: the input is written to a file and
// the engine runs on it once testing every member ("-t") and once listing
// verbosely ("-v"). Its texts are thrown away.
#include "unzip.h"
#include <cstdio>
#include <string>
#include <unistd.h>

static void Discard(void*, int, const char*, size_t) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/fuzz_unzip_" + std::to_string(getpid()) + ".zip";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    UNZRUNOPTIONS run = {};
    run.sink = Discard;
    UnzipSetRunOptions(run);
    for (const char* opt : {"-t", "-v"}) {
        std::string a0 = "unzip", a1 = opt, a2 = path;
        char* argv[] = {a0.data(), a1.data(), a2.data(), nullptr};
        UnzipMain(3, argv);
        UnzipClearCapture();
    }
    remove(path.c_str());
    return 0;
}
