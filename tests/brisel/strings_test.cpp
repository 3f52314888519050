// STRING: null and empty, growth and the pool, the null guard, editing,
// formatting limits, encodings and files.
#include <gtest/gtest.h>
#include <windows.h>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include "brisel/strings.h"
#include "testfolder.h"

static std::string Bytes(const STRING& s)
{
    return s.IsNull() ? std::string() : std::string(s.Str(), s.Len());
}

static STRING FromBytes(const std::string& b)
{
    STRING s;
    s.Make((int)b.size(), b.data());
    return s;
}

static std::string RandomBytes(std::mt19937& rng, int maxlen)
{
    std::string b(rng() % (maxlen + 1), '\0');
    for (auto& c : b)
        c = (char)(rng() & 255);
    return b;
}

TEST(String, NullAndEmptyAreDistinct)
{
    TESTFOLDER folder;
    STRING def, fromnull((const char*)NULL), empty("");
    EXPECT_TRUE(def.IsNull());
    EXPECT_TRUE(fromnull.IsNull());
    EXPECT_EQ(NULL, def.Str());
    EXPECT_FALSE(empty.IsNull());
    EXPECT_EQ(0, empty.Len());
    EXPECT_EQ(96, empty.GetBufLen());
    EXPECT_TRUE(STRING(def).IsNull());

    EXPECT_TRUE(def == fromnull);
    EXPECT_FALSE(def == empty);
    EXPECT_TRUE(def != "");
    EXPECT_TRUE(STRING("ABC") == "abc");
    EXPECT_TRUE("abc" == STRING("AbC"));

    // Substrings of null or past the end are empty, missing words null.
    EXPECT_FALSE(def.Mid(0, 5).IsNull());
    EXPECT_EQ(0, def.Mid(0, 5).Len());
    EXPECT_FALSE(STRING("abc").Mid(3, -1).IsNull());
    EXPECT_TRUE(STRING("a|b").Word(2, "|").IsNull());
    EXPECT_FALSE(STRING("a|b").Word(2, "|", WORD_EMPTYNOTNULL).IsNull());
    EXPECT_TRUE(def.Word(0, "|").IsNull());

    // Assignment takes bytes and flags but keeps the target's block size.
    STRING target(256);
    STRING src("x");
    src.SetFlags(STRINGFLAG_BINARY);
    target = src;
    EXPECT_EQ(256, target.GetBlockSize());
    EXPECT_EQ((DWORD)STRINGFLAG_BINARY, target.GetFlags());
    target = def;
    EXPECT_TRUE(target.IsNull());
    target = target;
    EXPECT_TRUE(target.IsNull());

    STRING bin = FromBytes(std::string("a\0b", 3));
    STRING copy(bin);
    EXPECT_EQ(std::string("a\0b", 3), Bytes(copy));
}

TEST(String, GrowthAdaptsBlockSizeAndLogsOnce)
{
    TESTFOLDER folder;
    ASSERT_TRUE(LogitSwitch("/LOGIT:grow.log"));
    STRING s;
    s.Make(94, NULL);
    EXPECT_EQ(96, s.GetBufLen());
    s.Make(95, NULL);                 // still fits with its terminator
    EXPECT_EQ(96, s.GetBufLen());
    STRING fresh;
    fresh.Make(95, NULL);
    EXPECT_EQ(192, fresh.GetBufLen());
    s.Make(1100, NULL);
    EXPECT_EQ(1152, s.GetBufLen());   // first multiple of 96 above 1101
    EXPECT_EQ(1024, s.GetBlockSize());
    s.Make(5000, NULL);
    EXPECT_EQ(2048, s.GetBlockSize());
    s.Make(9000, NULL);
    EXPECT_EQ(4096, s.GetBlockSize());
    EXPECT_EQ(0u, s.GetFlags() & STRINGFLAG_DYNABLOCK);
    s.Make(32000, NULL);   // 4096 * 8 = 32768 bytes
    EXPECT_EQ(32768, s.GetBufLen());
    EXPECT_NE(0u, s.GetFlags() & STRINGFLAG_DYNABLOCK);
    EXPECT_EQ(16382, s.GetBlockSize());
    s.Make(40000, NULL);   // 16382 * 3 = 49146 -> half 24573, rounded up to 24576
    EXPECT_EQ(49146, s.GetBufLen());
    EXPECT_EQ(24576, s.GetBlockSize());
    s.Make(3000000, NULL);
    EXPECT_EQ(0x20000, s.GetBlockSize());
    EXPECT_EQ(3000000, s.Len());
    LogitSwitch("/LOGITCLOSE");

    std::string log = ReadRaw("grow.log");
    size_t first = log.find("STRING::Make Upgrade String to STRINGFLAG_DYNABLOCK\r\n");
    EXPECT_NE(std::string::npos, first);
    EXPECT_EQ(std::string::npos, log.find("Upgrade String", first + 30));
    EXPECT_NE(std::string::npos, log.find("STRING::Make STRINGFLAG_DYNABLOCK new blocksize 24576\r\n"));
    EXPECT_NE(std::string::npos, log.find("STRING::Make STRINGFLAG_DYNABLOCK new blocksize 131072\r\n"));
}

