// Options, archive selection, the end record, the directory walk, listings
// and the capture table.
#include "unztest.h"
#include <cstring>

namespace {

const char* INVALID = "error:  -fn or any combination of -c, -l, -p, -t, -u and -v options invalid\n";

TEST(Options, ConflictingModesPrintTheUsageAndGive10)
{
    const std::vector<std::vector<std::string>> bad = {
        {"-ct"}, {"-c", "-u"}, {"-tf"}, {"-tv"}, {"-uv"}, {"-fl"}, {"-fn"}, {"-cl"}};
    for (auto opts : bad) {
        SCOPED_TRACE(opts[0]);
        opts.push_back(GenPath("zip/plain.zip"));
        UNZRESULT r = RunUnzip(opts);
        EXPECT_EQ(r.code, 10);
        EXPECT_EQ(r.err.compare(0, strlen(INVALID), INVALID), 0) << r.err;
        EXPECT_NE(r.err.find("Usage: unzip"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
}

TEST(Options, UnknownLetterAndNegation)
{
    UNZRESULT r = RunUnzip({"-lK", GenPath("zip/plain.zip")});
    EXPECT_EQ(r.code, 10);
    EXPECT_EQ(r.err.find("error:"), std::string::npos);   // usage only
    // "-t-t" takes the test flag back: a plain extraction into the folder
    TEMPDIR dir;
    r = RunUnzip({"-qt-t", GenPath("zip/plain.zip"), "-d", dir.Path()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Kind(dir / "unix.txt"), unz::PATH_FILE);
}

TEST(Options, NeverAndOverwriteTogetherDropOverwrite)
{
    TEMPDIR dir;
    WriteWhole(dir / "unix.txt", "mine");
    UNZRESULT r = RunUnzip({"-qno", GenPath("zip/plain.zip"), "-d", dir.Path()});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "caution:  both -n and -o specified; ignoring -o\n");
    std::string kept;
    ASSERT_TRUE(ReadWhole(dir / "unix.txt", kept));
    EXPECT_EQ(kept, "mine");
}

TEST(Options, DirectoryOption)
{
    UNZRESULT r = RunUnzip({GenPath("zip/plain.zip"), "-d"});
    EXPECT_EQ(r.code, 10);
    EXPECT_EQ(r.err, "error:  must specify directory to which to extract with -d option\n");
    TEMPDIR dir;
    r = RunUnzip({"-qt", GenPath("zip/plain.zip"), "-d", dir / "never"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "caution:  not extracting; -d ignored\n");
    EXPECT_EQ(Kind(dir / "never"), unz::PATH_NONE);
    // backslashes are folder separators; a missing root is created
    std::string root = dir / "new\\root\\";
    r = RunUnzip({"-qq", GenPath("zip/plain.zip"), "-d", root});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Kind(dir / "new/root/tree/a.txt"), unz::PATH_FILE);
}

TEST(Selection, ZipSuffixIsTriedSecond)
{
    UNZRESULT r = RunUnzip({"-v", GenPath("zip/plain")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.compare(0, 10, "Archive:  "), 0);
    EXPECT_NE(r.out.find(GenPath("zip/plain.zip") + "\n"), std::string::npos);
}

TEST(Selection, MissingArchivesAndNonArchives)
{
    std::string none = GenPath("py/nothing-here");
    UNZRESULT r = RunUnzip({"-l", none});
    EXPECT_EQ(r.code, 9);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "unzip:  can't find either " + none + " or " + none + ".zip, so there.\n");

    std::string noend = GenPath("py/noend.zip");
    r = RunUnzip({"-l", noend});
    EXPECT_EQ(r.code, 9);
    EXPECT_EQ(r.out, "Archive:  " + noend + "\n");
    const char* notFound =
        "  End-of-central-directory signature not found.  Either this file is not\n"
        "  a zipfile, or it constitutes one disk of a multi-part archive.  In the\n"
        "  latter case the central directory and zipfile comment will be found on\n"
        "  the last disk(s) of this archive.\n";
    EXPECT_EQ(r.err, std::string(notFound) + "unzip:  can't find zipfile directory in " + noend +
                         ",\n        and can't find " + noend + ".zip, period.\n");

    std::string exe = GenPath("py/noend.exe");
    r = RunUnzip({"-ql", exe});
    EXPECT_EQ(r.code, 9);
    EXPECT_EQ(r.err.compare(0, exe.size() + 3, "[" + exe + "]\n"), 0) << r.err;
    EXPECT_NE(r.err.find("note:  " + exe + " may be an executable, not an archive\n"), std::string::npos);

    // a folder is no archive
    r = RunUnzip({"-l", GenPath("py")});
    EXPECT_EQ(r.code, 9);
    EXPECT_NE(r.err.find("can't find either"), std::string::npos);
}

TEST(Selection, WildcardsProcessEveryMatchAndSummarise)
{
    UnzipClearCapture();
    UNZRESULT r = RunUnzip({"-qql", GenPath("zip/LEVEL[0-2].ZIP")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(UnzipCapture().size(), 9u);
    EXPECT_EQ(r.err, "3 archives successfully processed.\n");
    r = RunUnzip({"-qqt", GenPath("py/no*.*")});   // noend.exe and noend.zip
    EXPECT_EQ(r.code, 9);
    EXPECT_NE(r.err.find("2 files had no zipfile directory.\n"), std::string::npos);
    r = RunUnzip({"-qqt", GenPath("py/seconddisk.zi?")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("1 archive had warnings but no fatal errors.\n"), std::string::npos);
    r = RunUnzip({"-qqt", GenPath("py/zz*")});
    EXPECT_EQ(r.code, 9);
    EXPECT_EQ(r.err, "No zipfiles found.\n");
    UnzipClearCapture();
}

// The end record is found wherever the comment puts it, also across the
// 2048-byte blocks the search reads.
TEST(EndRecord, EveryCommentLengthUpTo2100)
{
    for (int n = 0; n <= 2100; ++n) {
        char rel[64];
        snprintf(rel, sizeof rel, "py/comments/c%04d.zip", n);
        UnzipClearCapture();
        UNZRESULT r = RunUnzip({"-qql", GenPath(rel)});
        ASSERT_EQ(r.code, 0) << n << r.err;
        ASSERT_EQ(UnzipCapture().size(), 1u) << n;
        ASSERT_EQ(UnzipCapture()[0].size, (uint64_t)n);
    }
    UnzipClearCapture();
}

TEST(EndRecord, LongestCommentIsFoundAndShown)
{
    std::string path = GenPath("py/bigcomment.zip");
    UNZRESULT r = RunUnzip({"-z", path});
    EXPECT_EQ(r.code, 0) << r.err;
    std::string want = "Archive:  " + path + "\n";
    for (int i = 0; i < 65535; ++i)
        want += (char)('A' + i % 26);
    EXPECT_TRUE(r.out == want + "\n");
    r = RunUnzip({"-qt", path});
    EXPECT_EQ(r.code, 0);
    // 600 more bytes behind it put the record beyond the 66,000 searched
    r = RunUnzip({"-qt", GenPath("py/toofar.zip")});
    EXPECT_EQ(r.code, 9);
    EXPECT_NE(r.err.find("End-of-central-directory signature not found."), std::string::npos);
}

TEST(EndRecord, CommentDisplayAndTruncation)
{
    std::string path = GenPath("py/escomment.zip");
    UNZRESULT r = RunUnzip({"-qz", path});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "one\ntwo ^[[1m bold\n");
    r = RunUnzip({"-z", GenPath("zip/comment.zip")});
    EXPECT_EQ(r.out, "Archive:  " + GenPath("zip/comment.zip") + "\nAn archive comment\nwith two lines\n");
    path = GenPath("py/truncomment.zip");
    r = RunUnzip({"-l", path});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "\ncaution:  zipfile comment truncated\n");
    EXPECT_EQ(r.out.compare(0, path.size() + 17, "Archive:  " + path + "\nshort\n"), 0) << r.out;
}

TEST(EndRecord, DiskNumbersOffsetsAndDamage)
{
    std::string p = GenPath("py/multidisk.zip");
    UNZRESULT r = RunUnzip({"-l", p});
    EXPECT_EQ(r.code, 11);
    EXPECT_EQ(r.err, "\nerror [" + p + "]:  zipfile is part of multi-disk archive\n  (sorry, not yet supported).\n");

    p = GenPath("py/seconddisk.zip");
    r = RunUnzip({"-qt", p});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("claims to be second disk of a two-part archive"), std::string::npos);

    p = GenPath("py/missing.zip");
    r = RunUnzip({"-qt", p});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "error [" + p + "]:  missing 10 bytes in zipfile\n  (attempting to process anyway)\n"
                     "error [" + p + "]:  reported length of central directory is\n"
                     "  10 bytes too long (Atari STZIP zipfile?  K.P.Vane ZIPSPLIT 1.1\n"
                     "  zipfile?).  Compensating...\n");

    p = GenPath("py/nullcd.zip");
    r = RunUnzip({"-qt", p});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "error [" + p + "]:  NULL central directory offset\n  (attempting to process anyway)\n");

    p = GenPath("py/nocd.zip");
    r = RunUnzip({"-qt", p});
    EXPECT_EQ(r.code, 3);
    std::string want = "error [" + p + "]:  start of central directory not found;\n  zipfile corrupt.\n";
    EXPECT_EQ(r.err.compare(0, want.size(), want), 0) << r.err;

    p = GenPath("py/damagedend.zip");   // directory offset 3 instead of 49: found, first member re-compensated
    TEMPDIR dir;
    r = RunUnzip({"-qq", p, "-d", dir.Path()});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(Kind(dir / "x.txt"), unz::PATH_FILE);

    p = GenPath("py/truncfile.zip");
    r = RunUnzip({"-qt", p});
    EXPECT_EQ(r.code, 9);
    EXPECT_NE(r.err.find("End-of-central-directory signature not found"), std::string::npos);
}

TEST(EndRecord, PrefixedArchives)
{
    // a stub in front, offsets not adjusted: a warning, code 1
    std::string p = GenPath("zip/stub_noadj.zip");
    UNZRESULT r = RunUnzip({"-qt", p});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "warning [" + p + "]:  extra 3002 bytes at beginning or within zipfile\n"
                     "  (attempting to process anyway)\n");
    // offsets adjusted by zip -A: nothing to report
    r = RunUnzip({"-qt", GenPath("zip/stub_adj.zip")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "");
    // local offsets adjusted, directory offset not: re-compensated at the first member
    p = GenPath("py/recomp.zip");
    TEMPDIR dir;
    r = RunUnzip({"-qq", p, "-d", dir.Path()});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "warning [" + p + "]:  extra 100 bytes at beginning or within zipfile\n"
                     "  (attempting to process anyway)\n"
                     "file #1:  bad zipfile offset (local header sig):  200\n"
                     "  (attempting to re-compensate)\n");
    EXPECT_EQ(Kind(dir / "second.txt"), unz::PATH_FILE);
}

TEST(Listing, VerboseWithRatiosTotalsAndComments)
{
    std::string p = GenPath("py/emptymembers.zip");
    UNZRESULT r = RunUnzip({"-v", p});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "Archive:  " + p + "\n"
        " Length  Method   Size  Ratio   Date    Time   CRC-32     Name (\"^\" ==> case\n"
        " ------  ------   ----  -----   ----    ----   ------     ----   conversion)\n"
        "      0  Stored       0   0%  03-04-21  10:20  00000000   zero1.txt\n"
        "      0  Defl:N       2   0%  03-04-21  10:20  00000000   zero2.txt\n"
        "   1000  Defl:N      11  99%  03-04-21  10:20  3b41c9e6   some.txt\n"
        " ------          ------  ---                              -------\n"
        "   1000              13  99%                              3      \n");

