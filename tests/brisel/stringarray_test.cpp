// DYNARRAY, STRINGARRAY and KEYTABLE: growth and bad positions, the line
// reader, and the key=value text form through memory and files.
#include <gtest/gtest.h>
#include <windows.h>
#include <random>
#include <string>
#include "brisel/stringarray.h"
#include "testfolder.h"

static std::string Bytes(const STRING* s)
{
    return (s == NULL || s->IsNull()) ? std::string("<null>") : std::string(s->Str(), s->Len());
}

static std::string Bytes(const STRING& s)
{
    return Bytes(&s);
}

static STRING FromBytes(const std::string& b)
{
    STRING s;
    s.Make((int)b.size(), b.data());
    return s;
}

static std::string Items(STRINGARRAY& a)
{
    std::string all;
    for (int i = 0; i < a.Count(); i++)
        all += Bytes(a.Get(i)) + "|";
    return all;
}

TEST(DynArray, GrowsBy64AndRefusesBadPositions)
{
    TESTFOLDER folder;
    STRINGARRAY a;
    for (int i = 0; i < 64; i++)
        a.Add(STRING("x"));
    EXPECT_EQ(64, a.GetMaxItems());
    a.Add(STRING("65th"));
    EXPECT_EQ(128, a.GetMaxItems());
    EXPECT_EQ(65, a.Count());
    EXPECT_EQ("65th", Bytes(a.Get(64)));

    EXPECT_EQ(NULL, a.Get(65));
    EXPECT_EQ(1, AssertCount("i<this->ItemCount"));
    EXPECT_EQ(1, AssertLogCount("Add. Info: i==65\r\n"));
    EXPECT_EQ(NULL, a.Get(200));
    EXPECT_EQ(NULL, a.Get(-1));
    EXPECT_EQ(2, AssertCount("i>=0 && i<this->MaxItems"));

    EXPECT_FALSE(a.Insert(70, STRING("no")));
    EXPECT_EQ(1, AssertLogCount("Add. Info: 70/65\r\n"));
    EXPECT_FALSE(a.Delete(65));
    EXPECT_FALSE(a.Swap(0, 65));
    EXPECT_EQ(1, AssertCount("pos2>=0 && pos2<this->ItemCount"));
    EXPECT_EQ(65, a.Count());

    a.Insert(0, STRING("first"));
    a.Swap(0, 65);
    EXPECT_EQ("65th", Bytes(a.Get(0)));
    EXPECT_EQ("first", Bytes(a.Get(65)));
    a.Delete(0);
    EXPECT_EQ("x", Bytes(a.Get(0)));
    EXPECT_EQ(65, a.Count());

    STRINGARRAY copy(a);
    a.Get(0)->Append("!");
    EXPECT_EQ("x", Bytes(copy.Get(0)));   // items are copies
    EXPECT_EQ(128, copy.GetMaxItems());

    a.RemoveAll();
    EXPECT_EQ(0, a.Count());
    a.Add(STRING("again"));
    EXPECT_EQ("again|", Items(a));

    DYNARRAY plain;
    STRING one("1");
    EXPECT_EQ(0, plain.Compare(&one, &one, 0));
    EXPECT_EQ(1, AssertCount("FALSE"));
}

TEST(StringArray, SplitsAndCompares)
{
    STRINGARRAY parts(STRING("a||b|"), "|");
    EXPECT_EQ("a||b||", Items(parts));
    STRINGARRAY empty(STRING(""), "|");
    EXPECT_EQ(1, empty.Count());
    STRINGARRAY none(STRING(), "|");
    EXPECT_EQ(0, none.Count());
    STRINGARRAY lines(STRING("x y;z"), "; ");
    EXPECT_EQ("x|y|z|", Items(lines));

    STRINGARRAY c;
    STRING n10("10"), n9("9"), lower("abc"), upper("ABC");
    EXPECT_EQ(1, c.Compare(&n9, &n10, 0));     // bytes: "9" after "10"
    EXPECT_EQ(-1, c.Compare(&n9, &n10, 1));    // numbers: 9 - 10
    EXPECT_EQ(0, c.Compare(&n10, &n10, 1));
    EXPECT_EQ(1, c.Compare(&lower, &upper, 0));
    EXPECT_EQ(0, c.Compare(&lower, &lower, 0));
}

