// The unzip adapter: lists and extracts one archive into the install folder
// in one pass of the ZIP engine, applying the product's ProtectedFiles and
// AskOverwrite rules to each existing file (the engine itself replaces
// existing files without asking).
#pragma once
#include <windows.h>
#include <cstdint>
#include "brisel/strings.h"

// One member as the installation meets it in the pass over its archive.
struct UNZIPMEMBER
{
    STRING name;        // as stored, "/" between folders
    STRING path;        // where it went below the target, "/" between folders;
                        // empty when its name could not be mapped
    uint64_t size;      // uncompressed
    BOOL folder;
    BOOL existed;       // a file (a folder, for a folder) stood at path before
    BOOL written;       // FALSE: the rules kept the file that was there
    uint32_t dostime;   // last modified: MS-DOS date (high word) and time
};

// The file installation's part in the pass: it hears the listing first, is
// told before a file or folder is made and after each member, and decides how
// to go on.
class UNZIPSTEPS
{
public:
    enum { NEXT, AGAIN, STOP };
    virtual void Listed(int count, uint64_t total) = 0;
    // The file or folder of m is about to be made, its folders first (a file
    // over the one there when m.existed).
    virtual void Writing(const UNZIPMEMBER& m) = 0;
    // ok FALSE: the member failed (the adapter's Failure() says why).
    // Returns NEXT, AGAIN (extract it once more) or STOP.
    virtual int Done(const UNZIPMEMBER& m, BOOL ok) = 0;
protected:
    ~UNZIPSTEPS() = default;
};

class UNZIPPER
{
public:
    // The lists are "|" entries whose first ";" field is a member name; null
    // lists count as empty.
    UNZIPPER(const char* archive, const char* asklist, const char* protectedlist);
    ~UNZIPPER();
    UNZIPPER(const UNZIPPER&) = delete;
    UNZIPPER& operator=(const UNZIPPER&) = delete;

    // Lists the archive and extracts its members into target in one pass of
    // the engine, applying the rules to each. TRUE when the pass came to the
    // end of the archive; FALSE when the archive cannot be read (Failure()
    // says why) or steps stopped the pass.
    BOOL Install(const char* target, UNZIPSTEPS& steps);

    // Why the archive or the last member failed.
    enum FAILURE { FAIL_NONE, FAIL_NOARCHIVE, FAIL_BADARCHIVE, FAIL_BADMEMBER, FAIL_CANNOTWRITE };
    FAILURE Failure() const { return Failed; }
    // What the failure names: the archive, the member (control characters as
    // "?"), or the path that could not be written (with "\").
    const STRING& FailedName() const { return FailedWhat; }
    const STRING& ArchiveName() const { return Archive; }

    // Every "\" turned into "/"; null gives "".
    static STRING Slashes(const char* text);
    // The entry of list whose first field equals member (case-insensitive);
    // -1 when none.
    static int FindEntry(const STRING& list, const char* member, STRING* entry);
    // Question text: the first "%s" of format replaced by name, "%%" by "%".
    static STRING AskText(const char* format, const char* name);

private:
    class PASS;
    void Report(int rc, const char* member);
    // Whether the rules let member be written over an existing file.
    BOOL MayReplace(const UNZIPMEMBER& m, const char* target);

    STRING Archive;
    STRING AskList;
    STRING ProtectList;
    FAILURE Failed;
    STRING FailedWhat;
};