    p = GenPath("py/empty.zip");
    r = RunUnzip({"-v", p});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "warning [" + p + "]:  zipfile is empty\n");
    EXPECT_NE(r.out.find("      0               0   0%                              0      \n"), std::string::npos);

    r = RunUnzip({"-qqv", GenPath("py/grown.zip")});
    EXPECT_EQ(r.out, "      2  Defl:N       4 -100%  03-04-21  10:20  9e83486d   grown.bin\n");

    r = RunUnzip({"-v", GenPath("py/comments_member.zip")});
    EXPECT_NE(r.out.find("   a.txt\nmember comment\n ------"), std::string::npos) << r.out;
    r = RunUnzip({"-qv", GenPath("py/comments_member.zip")});
    EXPECT_EQ(r.out.find("member comment"), std::string::npos);
}

TEST(Listing, ShortListingCaseConversionAndControlCharacters)
{
    std::string p = GenPath("py/dosnames.zip");
    UnzipClearCapture();
    UNZRESULT r = RunUnzip({"-l", p});
    EXPECT_EQ(r.out, "Archive:  " + p + "\n"
        " Length    Date    Time    Name (\"^\" ==> case\n"
        " ------    ----    ----    ----   conversion)\n"
        "     14  03-04-21  10:20  ^readme.txt\n"
        "     14  03-04-21  10:20   Mixed.Txt\n"
        "     42  03-04-21  10:20  ^dir/sub/file.dat\n"
        "     14  03-04-21  10:20   UPPER.TXT\n"
        "     14  03-04-21  10:20   NTFS.TXT\n"
        "     14  03-04-21  10:20   HPFS.TXT\n"
        " ------                    -------\n"
        "    112                    6      \n");
    ASSERT_EQ(UnzipCapture().size(), 6u);
    EXPECT_EQ(UnzipCapture()[0].name, "readme.txt");
    EXPECT_EQ(UnzipCaptureTotal(), 112u);
    UnzipClearCapture();
    r = RunUnzip({"-qqlU", p});
    EXPECT_EQ(r.out.substr(0, 46), "     14  03-04-21  10:20   README.TXT\n     14 ");
    EXPECT_EQ(UnzipCapture()[2].name, "DIR/SUB/FILE.DAT");
    UnzipClearCapture();

    r = RunUnzip({"-qql", GenPath("py/names.zip"), "ctl*"});
    EXPECT_EQ(r.out, "     14  03-04-21  10:20   ctl^Aname.txt\n");
    EXPECT_EQ(UnzipCapture()[0].name, std::string("ctl\x01name.txt"));
    UnzipClearCapture();
}

