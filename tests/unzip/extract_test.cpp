// Member selection, checks, directory mapping, the existing-file policy, text
// conversion, output modes, times and attributes, and hostile archives.
#include "unztest.h"
#include <algorithm>
#include <csignal>
#ifndef _WIN32
#include <sys/stat.h>
#endif
#include <cstring>

namespace {

const std::string HELLO = "Hello, world!\n";

std::string Content(const std::string& path)
{
    std::string s;
    return ReadWhole(path, s) ? s : std::string("<missing>");
}

TEST(Extract, FoldersFromZipAndTheProgressLines)
{
    TEMPDIR dir;
    std::string p = GenPath("zip/folders.zip");
    UNZRESULT r = RunUnzip({p, "-d", dir.Path()});
    EXPECT_EQ(r.code, 0) << r.err;
    std::string root = dir.Path() + "/";
    EXPECT_NE(r.out.find("   creating: " + root + "tree/emptydir/\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  inflating: " + root + "tree/sub/b.txt"), std::string::npos);
    EXPECT_EQ(Kind(dir / "tree/emptydir"), unz::PATH_DIR);
    EXPECT_EQ(Content(dir / "tree/sub/b.txt"), Content(GenPath("src/tree/sub/b.txt")));
    EXPECT_EQ(Content(dir / "tree/sub/deeper/c.bin"), Content(GenPath("src/tree/sub/deeper/c.bin")));
    // again: folders exist now, nothing is "created"
    r = RunUnzip({p, "-d", dir.Path()});
    EXPECT_EQ(r.out.find("creating:"), std::string::npos);
}

TEST(Extract, IncludeAndExcludePatterns)
{
    TEMPDIR dir;
    UNZRESULT r = RunUnzip({"-qq", GenPath("zip/folders.zip"), "tree/s*", "-x", "*.bin", "nomatch", "-d", dir.Path()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "caution: excluded filename not matched:  nomatch\n");
    EXPECT_EQ(Kind(dir / "tree/sub/b.txt"), unz::PATH_FILE);
    EXPECT_EQ(Kind(dir / "tree/sub/deeper/c.bin"), unz::PATH_NONE);
    EXPECT_EQ(Kind(dir / "tree/a.txt"), unz::PATH_NONE);
    r = RunUnzip({"-qq", GenPath("zip/folders.zip"), "absent*", "-d", dir.Path()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "caution: filename not matched:  absent*\n");
}

TEST(Extract, CaseOfPatternsFollowsTheHost)
{
    TEMPDIR dir;
    // converted MS-DOS names match in any case; others only exactly
    UNZRESULT r = RunUnzip({"-qq", GenPath("py/dosnames.zip"), "ReadMe.TXT", "ntfs.txt", "DIR/SUB/[f]ILE.dat",
                            "-d", dir.Path()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "caution: filename not matched:  ntfs.txt\n");
    EXPECT_EQ(Content(dir / "readme.txt"), HELLO);
    EXPECT_EQ(Kind(dir / "dir/sub/file.dat"), unz::PATH_FILE);
    r = RunUnzip({"-qqU", GenPath("py/dosnames.zip"), "NTFS.TXT", "-d", dir.Path()});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(Kind(dir / "NTFS.TXT"), unz::PATH_FILE);
}

TEST(Extract, APatternAlsoNamesItsOwnSpelling)
{
    TEMPDIR dir;
    UNZRESULT r = RunUnzip({"-qq", GenPath("py/brackets.zip"), "file[1].txt", "-d", dir.Path()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Content(dir / "file[1].txt"), "bracketed\n");
    EXPECT_EQ(Kind(dir / "file2.txt"), unz::PATH_NONE);
    r = RunUnzip({"-qq", GenPath("py/brackets.zip"), "file[0-9].txt", "-d", dir.Path()});
    EXPECT_EQ(Content(dir / "file2.txt"), HELLO);
}

TEST(Extract, UnsupportedMembersAreSkippedWithCode1)
{
    struct CASE { const char* archive; const char* line; } cases[] = {
        {"py/encrypted.zip", "   skipping: secret.txt              encrypted (not supported)\n"},
        {"py/method9.zip", "   skipping: d64.bin                 compression method 9\n"},
        {"py/ver21.zip", "   skipping: new.txt                 need PK compat. v2.1 (can do v2.0)\n"},
    };
    for (const CASE& c : cases) {
        SCOPED_TRACE(c.archive);
        TEMPDIR dir;
        UNZRESULT r = RunUnzip({"-qq", GenPath(c.archive), "-d", dir.Path()});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, c.line);
        EXPECT_EQ(Content(dir / "open.txt"), HELLO);
        r = RunUnzip({"-t", GenPath(c.archive)});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.out.find("1 file skipped because of unsupported compression or encoding.\n"), std::string::npos);
    }
}

TEST(Extract, VmsMembersAreAnsweredNoWithoutAConsole)
{
    TEMPDIR dir;
    UNZRESULT r = RunUnzip({"-qq", GenPath("py/vms.zip"), "-d", dir.Path()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(Kind(dir / "FILE.TXT"), unz::PATH_NONE);
    EXPECT_EQ(Content(dir / "open.txt"), HELLO);
    // a console that answers yes
    auto yes = [](void*, char* answer, size_t size) { snprintf(answer, size, "y"); return true; };
    r = RunUnzip({"-q", GenPath("py/vms.zip"), "-d", dir.Path()}, nullptr, yes);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "\nFILE.TXT;3:  stored in VMS format.  Extract anyway? (y/n) ");
    EXPECT_EQ(Content(dir / "FILE.TXT"), HELLO);   // version suffix dropped
}

TEST(Extract, NameMapping)
{
    TEMPDIR dir;
    UNZRESULT r = RunUnzip({"-qq", GenPath("py/names.zip"), "-d", dir.Path()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Content(dir / "my file.txt"), HELLO);
    EXPECT_EQ(Content(dir / "a_b.txt"), HELLO);
    EXPECT_EQ(Content(dir / "ctlname.txt"), HELLO);
    EXPECT_EQ(Content(dir / "lit_x.txt"), HELLO);
    EXPECT_EQ(Content(dir / "_aux.txt"), HELLO);   // never a device
    EXPECT_EQ(Content(dir / "longdirectoryname.d/some.long.file.name.txt"), HELLO);

    TEMPDIR flat;
    r = RunUnzip({"-qqjs", GenPath("py/names.zip"), "-d", flat.Path()});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(Content(flat / "my_file.txt"), HELLO);
    EXPECT_EQ(Content(flat / "some.long.file.name.txt"), HELLO);

    TEMPDIR vms;
    r = RunUnzip({"-qq", GenPath("py/vmsname.zip"), "-d", vms.Path()});
    EXPECT_EQ(Content(vms / "FILE.TXT"), HELLO);
    EXPECT_EQ(Content(vms / "ver.txt;x"), HELLO);
    r = RunUnzip({"-qqV", GenPath("py/vmsname.zip"), "-d", vms.Path()});
    EXPECT_EQ(Content(vms / "FILE.TXT;12"), HELLO);
}

// A volume that reports FAT, and one that refuses long names.
class FATOS : public unz::ZIPOSFORWARD {
public:
    FATOS() : ZIPOSFORWARD(unz::PlatformZipOs()) {}
    std::string VolumeFsName(const char*) override { return "FAT32"; }
    bool NameValid(const char* dir, const char* name) override
    {
        return strlen(name) <= 12 && os_.NameValid(dir, name);
    }
};

TEST(Extract, FatVolumesGetUnderscoresAndShortNames)
{
    FATOS fat;
    TEMPDIR dir;
    UNZRESULT r = RunUnzip({"-qq", GenPath("py/names.zip"), "-d", dir.Path()}, &fat);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Content(dir / "my_file.txt"), HELLO);
    EXPECT_EQ(Content(dir / "longdire.d/some_lon.txt"), HELLO);
}

TEST(Extract, FolderByAttributeAndVolumeLabels)
{
    TEMPDIR dir;
    UNZRESULT r = RunUnzip({"-q", GenPath("py/folderattr.zip"), "-d", dir.Path()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Kind(dir / "emptydir"), unz::PATH_DIR);
    EXPECT_EQ(Kind(dir / "OS2DIR"), unz::PATH_DIR);
    EXPECT_EQ(Kind(dir / "unixdir"), unz::PATH_FILE);   // Unix hosts mean no MS-DOS folder bit
    EXPECT_EQ(Content(dir / "file.txt"), HELLO);

    r = RunUnzip({"-qq", GenPath("py/vollabel.zip"), "-d", dir.Path()});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "   skipping: mylabel                 volume label\n");
    EXPECT_EQ(Kind(dir / "mylabel"), unz::PATH_NONE);
    r = RunUnzip({"-qq$", GenPath("py/vollabel.zip"), "-d", dir.Path()});
    EXPECT_EQ(r.err, "   skipping: mylabel                 hard disk volume label\n");
}

TEST(Extract, ExistingFilePolicy)
{
    // old.txt is from 2001, new.txt and missing.txt from 2030 (archive times)
    std::string p = GenPath("py/policy.zip");
    auto prepare = [](const TEMPDIR& d) {
        WriteWhole(d / "old.txt", "mine\n");
        WriteWhole(d / "new.txt", "mine\n");
    };
    const std::string A = "from archive\n", MINE = "mine\n";
    struct CASE { const char* opt; std::string oldTxt, newTxt, missing; } cases[] = {
        {"-qq", A, A, A},            // replace always, no question
        {"-qqo", A, A, A},
        {"-qqn", MINE, MINE, A},     // never overwrite
        {"-qqu", MINE, A, A},        // only newer members, create missing
        {"-qqf", MINE, A, "<missing>"},   // only newer members, create nothing
    };
    for (const CASE& c : cases) {
        SCOPED_TRACE(c.opt);
        TEMPDIR dir;
        prepare(dir);
        UNZRESULT r = RunUnzip({c.opt, p, "-d", dir.Path()});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(Content(dir / "old.txt"), c.oldTxt);
        EXPECT_EQ(Content(dir / "new.txt"), c.newTxt);
        EXPECT_EQ(Content(dir / "missing.txt"), c.missing);
    }
}

TEST(Extract, ReadOnlyFilesAreReplacedAndNothingStaysReadOnly)
{
    TEMPDIR dir;
    std::string p = GenPath("py/times.zip");
    UNZRESULT r = RunUnzip({"-qq", p, "-d", dir.Path()});
    EXPECT_EQ(r.code, 0);
    unz::PATHINFO info;
    ASSERT_EQ(unz::PlatformZipOs().Query((dir / "winter.txt").c_str(), &info), unz::PATH_FILE);
    EXPECT_FALSE(info.readOnly);   // the member carries the read-only bit
    unz::ZIPOS& os = unz::PlatformZipOs();
    unz::ZIPHANDLE h = os.Create((dir / "summer.txt").c_str());
    ASSERT_NE(h, unz::ZIP_NOHANDLE);
    unsigned err;
    EXPECT_EQ(os.Write(h, "old", 3), 3);
    EXPECT_TRUE(os.SetAttributes(h, 0x01, err));
    os.Close(h);
#ifndef _WIN32
    chmod((dir / "summer.txt").c_str(), 0444);
#endif
    ASSERT_EQ(os.Query((dir / "summer.txt").c_str(), &info), unz::PATH_FILE);
    ASSERT_TRUE(info.readOnly);
    r = RunUnzip({"-qq", p, "-d", dir.Path()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Content(dir / "summer.txt"), HELLO);
}

// DOS times are local times; TZ is a zone with summer time for this program.
TEST(Extract, FileTimesFollowTheZoneOnTheMembersDate)
{
    TEMPDIR dir;
    UNZRESULT r = RunUnzip({"-qq", GenPath("py/times.zip"), "-d", dir.Path()});
    ASSERT_EQ(r.code, 0);
    unz::PATHINFO s, w;
    ASSERT_EQ(unz::PlatformZipOs().Query((dir / "summer.txt").c_str(), &s), unz::PATH_FILE);
    ASSERT_EQ(unz::PlatformZipOs().Query((dir / "winter.txt").c_str(), &w), unz::PATH_FILE);
    const char* tz = getenv("TZ");
    if (tz && strcmp(tz, "Europe/Berlin") == 0) {
        EXPECT_EQ(s.mtime, 1593597600);   // 2020-07-01 10:00:00 UTC (12:00 CEST)
        EXPECT_EQ(w.mtime, 1579086000);   // 2020-01-15 11:00:00 UTC (12:00 CET)
    }
    int64_t utc;
    unsigned err;
    EXPECT_EQ(unz::PlatformZipOs().DosToUtc(((uint32_t)0x50E1 << 16) | 0x6000, utc, err), unz::DOSTIME_OK);
    EXPECT_EQ(s.mtime, utc);
}

TEST(Extract, TextConversion)
{
    TEMPDIR dir;
    UNZRESULT r = RunUnzip({"-a", GenPath("py/textconv.zip"), "-d", dir.Path()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find(" extracting: " + dir.Path() + "/mixed.txt  [text]  \n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("/bin.dat  [binary]\n"), std::string::npos);
    EXPECT_NE(r.out.find("/empty.txt  [empty] \n"), std::string::npos);
    EXPECT_EQ(Content(dir / "mixed.txt"), "a\r\nb\r\nc\r\nd\r\n\r\ne");
    EXPECT_EQ(Content(dir / "bin.dat"), "x\ny\r\n");   // not marked as text
    // CR as the last byte of one 32 KiB piece, LF as the first of the next
    std::string edge = std::string(32767, 'a') + "\r\n" + std::string(100, 'b') + "\r\n";
    EXPECT_TRUE(Content(dir / "edge.txt") == edge);
    EXPECT_TRUE(Content(dir / "edgedefl.txt") == edge);

    r = RunUnzip({"-qqaa", GenPath("py/textconv.zip"), "bin.dat", "-d", dir.Path()});
    EXPECT_EQ(Content(dir / "bin.dat"), "x\r\ny\r\n");
    r = RunUnzip({"-qqab", GenPath("py/textconv.zip"), "mixed.txt", "-d", dir.Path()});
    EXPECT_EQ(Content(dir / "mixed.txt"), "a\nb\r\nc\rd\r\r\ne");

    // zip marks text files itself
    r = RunUnzip({"-qqa", GenPath("zip/text.zip"), "-d", dir.Path()});
    EXPECT_EQ(Content(dir / "unix.txt"), "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(Content(dir / "dos.txt"), "one\r\ntwo\r\nthree\r\n");
    EXPECT_TRUE(Content(dir / "binary.bin") == Content(GenPath("src/binary.bin")));
}

TEST(Extract, StandardOutputModes)
{
    std::string p = GenPath("zip/plain.zip");
    UNZRESULT r = RunUnzip({"-p", p, "unix.txt"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "one\ntwo\nthree\n");
    EXPECT_EQ(r.err, "");
    r = RunUnzip({"-c", p, "unix.txt"});
    EXPECT_EQ(r.out, "Archive:  " + p + "\n extracting: unix.txt                \none\ntwo\nthree\n");
    r = RunUnzip({"-pa", p, "unix.txt"});   // -p clears text conversion
    EXPECT_EQ(r.out, "one\ntwo\nthree\n");
    r = RunUnzip({"-qca", p, "unix.txt"});
    EXPECT_EQ(r.out, "one\r\ntwo\r\nthree\r\n");
}

TEST(Extract, TestModeSummaries)
{
    std::string p = GenPath("zip/plain.zip");
    UNZRESULT r = RunUnzip({"-t", p});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "Archive:  " + p + "\n"
                     "    testing: unix.txt                 OK\n"
                     "    testing: tree/a.txt               OK\n"
                     "No errors detected in compressed data of " + p + ".\n");
    r = RunUnzip({"-t", p, "unix.txt"});
    EXPECT_NE(r.out.find("No errors detected in " + p + " for the 1 file tested.\n"), std::string::npos);
    r = RunUnzip({"-tqq", p});
    EXPECT_EQ(r.out, "");
    p = GenPath("py/badcrc.zip");
    r = RunUnzip({"-t", p});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "Archive:  " + p + "\n"
                     "    testing: bad.txt                  bad CRC 7b55a718  (should be 12345678)\n"
                     "    testing: good.txt                 OK\n"
                     "At least one error was detected in " + p + ".\n");
    r = RunUnzip({"-t", GenPath("py/encrypted.zip"), "secret.txt"});
    EXPECT_NE(r.out.find("Caution:  zero files tested in "), std::string::npos);
}

TEST(Extract, DamagedMembers)
{
    TEMPDIR dir;
    std::string p = GenPath("py/badcrc.zip");
    UNZRESULT r = RunUnzip({"-qq", p, "-d", dir.Path()});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "bad.txt                 bad CRC 7b55a718  (should be 12345678)\n");
    EXPECT_EQ(Content(dir / "bad.txt"), HELLO);   // the file stays
    EXPECT_EQ(Content(dir / "good.txt"), HELLO);

    p = GenPath("py/truncdata.zip");
    r = RunUnzip({"-qq", p, "-d", dir.Path()});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "  error:  invalid compressed (deflated) data for cut.txt\n");
    EXPECT_EQ(Content(dir / "good.txt"), HELLO);

    p = GenPath("py/badoffset.zip");
    r = RunUnzip({"-qq", p, "-d", dir.Path()});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.err, "file #2:  bad zipfile offset (local header sig):  60\n");
    EXPECT_EQ(Content(dir / "good2.txt"), HELLO);

    p = GenPath("py/descriptor.zip");
    r = RunUnzip({"-qq", p, "-d", dir.Path()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Content(dir / "desc.txt").size(), 5000u * 14);
}

// Nothing lands outside the root, whatever the names say.
TEST(Hostile, NamesStayUnderTheRoot)
{
    TEMPDIR outer;
    std::string root = outer / "root";
    UNZRESULT r = RunUnzip({"-qq", GenPath("py/hostile.zip"), "-d", root});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "   skipping: ../evil1.txt            unsafe \"..\" path component\n"
                     "   skipping: a/../../evil2.txt       unsafe \"..\" path component\n"
                     "   skipping: ..\\evil3.txt            unsafe \"..\" path component\n"
                     "   skipping: dots/.. /evil4.txt      unsafe \"..\" path component\n"
                     "   skipping: ../localevil.txt        unsafe \"..\" path component\n");
    for (const char* evil : {"evil1.txt", "evil2.txt", "evil3.txt", "evil4.txt", "localevil.txt", "root/evil1.txt"})
        EXPECT_EQ(Kind(outer / evil), unz::PATH_NONE) << evil;
    EXPECT_EQ(Kind(root + "/fine.txt"), unz::PATH_NONE);
    EXPECT_EQ(Content(root + "/abs/path.txt"), HELLO);
    EXPECT_EQ(Content(root + "/C_/drive.txt"), HELLO);
    EXPECT_EQ(Content(root + "/c_/win/back.txt"), HELLO);
    EXPECT_EQ(Content(root + "/ok.txt"), HELLO);
}

// Every file and folder below `dir`, relative to it, with "/" between folders.
std::vector<std::string> Tree(const std::string& dir)
{
    std::vector<std::string> all;
    std::vector<std::string> names;
    if (!unz::PlatformZipOs().ListDir(dir.c_str(), names))
        return all;
    for (const std::string& n : names) {
        if (n == "." || n == "..")
            continue;
        all.push_back(n);
        for (const std::string& below : Tree(dir + "/" + n))
            all.push_back(n + "/" + below);
    }
    return all;
}

size_t Count(const std::string& text, const std::string& word)
{
    size_t n = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}

// A system that puts every member's path inside the root (the root is the one
// path given with a trailing "/"): only the name mapping stands.
class BLIND : public unz::ZIPOSFORWARD {
public:
    BLIND() : ZIPOSFORWARD(unz::PlatformZipOs()) {}
    std::string FullPath(const char* p) override { return *p && p[strlen(p) - 1] == '/' ? "/root" : "/root/x"; }
};

// Names that climb only once control characters, Ctrl-V and "\" are mapped,
// or once they are cut at 260 bytes. Nothing appears beside the root, two
// levels up included, and each is reported, also without the guard on the full
// path. With -j only the names whose last component climbs are left.
TEST(Hostile, NamesThatClimbOnlyOnceMapped)
{
    BLIND blind;
    for (unz::ZIPOS* os : {(unz::ZIPOS*)nullptr, (unz::ZIPOS*)&blind})
        for (auto run : {std::make_pair("-qq", 12u), std::make_pair("-qqj", 3u)}) {
            SCOPED_TRACE(run.first);
            TEMPDIR outer;
            std::string root = outer / "a/b/root";
            UNZRESULT r = RunUnzip({run.first, GenPath("py/escape.zip"), "-d", root}, os);
            EXPECT_EQ(r.code, 2);
            EXPECT_EQ(Count(r.err, "unsafe"), run.second) << r.err;
            for (const std::string& n : Tree(outer.Path()))
                EXPECT_TRUE(n == "a" || n == "a/b" || n.compare(0, 8, "a/b/root") == 0) << n;
            EXPECT_EQ(Content(root + "/ok.txt"), HELLO);
        }
    TEMPDIR dir;
    UNZRESULT r = RunUnzip({"-qq", GenPath("py/escape.zip"), "-d", dir.Path()});
    EXPECT_NE(r.err.find("   skipping: .\x01./localevil.txt"), std::string::npos) << r.err;
    EXPECT_EQ(Kind(dir / "fine.txt"), unz::PATH_NONE);
    EXPECT_EQ(Kind(dir / "sub"), unz::PATH_NONE);    // no folder for a hostile member

    // a root of 106 characters: the path is cut at 260 right after ".."
    TEMPDIR box;
    std::string top(106 - box.Path().size() - 1, 'r');
    ASSERT_GT(top.size(), 10u);
    r = RunUnzip({"-qq", GenPath("py/cut260.zip"), "-d", box / top});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(Count(r.err, "unsafe"), 1u) << r.err;
    for (const std::string& n : Tree(box.Path()))
        EXPECT_EQ(n.compare(0, top.size(), top), 0) << n;
    EXPECT_EQ(Content(box / top + "/ok.txt"), HELLO);
}

// A folder the system resolves elsewhere (as a link would): the guard on the
// full path refuses its members, and no folder is made for them.
class ELSEWHERE : public unz::ZIPOSFORWARD {
public:
    ELSEWHERE() : ZIPOSFORWARD(unz::PlatformZipOs()) {}
    std::string FullPath(const char* p) override
    {
        std::string full = os_.FullPath(p);
        size_t at = full.find("/tree/sub");
        return at == std::string::npos ? full : "/elsewhere" + full.substr(at);
    }
};

TEST(Hostile, TheFullPathIsCheckedOnItsOwn)
{
    ELSEWHERE os;
    TEMPDIR dir;
    UNZRESULT r = RunUnzip({"-qq", GenPath("zip/folders.zip"), "-d", dir.Path()}, &os);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(Count(r.err, "unsafe \"..\" path component\n"), 4u) << r.err;
    EXPECT_NE(r.err.find("   skipping: tree/sub/b.txt          unsafe"), std::string::npos) << r.err;
    EXPECT_EQ(Kind(dir / "tree/sub"), unz::PATH_NONE);
    EXPECT_EQ(Content(dir / "tree/a.txt"), Content(GenPath("src/tree/a.txt")));

    EXPECT_EQ(unz::NormalisePath("/a/./b//c/../../d/"), "/a/d");
    EXPECT_EQ(unz::NormalisePath("/../x/.."), "/");
    std::string full = unz::PlatformZipOs().FullPath((dir / "x/./y/../z/").c_str());
    EXPECT_EQ(full, unz::PlatformZipOs().FullPath((dir / "x/z").c_str()));
    EXPECT_EQ(full.substr(full.size() - 4), "/x/z");
}

// Output stops at the size the headers declare; more or less is a bad member.
TEST(Hostile, DeclaredSizesHold)
{
    TEMPDIR dir;
    std::string p = GenPath("py/sizes.zip");
    UNZRESULT r = RunUnzip({"-qq", p, "-d", dir.Path()});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "  error:  bomb.bin is larger than its stated 100 bytes\n"
                     "  error:  long.txt is larger than its stated 20 bytes\n"
                     "  error:  short.txt ends after 20 of its stated 50 bytes\n"
                     "  error:  shortdefl.txt ends after 300 of its stated 400 bytes\n");
    EXPECT_EQ(Content(dir / "bomb.bin"), std::string(100, '\0'));
    EXPECT_EQ(Content(dir / "long.txt"), std::string(20, 'x'));
    EXPECT_EQ(Content(dir / "short.txt"), std::string(20, 'x'));
    EXPECT_EQ(Content(dir / "good.txt"), HELLO);
    // testing and standard output keep to the same sizes
    r = RunUnzip({"-t", p});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("  error:  bomb.bin is larger than its stated 100 bytes\n"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("    testing: good.txt                 OK\n"), std::string::npos) << r.out;
    r = RunUnzip({"-p", p, "long.txt"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, std::string(20, 'x'));
}

// Writes that fail as on a full disk; the second kind raises an interrupt.
class FAILOS : public unz::ZIPOSFORWARD {
public:
    explicit FAILOS(bool interrupt) : ZIPOSFORWARD(unz::PlatformZipOs()), interrupt_(interrupt) {}
    long Write(unz::ZIPHANDLE h, const void* b, size_t n) override
    {
        if (interrupt_) {
            raise(SIGINT);
            return os_.Write(h, b, n);
        }
        return n > 4 ? 4 : os_.Write(h, b, n);
    }
private:
    bool interrupt_;
};

TEST(Robust, DiskFullEndsTheRunWith50)
{
    FAILOS full(false);
    TEMPDIR dir;
    UNZRESULT r = RunUnzip({"-qq", GenPath("zip/plain.zip"), "-d", dir.Path()}, &full);
    EXPECT_EQ(r.code, 50);
    EXPECT_EQ(r.err, "\n" + dir.Path() + "/unix.txt:  write error (disk full?)\n");
    EXPECT_EQ(Kind(dir / "tree/a.txt"), unz::PATH_NONE);   // the run stopped
    // a console answering yes goes on with the next member, as a warning
    auto yes = [](void*, char* answer, size_t size) { snprintf(answer, size, "y"); return true; };
    TEMPDIR dir2;
    r = RunUnzip({"-qq", GenPath("zip/plain.zip"), "-d", dir2.Path()}, &full, yes);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("write error (disk full?).  Continue? (y/n/^C) "), std::string::npos);
}

static int s_ownSignals = 0;
static void OwnHandler(int) { ++s_ownSignals; }

TEST(Robust, InterruptEndsTheRunWithACodeAndHandlersComeBack)
{
    signal(SIGINT, OwnHandler);
    FAILOS intr(true);
    TEMPDIR dir;
    UNZRESULT r = RunUnzip({"-qq", GenPath("zip/plain.zip"), "-d", dir.Path()}, &intr);
    EXPECT_EQ(r.code, UNZ_INTR);
    EXPECT_EQ(Kind(dir / "tree/a.txt"), unz::PATH_NONE);
    EXPECT_EQ(s_ownSignals, 0);   // the engine had it during the run
    raise(SIGINT);
    EXPECT_EQ(s_ownSignals, 1);   // and gave it back afterwards
    signal(SIGINT, SIG_DFL);
}

}  // namespace

namespace {

// Damaged copies of real and made archives: every run ends with a code of the
// table, and nothing appears beside the extraction root.
TEST(Robust, MutatedArchivesEndWithACodeAndStayInTheRoot)
{
    const char* sources[] = {"zip/folders.zip", "py/descriptor.zip", "py/dosnames.zip"};
    const char* real[] = {"pkzip-small/example-i.zip", "pkzip-small/example-r.zip", "commons-compress/SHRUNK.ZIP",
                          "libarchive/test_read_format_zip_msdos.zip"};
    std::vector<std::string> originals;
    for (const char* s : sources) {
        std::string d;
        ASSERT_TRUE(ReadWhole(GenPath(s), d)) << s;
        originals.push_back(d);
    }
    for (const char* s : real) {
        std::string d;
        ASSERT_TRUE(ReadWhole(DataPath(s), d)) << s;
        originals.push_back(d);
    }
    const int allowed[] = {0, 1, 2, 3, 4, 5, 9, 11, 50, 51};
    uint32_t seed = 12345;
    auto next = [&seed]() { seed = seed * 1103515245u + 12345u; return seed >> 8; };
    TEMPDIR dir;
    std::string archive = dir / "m.zip";
    for (const std::string& original : originals) {
        for (int round = 0; round < 150; ++round) {
            std::string d = original;
            int changes = 1 + (int)(next() % 4);
            for (int k = 0; k < changes; ++k)
                d[next() % d.size()] = (char)(next() & 0xff);
            if (round % 10 == 9)
                d.resize(next() % d.size());
            WriteWhole(archive, d);
            UNZRESULT r = RunUnzip({"-qq", archive, "-d", dir / "root"});
            EXPECT_NE(std::find(std::begin(allowed), std::end(allowed), r.code), std::end(allowed))
                << "round " << round << " code " << r.code;
            r = RunUnzip({"-qqv", archive});
            EXPECT_NE(std::find(std::begin(allowed), std::end(allowed), r.code), std::end(allowed));
        }
    }
    std::vector<std::string> names;
    ASSERT_TRUE(unz::PlatformZipOs().ListDir(dir.Path().c_str(), names));
    for (const std::string& n : names)
        EXPECT_TRUE(n == "." || n == ".." || n == "m.zip" || n == "root") << n;
    UnzipClearCapture();
}

}  // namespace

namespace {

TEST(Extract, ImplodedMemberWithMoreDataThanItNeeds)
{
    TEMPDIR dir;
    UNZRESULT r = RunUnzip({"-qq", GenPath("py/implode_long.zip"), "-d", dir.Path()});
    EXPECT_EQ(r.code, 1);
    std::string want = "warning  i.bin:  89 bytes required to uncompress to 2048 bytes;\n       ";
    EXPECT_EQ(r.err.compare(0, want.size(), want), 0) << r.err;
    EXPECT_NE(r.err.find("supposed to require 99 bytes\n"), std::string::npos);
    std::string data;
    ASSERT_TRUE(ReadWhole(dir / "i.bin", data));
    EXPECT_EQ(Crc(data), 0x8314ddd9u);
}

}  // namespace