TEST(StringArray, LoadLinesInsertsBeforeExistingItems)
{
    TESTFOLDER folder;
    std::string longline(100000, 'L');
    WriteRaw("lines.txt", "one\r\n\r\nthree\\t\r\n" + longline + "\nlast");
    STRINGARRAY a;
    a.Add(STRING("existing"));
    EXPECT_EQ(5, a.LoadLines("lines.txt", FALSE));
    ASSERT_EQ(6, a.Count());
    EXPECT_EQ("one", Bytes(a.Get(0)));
    EXPECT_EQ("", Bytes(a.Get(1)));
    EXPECT_EQ("three\\t", Bytes(a.Get(2)));
    EXPECT_EQ(longline, Bytes(a.Get(3)));
    EXPECT_EQ("last", Bytes(a.Get(4)));
    EXPECT_EQ("existing", Bytes(a.Get(5)));

    STRINGARRAY u;
    EXPECT_EQ(5, u.LoadLines("lines.txt", TRUE));
    EXPECT_EQ("three\t", Bytes(u.Get(2)));

    // An empty last line without line end is not a line; a missing file adds nothing.
    WriteRaw("trail.txt", "a\n\n");
    STRINGARRAY t;
    EXPECT_EQ(2, t.LoadLines("trail.txt", FALSE));
    EXPECT_EQ("a||", Items(t));
    EXPECT_EQ(0, t.LoadLines("missing.txt", FALSE));
    EXPECT_EQ(2, t.Count());

    // A zero byte inside a line does not join it to the next; Ctrl-Z ends the text.
    WriteRaw("zero.txt", std::string("a\0b\r\nc\r\n\x1a" "after\n", 14));
    STRINGARRAY z;
    EXPECT_EQ(2, z.LoadLines("zero.txt", FALSE));
    EXPECT_EQ(std::string("a\0b|c|", 6), Items(z));
}

TEST(StringArray, LoadLinesReadsATenMegabyteLine)
{
    TESTFOLDER folder;
    std::string big(10 * 1024 * 1024, 'b');
    for (size_t i = 0; i < big.size(); i += 4099)
        big[i] = (char)('a' + i % 26);
    WriteRaw("big.txt", big + "\nend\n");
    STRINGARRAY a;
    EXPECT_EQ(2, a.LoadLines("big.txt", FALSE));
    ASSERT_EQ(2, a.Count());
    EXPECT_TRUE(Bytes(a.Get(0)) == big);
    EXPECT_EQ("end", Bytes(a.Get(1)));
}

TEST(KeyTable, ReadsSortsAndWritesTheTextForm)
{
    TESTFOLDER folder;
    KEYTABLE t(STRING("B=2\na=1\n\nb=3\nPath=C:\\\\Prog\nUrl=a=b\nData=={{YWJj}}\n#Handle=12\nA_B=x\nAB=y"));
    EXPECT_EQ(12, t.Handle);
    EXPECT_FALSE(t.Exists("#Handle"));
    EXPECT_EQ("2", Bytes(t["b"]));
    EXPECT_EQ("C:\\Prog", Bytes(t["path"]));
    EXPECT_EQ("a=b", Bytes(t["URL"]));
    EXPECT_EQ("abc", Bytes(t["Data"]));
    EXPECT_NE(0u, t["Data"].GetFlags() & STRINGFLAG_BINARY);
    EXPECT_EQ(8, t.Count());
    EXPECT_EQ("#Handle=12\na=1\nA_B=x\nAB=y\nB=2\nb=3\nData=={{YWJj}}\nPath=C:\\\\Prog\nUrl=a\\x3db\n",
              Bytes(t.ToText()));

    // Exists never adds; a lookup adds a null value that is written as "key=".
    EXPECT_FALSE(t.Exists("Missing"));
    EXPECT_EQ(8, t.Count());
    EXPECT_TRUE(t["Missing"].IsNull());
    EXPECT_EQ(9, t.Count());
    EXPECT_EQ(6, t.IndexOf("Missing"));
    EXPECT_EQ(-1, t.IndexOf("Zzz"));
    ASSERT_TRUE(t.SaveToFile("t.cfg"));
    EXPECT_NE(std::string::npos, ReadRaw("t.cfg").find("\r\nMissing=\r\nPath="));
    KEYTABLE back;
    ASSERT_TRUE(back.LoadFromFile("t.cfg"));
    EXPECT_FALSE(back["missing"].IsNull());
    EXPECT_EQ(0, back["missing"].Len());
    EXPECT_EQ(12, back.Handle);

    EXPECT_TRUE(t.Remove("MISSING"));
    EXPECT_FALSE(t.Remove("missing"));
    STRINGARRAY keys = t.GetKeys();
    EXPECT_EQ("a|A_B|AB|B|b|Data|Path|Url|", Items(keys));

    EXPECT_FALSE(back.LoadFromFile("nothere.cfg"));
    EXPECT_EQ(12, back.Handle);
    EXPECT_EQ(0, AssertCount("!this->LockTable"));
    back.LockTable = TRUE;
    back["new key"] = "v";
    EXPECT_EQ(1, AssertCount("!this->LockTable"));
    EXPECT_EQ(1, AssertLogCount("Add. Info: new key\r\n"));
}

