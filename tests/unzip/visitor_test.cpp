// Extraction runs with a visitor: one pass that lists and then extracts,
// member by member as the visitor decides; and what each file costs the
// operating system.
#include "unztest.h"
#include <filesystem>
#include <map>

namespace {

std::string Content(const std::string& path)
{
    std::string s;
    return ReadWhole(path, s) ? s : std::string("<missing>");
}

// Records what it is shown; declines the members named in `decline`, and
// answers Done from `answers` (member index -> answers in turn), else NEXT.
class RECORDER : public UNZVISITOR {
public:
    bool Listed(const std::vector<UNZCAPTURE>& m, uint64_t t, int c) override
    {
        ++listed;
        members = m;
        total = t;
        code = c;
        return !refuse;
    }
    bool Take(const UNZENTRY& e) override
    {
        takes.push_back(e);
        size_t slash = e.path.find('/');
        firstFolder.push_back(slash == std::string::npos ? unz::PATH_DIR : Kind(root + "/" + e.path.substr(0, slash)));
        return decline.count(members[e.index].name) == 0;
    }
    int Done(const UNZENTRY& e, int c) override
    {
        dones.push_back(e);
        codes.push_back(c);
        unwritable.push_back(UnzipUnwritable());
        std::vector<int>& a = answers[e.index];
        if (a.empty())
            return NEXT;
        int next = a.front();
        a.erase(a.begin());
        if (before)
            before(e);
        return next;
    }
    int listed = 0;
    bool refuse = false;
    std::vector<UNZCAPTURE> members;
    uint64_t total = 0;
    int code = -1;
    std::string root;                       // the extraction root
    std::vector<UNZENTRY> takes, dones;
    std::vector<unz::PATHKIND> firstFolder;  // at Take: the path's first folder
    std::vector<int> codes;
    std::vector<std::string> unwritable;
    std::map<std::string, int> decline;
    std::map<size_t, std::vector<int>> answers;
    void (*before)(const UNZENTRY&) = nullptr;   // runs before an answer is given
};

TEST(Visitor, ListsOnceThenDecidesMemberByMember)
{
    TEMPDIR dir;
    WriteWhole(dir / "keep.txt", "mine\n");
    // A folder where a file must go: the member fails until it is gone.
    ASSERT_EQ(unz::PlatformZipOs().MakeDir((dir / "sub").c_str()), true);
    ASSERT_EQ(unz::PlatformZipOs().MakeDir((dir / "sub/blocked.txt").c_str()), true);
    static std::string blocked;
    blocked = dir / "sub/blocked.txt";
    RECORDER v;
    v.root = dir.Path();
    v.decline["keep.txt"] = 1;
    v.answers[3] = {UNZVISITOR::AGAIN};
    v.before = [](const UNZENTRY&) { std::filesystem::remove(blocked); };
    UNZRESULT r = RunUnzip({"-qq", GenPath("py/visit.zip"), "-d", dir.Path()}, nullptr, nullptr, nullptr, &v);

    ASSERT_EQ(v.listed, 1);
    std::vector<std::string> names;
    for (const UNZCAPTURE& m : v.members)
        names.push_back(m.name);
    EXPECT_EQ(names, (std::vector<std::string>{"keep.txt", "dir\\back.txt", "sub/", "sub/blocked.txt", "d64.bin",
                                               "last.txt"}));
    EXPECT_EQ(v.total, 13u + 14 + 0 + 14 + 14 + 5000 * 14);
    EXPECT_EQ(v.code, 0);

    // Asked before anything is made, knowing what is there; told of every
    // member, the failed one twice; the unsupported one is never asked for.
    ASSERT_EQ(v.takes.size(), 6u);
    EXPECT_TRUE(v.takes[0].exists);
    EXPECT_FALSE(v.takes[1].exists);
    EXPECT_EQ(v.firstFolder[1], unz::PATH_NONE);     // made after the question
    EXPECT_EQ(Kind(dir / "dir"), unz::PATH_DIR);
    EXPECT_TRUE(v.takes[2].folder);
    EXPECT_TRUE(v.takes[2].exists);
    std::vector<size_t> order;
    for (const UNZENTRY& e : v.dones)
        order.push_back(e.index);
    EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2, 3, 3, 4, 5}));
    EXPECT_EQ(v.codes, (std::vector<int>{0, 0, 0, 50, 0, 1, 0}));
    EXPECT_EQ(v.unwritable[3], blocked);
    EXPECT_EQ(v.unwritable[4], "");
    // Paths as the files were made, below the root.
    EXPECT_EQ(v.dones[1].path, "dir/back.txt");
    EXPECT_EQ(v.dones[2].path, "sub/");
    EXPECT_TRUE(v.dones[2].folder);
    EXPECT_EQ(v.dones[5].path, "");                        // unsupported: never mapped
    EXPECT_FALSE(v.dones[0].written);
    EXPECT_TRUE(v.dones[1].written);

    EXPECT_EQ(Content(dir / "keep.txt"), "mine\n");
    EXPECT_EQ(Content(dir / "dir/back.txt"), "Hello, world!\n");
    EXPECT_EQ(Content(dir / "sub/blocked.txt"), "Hello, world!\n");
    EXPECT_EQ(Content(dir / "last.txt").size(), 5000u * 14);
    EXPECT_EQ(r.code, 1);    // the unsupported member; the failure tried again does not count
}