TEST(String, ImpossibleSizesFailWithoutDamage)
{
    TESTFOLDER folder;
    STRING s("keep");
    EXPECT_FALSE(s.Make(INT_MAX, NULL));
    EXPECT_FALSE(s.Make(INT_MAX - 1, NULL));
    EXPECT_EQ(2, AssertCount("buffer"));
    EXPECT_EQ("keep", Bytes(s));
    STRING one(1);
    EXPECT_FALSE(one.Make(INT_MAX, NULL));
    EXPECT_TRUE(one.IsNull());
    EXPECT_FALSE(s.Make(-1, NULL));
    EXPECT_EQ("keep", Bytes(s));
}

TEST(String, PoolRecyclesSmallBlocksUpToItsLimit)
{
    std::vector<STRING*> many;
    for (int i = 0; i < 300; i++)
        many.push_back(new STRING("pooled"));
    for (STRING* s : many)
        delete s;
    EXPECT_EQ(127, STRING::PoolHeld());
    STRING big(1024);
    big.Make(10, "0123456789");
    big.Clear();
    EXPECT_EQ(127, STRING::PoolHeld());   // other sizes go back to the heap
    {
        STRING reuse("x");
        EXPECT_EQ(126, STRING::PoolHeld());
    }
    EXPECT_EQ(127, STRING::PoolHeld());
}

static DWORD WINAPI PoolWorker(LPVOID param)
{
    int id = (int)(INT_PTR)param;
    DWORD bad = 0;
    STRING* live[40] = {};
    for (int round = 0; round < 4000; round++) {
        int slot = round % 40;
        if (live[slot]) {
            char expect[64];
            snprintf(expect, sizeof expect, "thread %d slot %d", id, slot);
            if (strcmp(live[slot]->Str(), expect) != 0)
                bad++;
            delete live[slot];
        }
        live[slot] = new STRING();
        live[slot]->Format("thread %d slot %d", id, slot);
        STRING tmp = *live[slot] || " and a temporary";
        if (tmp.Len() != live[slot]->Len() + 16)
            bad++;
    }
    for (STRING* s : live)
        delete s;
    return bad;
}

TEST(String, PoolStaysConsistentAcrossThreads)
{
    HANDLE threads[8];
    for (int i = 0; i < 8; i++)
        threads[i] = CreateThread(NULL, 0, PoolWorker, (LPVOID)(INT_PTR)i, 0, NULL);
    WaitForMultipleObjects(8, threads, TRUE, INFINITE);
    for (HANDLE h : threads) {
        DWORD bad = 1;
        GetExitCodeThread(h, &bad);
        EXPECT_EQ(0u, bad);
        CloseHandle(h);
    }
    EXPECT_LE(STRING::PoolHeld(), 127);
    EXPECT_GE(STRING::PoolHeld(), 0);
}