TEST(KeyTable, KeyLineRoundTripsEscaped)
{
    KEYTABLE t;
    t.Key = "C:\\new={{x}}";
    t["v"] = "1";
    STRING text = t.ToText();
    EXPECT_EQ("#Key=C:\\\\new\\x3d\\x7b\\x7bx\\x7d\\x7d\nv=1\n", std::string(text.Str(), text.Len()));
    KEYTABLE back(text);
    EXPECT_EQ("C:\\new={{x}}", Bytes(&back.Key));
    EXPECT_FALSE(back.Exists("#Key"));
    KEYTABLE none(STRING("v=1\n"));
    EXPECT_TRUE(none.Key.IsNull());
}

TEST(KeyTable, MessyFileSurvivesLoadAndSave)
{
    TESTFOLDER folder;
    std::string every;
    for (int i = 0; i < 256; i++)
        every += (char)i;
    KEYTABLE src;
    src["Bin"] = FromBytes(every);
    src["Bin"].SetFlags(STRINGFLAG_BINARY);
    src["Esc"] = FromBytes(every);
    std::string escaped = Bytes(FromBytes(every).Escape("={}"));

    std::string file = "Zeta=last\r\nDup=first\r\nnoequals\r\nEsc=" + escaped + "\r\n\r\nBin=={{" +
                       Bytes(FromBytes(every).ToBase64(FALSE)) + "}}\r\ndup=second\r\nTail=no line end";
    WriteRaw("messy.cfg", file);
    KEYTABLE t;
    ASSERT_TRUE(t.LoadFromFile("messy.cfg"));
    EXPECT_EQ(1, AssertCount("item.Find(\"=\")"));
    EXPECT_EQ(1, AssertLogCount("Add. Info: noequals\r\n"));
    EXPECT_EQ(6, t.Count());
    EXPECT_EQ("first", Bytes(t["DUP"]));
    EXPECT_EQ(every, Bytes(t["Esc"]));
    EXPECT_EQ(every, Bytes(t["Bin"]));
    EXPECT_EQ("no line end", Bytes(t["Tail"]));

    ASSERT_TRUE(t.SaveToFile("saved.cfg"));
    std::string saved = ReadRaw("saved.cfg");
    EXPECT_EQ("Bin=={{" + Bytes(FromBytes(every).ToBase64(FALSE)) + "}}\r\nDup=first\r\ndup=second\r\nEsc=" +
              escaped + "\r\nTail=no line end\r\nZeta=last\r\n", saved);
    KEYTABLE again;
    ASSERT_TRUE(again.LoadFromFile("saved.cfg"));
    EXPECT_EQ(Bytes(t.ToText()), Bytes(again.ToText()));
    EXPECT_EQ(every, Bytes(again["Esc"]));
    EXPECT_EQ(1, AssertCount("item.Find(\"=\")"));
}