TEST(Visitor, StopsWhereItIsTold)
{
    TEMPDIR dir;
    RECORDER v;
    v.answers[1] = {UNZVISITOR::STOP};
    RunUnzip({"-qq", GenPath("py/visit.zip"), "-d", dir.Path()}, nullptr, nullptr, nullptr, &v);
    EXPECT_EQ(v.dones.size(), 2u);
    EXPECT_EQ(Content(dir / "dir/back.txt"), "Hello, world!\n");
    EXPECT_EQ(Kind(dir / "sub"), unz::PATH_NONE);

    // A refused listing extracts nothing; an archive with a stub in front is
    // listed with its warning and extracted.
    RECORDER refusing;
    refusing.refuse = true;
    RunUnzip({"-qq", GenPath("py/visit.zip"), "-d", dir / "none"}, nullptr, nullptr, nullptr, &refusing);
    EXPECT_EQ(refusing.listed, 1);
    EXPECT_TRUE(refusing.dones.empty());
    std::vector<std::string> left;
    unz::PlatformZipOs().ListDir((dir / "none").c_str(), left);
    EXPECT_EQ(left.size(), 2u) << "only . and ..";

    RECORDER stub;
    UNZRESULT r = RunUnzip({"-qq", GenPath("py/prefixed.zip"), "-d", dir / "stub"}, nullptr, nullptr, nullptr, &stub);
    EXPECT_EQ(stub.code, 1);
    EXPECT_EQ(stub.codes, (std::vector<int>{0, 0}));
    EXPECT_EQ(Content(dir / "stub/second.txt"), "Hello, world!\n");
    EXPECT_EQ(r.code, 1);

    // Nothing to list: the visitor never hears of the archive.
    RECORDER none;
    r = RunUnzip({"-qq", GenPath("py/noend.zip"), "-d", dir / "x"}, nullptr, nullptr, nullptr, &none);
    EXPECT_EQ(r.code, 9);
    EXPECT_EQ(none.listed, 0);
}

// Counts what the engine asks of the system, per path.
class COUNTINGOS : public unz::ZIPOSFORWARD {
public:
    COUNTINGOS() : ZIPOSFORWARD(unz::PlatformZipOs()) {}
    unz::PATHKIND Query(const char* p, unz::PATHINFO* i) override
    {
        ++queries[p];
        return os_.Query(p, i);
    }
    unz::ZIPHANDLE OpenRead(const char* p) override
    {
        ++opens[p];
        return os_.OpenRead(p);
    }
    unz::ZIPHANDLE Create(const char* p) override
    {
        ++opens[p];
        return os_.Create(p);
    }
    long Read(unz::ZIPHANDLE h, void* b, size_t n) override
    {
        ++reads;
        long got = os_.Read(h, b, n);
        bytes += got > 0 ? (uint64_t)got : 0;
        return got;
    }
    std::string VolumeFsName(const char* p) override
    {
        ++volumes;
        return os_.VolumeFsName(p);
    }
    std::map<std::string, int> queries, opens;
    int reads = 0, volumes = 0;
    uint64_t bytes = 0;
};

// 300 files and a 140 KB archive: each file is opened once and its path
// looked at once, each folder once per run, the file system once, and the
// archive is read in large pieces, hardly more than once.
TEST(Visitor, EachFileCostsOneQueryAndOneOpen)
{
    TEMPDIR dir;
    COUNTINGOS os;
    RECORDER v;
    std::string archive = GenPath("py/many.zip");
    UNZRESULT r = RunUnzip({"-qq", archive, "-d", dir / "m"}, &os, nullptr, nullptr, &v);
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(v.dones.size(), 300u);
    std::string data;
    ASSERT_TRUE(ReadWhole(archive, data));
    for (const UNZENTRY& e : v.dones) {
        std::string path = dir / "m/" + e.path;
        EXPECT_EQ(os.queries[path], 1) << path;
        EXPECT_EQ(os.opens[path], 1) << path;
    }
    EXPECT_EQ(os.volumes, 1);
    EXPECT_LE(os.bytes, 2 * data.size());
    EXPECT_LE(os.reads, 8);

    // Members in folders: each folder is looked at once in the run.
    COUNTINGOS os2;
    r = RunUnzip({"-qq", GenPath("zip/folders.zip"), "-d", dir / "f"}, &os2, nullptr, nullptr, &v);
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* folder : {"tree", "tree/sub", "tree/sub/deeper"})
        EXPECT_EQ(os2.queries[dir / "f/" + folder], 1) << folder;
}

}  // namespace
