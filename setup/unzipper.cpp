// The unzip adapter over the ZIP engine.
#include "setup/unzipper.h"
#include "setup/unattended.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/winmisc.h"
#include "unzip.h"
#include <string>
#include <vector>

// The engine's texts are not shown by a windowed program; its errors go to the
// debug log, its listings nowhere.
static void EngineSink(void*, int stream, const char* data, size_t n)
{
    if (stream == 2 && n > 0)
        LogitLevel(3, "UNZIPPER engine: %.*s", (int)n, data);
}

// Runs the engine with the arguments as given; returns its exit code.
static int RunEngine(const std::vector<std::string>& args)
{
    UNZRUNOPTIONS options = {EngineSink, NULL, NULL, NULL, NULL};
    UnzipSetRunOptions(options);
    std::vector<std::string> copies(args);
    std::vector<char*> argv;
    for (std::string& a : copies)
        argv.push_back(&a[0]);
    argv.push_back(NULL);
    return UnzipMain((int)copies.size(), argv.data());
}

STRING UNZIPPER::Slashes(const char* text)
{
    STRING s(text ? text : "");
    s.Replace("\\", "/", TRUE);
    return s;
}

STRING UNZIPPER::Pattern(const char* name)
{
    STRING p("");
    for (const char* c = name; c && *c; c++) {
        if (*c == '[' || *c == '*' || *c == '?') {
            char set[4] = {'[', *c, ']', 0};
            p.Append(set, 3);
        } else {
            p.Append(c, 1);
        }
    }
    return p;
}

STRING UNZIPPER::TargetFile(const char* target, const char* member)
{
    STRING file(target ? target : "");
    if (file.Len() == 0 || file[file.Len() - 1] != '\\')
        file.Append("\\", 1);
    file.Append(member ? member : "");
    return file;
}

static BOOL Exists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

int UNZIPPER::FindEntry(const STRING& list, const char* member, const char* target, BOOL mustexist, STRING* entry)
{
    STRING name(member ? member : "");
    for (int i = 0;; i++) {
        STRING e = list.Word(i, "|");
        if (e.IsNull())
            return -1;
        if (e.Len() == 0)
            continue;
        STRING first = e.Word(0, ";");
        if (first.IsNull() || !(first == name))   // STRING equality ignores case
            continue;
        if (mustexist && !Exists(TargetFile(target, member)))
            continue;
        if (entry)
            *entry = e;
        return i;
    }
}

void UNZIPPER::CreateParents(const char* path)
{
    STRING p(path ? path : "");
    for (int i = 0; i < p.Len(); i++) {
        char c = p[i];
        if ((c == '\\' || c == '/') && i != 2 && i > 0)
            CreateDirectoryA(p.Left(i), NULL);
    }
}

STRING UNZIPPER::AskText(const char* format, const char* name)
{
    STRING text("");
    BOOL used = FALSE;
    for (const char* c = format ? format : ""; *c; c++) {
        if (c[0] == '%' && c[1] == '%') {
            text.Append("%", 1);
            c++;
        } else if (c[0] == '%' && c[1] == 's' && !used) {
            text.Append(name ? name : "");
            used = TRUE;
            c++;
        } else {
            text.Append(c, 1);
        }
    }
    return text;
}

// Why the engine failed, as the user is told: an output that could not be
// written (perhaps a running program holds it), a missing archive, a damaged
// archive, or a damaged member (which includes one that would land outside the
// target folder).
void UNZIPPER::Report(int rc, const char* member)
{
    const std::string& unwritable = UnzipUnwritable();
    if (!unwritable.empty()) {
        Failed = FAIL_CANNOTWRITE;
        FailedWhat = unwritable.c_str();
        FailedWhat.Replace("/", "\\", TRUE);
    } else if (rc == UNZ_NOZIP && !FileExists(Archive)) {
        Failed = FAIL_NOARCHIVE;
        FailedWhat = Archive;
    } else if (!member || rc == UNZ_NOZIP) {
        Failed = FAIL_BADARCHIVE;
        FailedWhat = Archive;
    } else {
        // A name from the archive must not lay out the question's text.
        Failed = FAIL_BADMEMBER;
        FailedWhat = member;
        for (int i = 0; i < FailedWhat.Len(); i++)
            if ((unsigned char)FailedWhat[i] < 0x20 || FailedWhat[i] == 0x7F)
                FailedWhat.At(i) = '?';
    }
}

UNZIPPER::UNZIPPER(const char* archive, const char* asklist, const char* protectedlist)
    : Archive(archive ? archive : ""), AskList(Slashes(asklist)), ProtectList(Slashes(protectedlist)), Position(0),
      ListedOk(FALSE), Failed(FAIL_NONE)
{
    UnzipClearCapture();
    int error = RunEngine({"unzip", "-v", std::string(Archive.Str())});
    ListedOk = error == 0;
    if (!ListedOk || Count() == 0)
        Report(error, NULL);
    // Reported to the log only: the caller turns a failed listing into the
    // extraction question the user can act on.
    Assert(error == 0, "error==FALSE", "setup/unzip/unzipper", 83, Archive, TRUE);
    Logit("UNZIPPER::UNZIPPER %s members=%d total=%llu error=%d\n", Archive.Str(), Count(),
          (unsigned long long)Total(), error);
}

UNZIPPER::~UNZIPPER() = default;

uint64_t UNZIPPER::Total() const
{
    return UnzipCaptureTotal();
}

int UNZIPPER::Count() const
{
    return (int)UnzipCapture().size();
}

uint64_t UNZIPPER::GetFirst(STRING& name)
{
    Position = 0;
    return GetNext(name);
}

uint64_t UNZIPPER::GetNext(STRING& name)
{
    const std::vector<UNZCAPTURE>& table = UnzipCapture();
    if (Position < 0 || (size_t)Position >= table.size()) {
        name = "";
        return 0;
    }
    const UNZCAPTURE& member = table[(size_t)Position++];
    name = Slashes(member.name.c_str());
    return member.size;
}

int UNZIPPER::Extract(const char* member, const char* target, int* called)
{
    if (!IsDirectory(target))
        CreateParents(target);

    BOOL extract = TRUE;
    if (FindEntry(ProtectList, member, target, TRUE, NULL) >= 0)
        extract = FALSE;
    STRING entry;
    if (extract && FindEntry(AskList, member, target, TRUE, &entry) >= 0) {
        STRING shown = entry.Word(1, ";");
        if (shown.Len() == 0)
            shown = member;
        HINSTANCE res = APP::ResourceModule();
        STRING text = AskText(OSYS::GetStringFromResource(IDS_ASKREPLACE, res), shown);
        if (UNATTENDED::Silent) {
            uint32_t time = 0;
            for (const UNZCAPTURE& m : UnzipCapture())
                if (Slashes(m.name.c_str()) == STRING(member))
                    time = m.dostime;
            extract = UNATTENDED::ReplaceOlder(time, TargetFile(target, member), text);
        } else {
            extract = MessageYesNo(GetActiveWindow(), OSYS::GetStringFromResource(IDS_REPLACECAPTION, res), text);
        }
    }

    int result = 1;
    if (extract) {
        int rc = RunEngine({"unzip", "-qq", std::string(Archive.Str()), std::string(Pattern(member).Str()), "-d",
                            std::string(target)});
        result = rc == 0 ? 1 : 0;
        Failed = FAIL_NONE;
        if (rc != 0)
            Report(rc, member);
        Logit("UNZIPPER::Extract %s rc=%d\n", member, rc);
    }
    if (called)
        *called = extract ? 1 : 0;
    return result;
}
