// The unzip adapter over the ZIP engine.
#include "setup/install/unzipper.h"
#include "setup/frame/unattended.h"
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
static int RunEngine(const std::vector<std::string>& args, UNZVISITOR* visitor = NULL)
{
    UNZRUNOPTIONS options = {EngineSink, NULL, NULL, NULL, NULL, visitor};
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

int UNZIPPER::FindEntry(const STRING& list, const char* member, STRING* entry)
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
        if (entry)
            *entry = e;
        return i;
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
    : Archive(archive ? archive : ""), AskList(Slashes(asklist)), ProtectList(Slashes(protectedlist)),
      Failed(FAIL_NONE)
{
}

UNZIPPER::~UNZIPPER() = default;

// Protected files stay; files listed for asking are replaced when the user says so.
BOOL UNZIPPER::MayReplace(const UNZIPMEMBER& m, const char* target)
{
    const char* member = m.name;
    if (FindEntry(ProtectList, member, NULL) >= 0)
        return FALSE;
    STRING entry;
    if (FindEntry(AskList, member, &entry) < 0)
        return TRUE;
    STRING shown = entry.Word(1, ";");
    if (shown.Len() == 0)
        shown = member;
    HINSTANCE res = APP::ResourceModule();
    STRING text = AskText(OSYS::GetStringFromResource(IDS_ASKREPLACE, res), shown);
    if (UNATTENDED::Silent) {
        STRING file = STRING(target) || "\\" || m.path;
        file.Replace("/", "\\", TRUE);
        return UNATTENDED::ReplaceOlder(m.dostime, file, text);
    }
    return MessageYesNo(GetActiveWindow(), OSYS::GetStringFromResource(IDS_REPLACECAPTION, res), text);
}

// The adapter's side of the engine's pass: the rules on each file, the
// steps' say on each member.
class UNZIPPER::PASS : public UNZVISITOR
{
public:
    PASS(UNZIPPER& unz, UNZIPSTEPS& steps, const char* target)
        : Unz(unz), Steps(steps), Target(target), IsListed(FALSE), Refused(FALSE), Stopped(FALSE)
    {
    }

    bool Listed(const std::vector<UNZCAPTURE>& members, uint64_t total, int code) override
    {
        IsListed = TRUE;
        for (const UNZCAPTURE& m : members)
            Members.push_back({Slashes(m.name.c_str()), STRING(""), m.size, FALSE, FALSE, FALSE, m.dostime});
        // Warnings about the archive as a whole (a stub in front) do not
        // matter: each member's data is checked on its own.
        if (code > UNZ_WARN || members.empty()) {
            Unz.Report(UNZ_BADERR, NULL);
            Refused = TRUE;
            return false;
        }
        Steps.Listed((int)members.size(), total);
        return true;
    }

    bool Take(const UNZENTRY& e) override
    {
        UNZIPMEMBER& m = Member(e);
        if (e.exists && !Unz.MayReplace(m, Target))
            return false;
        m.written = TRUE;
        Steps.Writing(m);
        return true;
    }

    int Done(const UNZENTRY& e, int code) override
    {
        UNZIPMEMBER& m = Member(e);
        m.written = e.written;
        Unz.Failed = FAIL_NONE;
        if (code != UNZ_OK)
            Unz.Report(code, m.name);
        Logit("UNZIPPER::Install %s rc=%d written=%d\n", m.name.Str(), code, m.written);
        int next = Steps.Done(m, code == UNZ_OK);
        Stopped = next == UNZIPSTEPS::STOP;
        return next == UNZIPSTEPS::AGAIN ? AGAIN : Stopped ? STOP : NEXT;
    }

    UNZIPPER& Unz;
    UNZIPSTEPS& Steps;
    const char* Target;
    std::vector<UNZIPMEMBER> Members;
    BOOL IsListed;
    BOOL Refused;
    BOOL Stopped;

private:
    UNZIPMEMBER& Member(const UNZENTRY& e)
    {
        UNZIPMEMBER& m = Members[e.index];
        m.path = e.path.c_str();
        m.folder = e.folder;
        m.existed = e.exists;
        return m;
    }
};

BOOL UNZIPPER::Install(const char* target, UNZIPSTEPS& steps)
{
    PASS pass(*this, steps, target);
    Failed = FAIL_NONE;
    int rc = RunEngine({"unzip", "-qq", std::string(Archive.Str()), "-d", std::string(target)}, &pass);
    if (!pass.IsListed)
        Report(rc, NULL);
    // Reported to the log only: the caller turns a failed listing into the
    // question the user can act on.
    Assert(pass.IsListed && !pass.Refused, "error==FALSE", "setup/unzip/unzipper", 83, Archive, TRUE);
    Logit("UNZIPPER::Install %s into %s members=%d rc=%d\n", Archive.Str(), target, (int)pass.Members.size(), rc);
    return pass.IsListed && !pass.Refused && !pass.Stopped;
}