TEST(String, NullGuardFollowsHalvoFailOnNull)
{
    TESTFOLDER folder;
    STRING s("a");
    s.Append((const char*)NULL);
    EXPECT_EQ("a<NULL>", Bytes(s));
    EXPECT_EQ(0, STRING().Atoi());
    EXPECT_EQ("<NULL>", Bytes(STRING("") || (const char*)NULL));
    EXPECT_EQ("x", Bytes(STRING() || "x"));
    EXPECT_TRUE(STRING() < "a");         // sorts as "<NULL>"
    EXPECT_TRUE(STRING() > "0");

    SetEnvironmentVariableA("HALVOFAILONNULL", "1");
    STRING t("b");
    t.Append((const char*)NULL);
    EXPECT_EQ("b", Bytes(t));
    EXPECT_EQ(0, STRING().Atoi());
    EXPECT_EQ(-1, STRING().Pos("x"));
    EXPECT_EQ(0, AssertCount("p!=NULL"));

    SetEnvironmentVariableA("HALVOFAILONNULL", "3");
    t.Append((const char*)NULL);
    EXPECT_EQ("b", Bytes(t));
    EXPECT_EQ(1, AssertCount("p!=NULL"));
    EXPECT_EQ(1, AssertLogCount("Add. Info: STRING::Append op1\r\n"));

    SetEnvironmentVariableA("HALVOFAILONNULL", "2");   // text yielded: no report
    t.Append((const char*)NULL);
    EXPECT_EQ("b<NULL>", Bytes(t));
    EXPECT_EQ(1, AssertCount("p!=NULL"));

    // Without the variable the last policy stays in force.
    SetEnvironmentVariableA("HALVOFAILONNULL", "0");
    STRING().Atoi();
    SetEnvironmentVariableA("HALVOFAILONNULL", NULL);
    t.Append((const char*)NULL);
    EXPECT_EQ("b<NULL><NULL>", Bytes(t));
}

TEST(String, SubstringsAndWords)
{
    STRING s("Hello World");
    EXPECT_EQ("World", Bytes(s.Mid(6, -1)));
    EXPECT_EQ("Wor", Bytes(s.Mid(6, 3)));
    EXPECT_EQ("World", Bytes(s.Mid(6, 100)));
    EXPECT_EQ("Hello", Bytes(s.Left(5)));
    EXPECT_EQ("Hello World", Bytes(s.Left(50)));
    EXPECT_EQ("orld", Bytes(s.Right(4)));
    EXPECT_EQ("Hello World", Bytes(s.Right(50)));

    STRING list("a;;b;c d");
    EXPECT_EQ("a", Bytes(list.Word(0, ";")));
    EXPECT_EQ("", Bytes(list.Word(1, ";")));
    EXPECT_FALSE(list.Word(1, ";").IsNull());
    EXPECT_EQ("b", Bytes(list.Word(2, ";")));
    EXPECT_EQ("c", Bytes(list.Word(3, "; ")));
    EXPECT_EQ("b;c d", Bytes(list.Word(2, ";", WORD_REST)));
    EXPECT_TRUE(list.Word(4, ";").IsNull());
    EXPECT_EQ("", Bytes(STRING("x|").Word(1, "|")));
    EXPECT_FALSE(STRING("x|").Word(1, "|").IsNull());
    // A zero byte in the text is no separator.
    STRING z = FromBytes(std::string("a\0b|c", 5));
    EXPECT_EQ(std::string("a\0b", 3), Bytes(z.Word(0, "|")));
}