TEST(Capture, LongNamesAndManyMembers)
{
    std::string p = GenPath("py/longname.zip");
    UnzipClearCapture();
    UNZRESULT r = RunUnzip({"-v", p});
    EXPECT_EQ(r.code, 1);
    std::string cut = std::string(150, 'n') + "/" + std::string(109, 'm');
    EXPECT_EQ(r.err, "warning:  filename too long--truncating.\n[ " + cut + " ]\n");
    ASSERT_EQ(UnzipCapture().size(), 2u);
    EXPECT_EQ(UnzipCapture()[0].name, cut);
    EXPECT_EQ(UnzipCapture()[1].name, "short.txt");
    UnzipClearCapture();

    // the table has no fixed number of slots and keeps whole names; runs add up
    r = RunUnzip({"-qql", GenPath("py/many.zip")});
    r = RunUnzip({"-qql", GenPath("py/many.zip")});
    EXPECT_EQ(r.code, 0);
    ASSERT_EQ(UnzipCapture().size(), 600u);
    EXPECT_EQ(UnzipCapture()[299].name, "member299_" + std::string(180, 'q') + ".txt");
    uint64_t total = 0;
    for (int i = 0; i < 300; ++i)
        total += std::to_string(i).size();
    EXPECT_EQ(UnzipCaptureTotal(), 2 * total);
    UnzipClearCapture();
    EXPECT_TRUE(UnzipCapture().empty());
    EXPECT_EQ(UnzipCaptureTotal(), 0u);
}