// A save replaces the file whole or not at all, and leaves nothing beside it;
// a read error fails a load, which then changes nothing. (The memory file of
// the process that opens it opens fine but cannot be read at offset 0.)
TEST(KeyTable, SavedWholeOrNotAndReadErrorsFailTheLoad)
{
    TESTFOLDER folder;
    const char* unreadable = "Z:\\proc\\self\\mem";
    KEYTABLE t(STRING("Mine=2\n"));
    EXPECT_FALSE(t.LoadFromFile(unreadable));
    EXPECT_EQ("Mine=2\n", Bytes(t.ToText()));

    // Open elsewhere, the file cannot be replaced, and stays as it was.
    std::string old = "Old=1\r\nPad=" + std::string(20000, 'p') + "\r\n";
    WriteRaw("t.cfg", old);
    HANDLE h = CreateFileA("t.cfg", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_FALSE(t.SaveToFile("t.cfg"));
    EXPECT_TRUE(ReadRaw("t.cfg") == old);
    CloseHandle(h);
    ASSERT_TRUE(t.SaveToFile("t.cfg"));
    EXPECT_EQ("Mine=2\r\n", ReadRaw("t.cfg"));
    EXPECT_FALSE(t.SaveToFile("no such folder\\t.cfg"));
    WIN32_FIND_DATAA found;
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA("*.tmp", &found));   // no temporary file stays
}

// Random keys (no "=", no line breaks) and values of any bytes, some binary.
static void FillRandom(KEYTABLE& t, std::mt19937& rng, BOOL forfile)
{
    int n = 1 + rng() % 60;
    for (int i = 0; i < n; i++) {
        std::string key;
        int kl = 1 + rng() % 12;
        while ((int)key.size() < kl) {
            char c = (char)(1 + rng() % 255);
            if (c == '=' || c == '\n' || (forfile && (c == '\r' || c == 26)))
                continue;
            key += c;
        }
        if (key[0] == '#')
            key[0] = 'k';
        std::string value(rng() % 40, '\0');
        for (auto& c : value)
            c = (char)(rng() & 255);
        STRING& v = t[key.c_str()];
        v = FromBytes(value);
        if (rng() % 4 == 0)
            v.SetFlags(STRINGFLAG_BINARY);
    }
    if (rng() % 2)
        t.Handle = (int)(rng() % 100000);
}

static void ExpectSameTable(KEYTABLE& a, KEYTABLE& b)
{
    ASSERT_EQ(a.Count(), b.Count());
    EXPECT_EQ(a.Handle, b.Handle);
    for (int i = 0; i < a.Count(); i++) {
        EXPECT_EQ(Bytes(a.KeyAt(i)), Bytes(b.KeyAt(i)));
        EXPECT_EQ(Bytes(a.ValueAt(i)), Bytes(b.ValueAt(i)));
        EXPECT_EQ(a.ValueAt(i)->GetFlags() & STRINGFLAG_BINARY, b.ValueAt(i)->GetFlags() & STRINGFLAG_BINARY);
    }
}

TEST(KeyTable, RandomTablesRoundTrip)
{
    TESTFOLDER folder;
    std::mt19937 rng(4711);
    for (int round = 0; round < 40; round++) {
        KEYTABLE t;
        FillRandom(t, rng, FALSE);
        KEYTABLE back(t.ToText());
        ExpectSameTable(t, back);

        KEYTABLE f;
        FillRandom(f, rng, TRUE);
        ASSERT_TRUE(f.SaveToFile("random.cfg"));
        KEYTABLE fback;
        ASSERT_TRUE(fback.LoadFromFile("random.cfg"));
        ExpectSameTable(f, fback);
    }
    EXPECT_EQ(0, AssertLogCount("Condition:"));
}

static DWORD WINAPI TableWorker(LPVOID param)
{
    KEYTABLE* t = (KEYTABLE*)param;
    for (int i = 0; i < 300; i++) {
        char key[32];
        snprintf(key, sizeof key, "key%lu_%d", GetCurrentThreadId(), i);
        (*t)[key] = key;
        t->Exists("key");
        t->GetKeys();
    }
    return 0;
}

TEST(KeyTable, LookupsFromSeveralThreadsKeepOrder)
{
    KEYTABLE t;
    HANDLE threads[4];
    for (auto& h : threads)
        h = CreateThread(NULL, 0, TableWorker, &t, 0, NULL);
    WaitForMultipleObjects(4, threads, TRUE, INFINITE);
    for (HANDLE h : threads)
        CloseHandle(h);
    ASSERT_EQ(1200, t.Count());
    for (int i = 1; i < t.Count(); i++)
        EXPECT_LT(KEYTABLE::KeyCompare(t.KeyAt(i - 1)->Str(), t.KeyAt(i)->Str()), 0);
    for (int i = 0; i < t.Count(); i++)
        EXPECT_EQ(Bytes(t.KeyAt(i)), Bytes(t.ValueAt(i)));
}