TEST(String, EditingInPlace)
{
    TESTFOLDER folder;
    STRING s("abc");
    s.Append(s.Str());                // a piece of itself, across a growth
    s.Append(s);
    EXPECT_EQ("abcabcabcabc", Bytes(s));
    std::string longer(200, 'q');
    STRING g(longer.c_str());
    g.Append(g.Str() + 10, 150);
    EXPECT_EQ(350, g.Len());
    EXPECT_EQ(std::string(350, 'q'), Bytes(g));

    STRING t("abcdef");
    t.Truncate(10);
    EXPECT_EQ("abcdef", Bytes(t));
    t.Truncate(3);
    EXPECT_EQ("abc", Bytes(t));
    t.Truncate(-1);
    EXPECT_EQ(1, AssertCount("newlength>=0"));
    EXPECT_EQ("abc", Bytes(t));
    t.CutLeft(1);
    EXPECT_EQ("bc", Bytes(t));
    t.CutRight(5);
    EXPECT_EQ("", Bytes(t));
    EXPECT_FALSE(t.IsNull());
    t.CutLeft(-2);
    EXPECT_EQ(1, AssertCount("howmany>=0"));

    STRING ins("ad");
    ins.InsertChar(2, 1, '-');
    EXPECT_EQ("a--d", Bytes(ins));
    ins.InsertChar(2, 4, '-');        // never appends
    EXPECT_EQ("a--d", Bytes(ins));
    ins.Insert("bc", 1);
    EXPECT_EQ("abc--d", Bytes(ins));
    ins.Insert("!", 6);
    EXPECT_EQ("abc--d!", Bytes(ins));
    ins.Insert("?", 20);
    EXPECT_EQ("abc--d!", Bytes(ins));
    ins.Insert(ins.Str(), 0);
    EXPECT_EQ("abc--d!", Bytes(ins));
    EXPECT_EQ(1, AssertCount("text!=this->Buffer"));
    ins.Insert(ins.Str() + 5, 0);     // inside its own buffer: copied first
    EXPECT_EQ("d!abc--d!", Bytes(ins));

    STRING r("aXa");
    r.Replace("a", "aa", TRUE);
    EXPECT_EQ("aaXaa", Bytes(r));
    r.Replace("A", "b", TRUE);
    EXPECT_EQ("aaXaa", Bytes(r));
    r.Replace("A", "b", FALSE);
    EXPECT_EQ("bbXbb", Bytes(r));
    r.Replace("bb", "", TRUE);
    EXPECT_EQ("X", Bytes(r));
    r.Replace("", "y", TRUE);
    EXPECT_EQ("X", Bytes(r));
    STRING path("C:\\a\\b");
    path.Replace("\\", "\\\\", TRUE);
    EXPECT_EQ("C:\\\\a\\\\b", Bytes(path));

    STRING st("  \t x y \t ");
    st.Strip('b', " \t");
    EXPECT_EQ("x y", Bytes(st));
    STRING only("   ");
    only.Strip('L', " ");
    EXPECT_EQ("", Bytes(only));
    STRING zero = FromBytes(std::string("\0ab ", 4));
    zero.Strip('B', " ");             // a zero byte is not one of the blanks
    EXPECT_EQ(std::string("\0ab", 3), Bytes(zero));
    STRING bad(" x ");
    bad.Strip('X', " ");
    EXPECT_EQ(" x ", Bytes(bad));
    EXPECT_EQ(1, AssertCount("how=='L' || how=='R' || how=='B'"));

    STRING up("abc\xe4z");
    up.ToUpper();
    EXPECT_EQ("ABC\xe4Z", Bytes(up));
    STRING n;
    n.ToUpper();
    EXPECT_TRUE(n.IsNull());
}

TEST(String, SearchingAndAccessors)
{
    TESTFOLDER folder;
    STRING s("abcABCabc");
    EXPECT_EQ(0, s.Pos("abc"));
    EXPECT_EQ(6, s.Pos("abc", 1));
    EXPECT_EQ(3, s.iPos("ABC", 1));
    EXPECT_EQ(1, s.iPos("BcA"));
    EXPECT_EQ(-1, s.Pos("abc", 9));
    EXPECT_EQ(-1, s.Pos("abcd"));
    int pos = 99;
    EXPECT_FALSE(s.Find("zz", &pos));
    EXPECT_EQ(-1, pos);
    EXPECT_TRUE(s.iFind("cab", &pos, 0));
    EXPECT_EQ(2, pos);
    STRING bin = FromBytes(std::string("\0\0key", 5));
    EXPECT_EQ(2, bin.Pos("key"));     // searches all bytes, not up to the first zero

    EXPECT_EQ('c', s[2]);
    EXPECT_EQ(0, s[9]);
    EXPECT_EQ(1, AssertCount("i>=0 && i<this->StrLen"));
    s.At(9) = 0;                      // the terminator's place is writable
    s.At(10) = 'x';
    EXPECT_EQ(1, AssertCount("i>=0 && i<=this->StrLen"));
    EXPECT_EQ(9, s.Len());
    STRING n;
    n.At(0) = 'x';                    // no buffer: written nowhere
    EXPECT_TRUE(n.IsNull());
    EXPECT_EQ(42, STRING("42abc").Atoi());
    EXPECT_EQ(0, STRING("abc").Atoi());
}