TEST(Listing, ArchivesMadeByZipAtEveryLevel)
{
    std::string text, bin;
    ASSERT_TRUE(ReadWhole(GenPath("src/text.txt"), text));
    ASSERT_TRUE(ReadWhole(GenPath("src/binary.bin"), bin));
    for (int level = 0; level <= 9; ++level) {
        SCOPED_TRACE(level);
        std::string p = GenPath("zip/level" + std::to_string(level) + ".zip");
        UnzipClearCapture();
        UNZRESULT r = RunUnzip({"-v", p});
        EXPECT_EQ(r.code, 0);
        ASSERT_EQ(UnzipCapture().size(), 3u);
        EXPECT_EQ(UnzipCapture()[0].size, text.size());
        EXPECT_EQ(UnzipCapture()[1].size, bin.size());
        EXPECT_EQ(UnzipCapture()[2].size, 0u);
        EXPECT_NE(r.out.find(level == 0 ? "  Stored  " : "  Defl:"), std::string::npos);
        TEMPDIR dir;
        r = RunUnzip({"-qq", p, "-d", dir.Path()});
        EXPECT_EQ(r.code, 0) << r.err;
        std::string got;
        ASSERT_TRUE(ReadWhole(dir / "text.txt", got));
        EXPECT_TRUE(got == text);
        ASSERT_TRUE(ReadWhole(dir / "binary.bin", got));
        EXPECT_TRUE(got == bin);
        ASSERT_TRUE(ReadWhole(dir / "empty.dat", got));
        EXPECT_EQ(got, "");
    }
    UnzipClearCapture();
}

}  // namespace

#include "unzpriv.h"

namespace {

TEST(Patterns, SetsRangesNegationEscapesAndCase)
{
    struct CASE { const char* pattern; const char* name; bool ignoreCase, match; } cases[] = {
        {"*", "any/path/at/all", false, true},
        {"a*/c", "a/b/c", false, true},          // "*" crosses "/"
        {"a?c", "abc", false, true},
        {"a?c", "ac", false, false},
        {"[a-c]x", "bx", false, true},
        {"[a-c]x", "dx", false, false},
        {"[!a-c]x", "dx", false, true},
        {"[^a-c]x", "ax", false, false},
        {"[]]", "]", false, true},
        {"[a\\-z]", "-", false, true},
        {"x\\*", "x*", false, true},
        {"x\\*", "xy", false, false},
        {"README.*", "readme.txt", true, true},
        {"README.*", "readme.txt", false, false},
        {"[A-C]*", "b.txt", true, true},
        {"[abc", "a", false, false},             // unterminated set
        {"*.txt", "a.txt.bak", false, false},
        {"**a", "bba", false, true},
    };
    for (const CASE& c : cases)
        EXPECT_EQ(unz::Match(c.pattern, c.name, c.ignoreCase), c.match) << c.pattern << " " << c.name;
    EXPECT_TRUE(unz::HasWild("a/b*.zip"));
    EXPECT_FALSE(unz::HasWild("a/b\\*.zip"));
}

}  // namespace
