// The ZIP engine's entry point, its run options and the capture table that a
// listing run fills for the unzip adapter.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace unz { class ZIPOS; }

// Runs the engine like the command-line tool: argv[0] is "unzip". Returns the
// exit code; never ends the process.
int UnzipMain(int argc, char* argv[]);

// Exit codes that leave the engine.
enum {
    UNZ_OK = 0, UNZ_WARN = 1, UNZ_ERR = 2, UNZ_BADERR = 3, UNZ_MEM = 4, UNZ_MEM2 = 5,
    UNZ_NOZIP = 9, UNZ_PARAM = 10, UNZ_FIND = 11, UNZ_DISK = 50, UNZ_EOF = 51,
    UNZ_INTR = 80      // the run was interrupted (Ctrl-C or termination request)
};

// One member as a listing run met it: the name as the engine read it and the
// uncompressed size.
struct UNZCAPTURE {
    std::string name;
    uint64_t size;
    uint32_t dostime;    // last modified, MS-DOS date (high word) and time (low word)
};
const std::vector<UNZCAPTURE>& UnzipCapture();
uint64_t UnzipCaptureTotal();
void UnzipClearCapture();

// The file or folder that the last run (with a visitor: the last member)
// could not create or write, with "/" between folders; empty when every
// output could be written.
const std::string& UnzipUnwritable();

// A member of an extraction run as its visitor sees it.
struct UNZENTRY {
    size_t index;        // in the listing the visitor was given
    std::string path;    // where it goes below the extraction root, "/" between
                         // folders; empty when its name could not be mapped
    bool folder;         // a folder entry
    bool exists;         // a file (a folder, for a folder entry) stood at path before
    bool written;        // the engine made (or tried to make) the file or folder
};

// The caller's say in an extraction run, member by member (the setup's unzip
// adapter): it sees the whole listing before the first member, decides for
// each file and folder whether it is made and hears each member's result. The
// run lists and extracts in one pass over the archive.
class UNZVISITOR {
public:
    enum { NEXT, AGAIN, STOP };
    // The members in directory order, their total size and the archive's
    // code so far (1 for extra bytes in front, for instance). False ends the run.
    virtual bool Listed(const std::vector<UNZCAPTURE>& members, uint64_t total, int code) = 0;
    // Whether the file or folder of `e` is made; asked before anything of it
    // (its folders included) is made.
    virtual bool Take(const UNZENTRY& e) = 0;
    // The member's own code (0: extracted, or not taken); NEXT, AGAIN to
    // extract it once more, or STOP to end the run.
    virtual int Done(const UNZENTRY& e, int code) = 0;
protected:
    ~UNZVISITOR() = default;
};

// Where the engine's texts go (stream 1 standard output, 2 standard error)
// and how it asks its two console questions. Without an asker (the setup) no
// question is asked: the VMS question is answered No and a disk-full write
// ends the run with 50 (unless a visitor says otherwise).
typedef void (*UNZSINK)(void* ctx, int stream, const char* data, size_t n);
typedef bool (*UNZASK)(void* ctx, char* answer, size_t size);

struct UNZRUNOPTIONS {
    UNZSINK sink;        // null: stdout and stderr
    void* sinkCtx;
    UNZASK ask;          // null: no console
    void* askCtx;
    unz::ZIPOS* os;      // null: the platform's own
    UNZVISITOR* visitor; // null: every selected member, as on the command line
};
void UnzipSetRunOptions(const UNZRUNOPTIONS& options);
const UNZRUNOPTIONS& UnzipRunOptions();