TEST(String, FormatLimitsHoldWhateverTheRuntimeReturns)
{
    TESTFOLDER folder;
    STRING s;
    std::string fits(2046, 'f');
    EXPECT_EQ(2046, s.Format("%s", fits.c_str()));
    EXPECT_EQ(fits, Bytes(s));
    EXPECT_EQ(0, AssertCount("rc<sizeof(buf)-1"));

    std::string over(2047, 'o');
    s.Format("%s", over.c_str());
    EXPECT_EQ(1, AssertCount("rc<sizeof(buf)-1"));
    EXPECT_LE(s.Len(), 2046);
    EXPECT_EQ((size_t)s.Len(), strlen(s.Str()));

    std::string huge(1000000, 'h');
    s.Format("%s%s", huge.c_str(), huge.c_str());
    EXPECT_EQ(2, AssertCount("rc<sizeof(buf)-1"));
    EXPECT_LE(s.Len(), 2046);
    EXPECT_EQ(std::string(s.Len(), 'h'), Bytes(s));

    STRING a("x");
    std::string fits4(4094, 'a');
    a.AppendFormat("%s", fits4.c_str());
    EXPECT_EQ(4095, a.Len());
    EXPECT_EQ(2, AssertCount("rc<sizeof(buf)-1"));
    a.AppendFormat("%s", std::string(4095, 'b').c_str());
    EXPECT_EQ(3, AssertCount("rc<sizeof(buf)-1"));
    EXPECT_LE(a.Len(), 4095 + 4094);
    EXPECT_EQ((size_t)a.Len(), strlen(a.Str()));

    STRING self("ab");
    self.Format("%s-%s", self.Str(), self.Str());
    EXPECT_EQ("ab-ab", Bytes(self));
}

TEST(String, EscapeAndUnescape)
{
    TESTFOLDER folder;
    STRING s = FromBytes(std::string("\x07" "A" "\xc8", 3));
    EXPECT_EQ("\\x07A\\xc8", Bytes(s.Escape()));
    EXPECT_EQ(std::string("\x07" "A" "\xc8", 3), Bytes(s.Escape().Unescape(FALSE)));
    EXPECT_EQ("\\\\\\0\\r\\n\\t\\z\x7f", Bytes(FromBytes(std::string("\\\0\r\n\t\x1a\x7f", 7)).Escape()));
    EXPECT_EQ("a\\x3db\\x7b\\x7d", Bytes(STRING("a=b{}").Escape("={}")));
    EXPECT_EQ("\\n", Bytes(STRING("\\x0A").Unescape(FALSE).Escape()));

    std::string all;
    for (int i = 0; i < 256; i++)
        all += (char)i;
    EXPECT_EQ(all, Bytes(FromBytes(all).Escape("={}").Unescape(FALSE)));
    std::mt19937 rng(1234);
    for (int i = 0; i < 500; i++) {
        std::string b = RandomBytes(rng, 64);
        EXPECT_EQ(b, Bytes(FromBytes(b).Escape("={}").Unescape(FALSE)));
    }
    EXPECT_EQ(0, AssertCount("FALSE"));

    // Malformed escapes: reported, never read past the end.
    EXPECT_EQ("\n\xab", Bytes(STRING("\\n\\xAB").Unescape(FALSE)));
    EXPECT_EQ("abx", Bytes(STRING("ab\\x").Unescape(FALSE)));
    EXPECT_EQ(1, AssertCount("isxdigit(xdigit[0])"));
    EXPECT_EQ("abx4", Bytes(STRING("ab\\x4").Unescape(FALSE)));
    EXPECT_EQ(1, AssertCount("isxdigit(xdigit[1])"));
    EXPECT_EQ("\\xg1", Bytes(STRING("\\xg1").Unescape(TRUE)));
    EXPECT_EQ(2, AssertCount("isxdigit(xdigit[0])"));
    EXPECT_EQ("\\q", Bytes(STRING("\\q").Unescape(TRUE)));
    EXPECT_EQ(0, AssertCount("FALSE"));
    EXPECT_EQ("q", Bytes(STRING("\\q").Unescape(FALSE)));
    EXPECT_EQ(1, AssertCount("FALSE"));
    EXPECT_EQ(1, AssertLogCount("Add. Info: \\q\r\n"));
    EXPECT_EQ("end", Bytes(STRING("end\\").Unescape(FALSE)));
    EXPECT_EQ("end\\", Bytes(STRING("end\\").Unescape(TRUE)));
    EXPECT_TRUE(STRING().Escape().IsNull());
    EXPECT_TRUE(STRING().Unescape(FALSE).IsNull());
}

TEST(String, HexAndBase64)
{
    EXPECT_EQ("00ff7f41", Bytes(FromBytes(std::string("\0\xff\x7f" "A", 4)).ToHex()));
    EXPECT_TRUE(STRING("").ToHex().IsNull());
    EXPECT_TRUE(STRING().ToHex().IsNull());

    EXPECT_EQ("YWJj", Bytes(STRING("abc").ToBase64(FALSE)));
    EXPECT_EQ("YWI=", Bytes(STRING("ab").ToBase64(FALSE)));
    EXPECT_EQ("YQ==", Bytes(STRING("a").ToBase64(FALSE)));
    EXPECT_EQ("", Bytes(STRING("").ToBase64(TRUE)));
    EXPECT_FALSE(STRING("").ToBase64(TRUE).IsNull());
    EXPECT_EQ("abc", Bytes(STRING("YW\r\nJj").FromBase64()));

    std::string b57(57, 'x'), b58(58, 'x');
    std::string w57 = Bytes(FromBytes(b57).ToBase64(TRUE));
    ASSERT_EQ(78u, w57.size());
    EXPECT_EQ("\r\n", w57.substr(76));
    std::string w58 = Bytes(FromBytes(b58).ToBase64(TRUE));
    ASSERT_EQ(84u, w58.size());
    EXPECT_EQ("\r\n", w58.substr(76, 2));
    EXPECT_EQ("eA==\r\n", w58.substr(78));

    // "=" ends the data wherever it stands; the rest is ignored.
    EXPECT_EQ("", Bytes(STRING("=YWJj").FromBase64()));
    EXPECT_EQ("", Bytes(STRING("Y=WJj").FromBase64()));
    EXPECT_EQ("a", Bytes(STRING("YW=Jj").FromBase64()));
    EXPECT_EQ("ab", Bytes(STRING("YWJ=j").FromBase64()));
    EXPECT_EQ("abc", Bytes(STRING("YWJj=YWJj").FromBase64()));
    EXPECT_EQ("abc", Bytes(STRING(" Y W J j ! ").FromBase64()));

    std::mt19937 rng(99);
    for (int i = 0; i < 300; i++) {
        std::string b = RandomBytes(rng, 200);
        EXPECT_EQ(b, Bytes(FromBytes(b).ToBase64(i & 1).FromBase64()));
        std::string w = Bytes(FromBytes(b).ToBase64(TRUE));
        for (size_t p = 0; p < w.size(); p = w.find("\r\n", p) + 2)
            EXPECT_LE(w.find("\r\n", p) - p, 76u);
    }
}

TEST(String, SaveAndLoadWithShareModes)
{
    TESTFOLDER folder;
    std::string all;
    for (int i = 0; i < 20000; i++)
        all += (char)(i * 7);
    ASSERT_TRUE(FromBytes(all).Save("bin.dat", "wb"));
    STRING back("old");
    ASSERT_TRUE(back.Load("bin.dat", "rb"));
    EXPECT_EQ(all, Bytes(back));

    ASSERT_TRUE(STRING("a\nb\n").Save("text.txt", "w"));
    EXPECT_EQ("a\r\nb\r\n", ReadRaw("text.txt"));
    STRING text;
    ASSERT_TRUE(text.Load("text.txt", "r"));
    EXPECT_EQ("a\nb\n", Bytes(text));

    WriteRaw("empty.txt", "");
    STRING e("x");
    ASSERT_TRUE(e.Load("empty.txt", "r"));
    EXPECT_FALSE(e.IsNull());
    EXPECT_EQ(0, e.Len());

    STRING keep("keep");
    EXPECT_FALSE(keep.Load("missing.txt", "r"));
    EXPECT_EQ("keep", Bytes(keep));

    // Save denies others reading and writing, Load denies writing.
    HANDLE h = CreateFileA("text.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_FALSE(STRING("z").Save("text.txt", "w"));
    EXPECT_TRUE(text.Load("text.txt", "r"));
    CloseHandle(h);
    h = CreateFileA("text.txt", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_FALSE(text.Load("text.txt", "r"));
    CloseHandle(h);
}

// Last in this file: the pool stays closed for the rest of the process.
TEST(String, AfterShutdownStringsUseTheHeap)
{
    STRING before("made while the pool runs");
    { STRING recycled("x"); }
    EXPECT_GT(STRING::PoolHeld(), 0);
    STRING::ShutdownPool();
    EXPECT_EQ(0, STRING::PoolHeld());
    for (int i = 0; i < 200; i++) {
        STRING s("short");
        s.Append(" text");
        EXPECT_EQ(0, strcmp("short text", s.Str()));
    }
    EXPECT_EQ(0, STRING::PoolHeld());
    before.Append(" and after");
    EXPECT_EQ(0, strcmp("made while the pool runs and after", before.Str()));
}
