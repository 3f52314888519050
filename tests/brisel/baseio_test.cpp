// Ring buffer and device frame: waits, stop bytes, time-outs, a clock that
// jumps back, and a stress run across many threads.
#include <gtest/gtest.h>
#include "brisel/baseio.h"
#include "brisel/clock.h"
#include "brisel/halvo.h"
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct NoBoxes : testing::Environment {
    void SetUp() override { if (!HalvoAssertBoxesOff()) LogitSwitch("/NOASSERT"); }
};
testing::Environment* const noBoxes = testing::AddGlobalTestEnvironment(new NoBoxes);

// The test stream: every byte value, line feeds and zero bytes included.
char StreamByte(unsigned i)
{
    return (char)((i * 7 + i / 251) & 0xff);
}

// A device whose "line" is a queue the test fills.
class MOCKDEV : public BASEIO
{
public:
    MOCKDEV() : BASEIO("17", "mock", "0", TRUE)
    {
        InitializeCriticalSection(&cs);
        StartEvent.Set();
    }
    ~MOCKDEV() override
    {
        KillDaemon();       // before the queue goes
        DeleteCriticalSection(&cs);
    }
    void Push(const std::string& bytes)
    {
        EnterCriticalSection(&cs);
        pending += bytes;
        LeaveCriticalSection(&cs);
    }
    size_t Pending()
    {
        EnterCriticalSection(&cs);
        size_t n = pending.size();
        LeaveCriticalSection(&cs);
        return n;
    }
    BOOL DevRead(char* buffer, int* length) override
    {
        EnterCriticalSection(&cs);
        int n = (int)pending.size() < *length ? (int)pending.size() : *length;
        memcpy(buffer, pending.data(), n);
        pending.erase(0, n);
        LeaveCriticalSection(&cs);
        if (n == 0)
            Sleep(2);
        *length = n;
        return TRUE;
    }
    int DevGetNumAvail() override { return (int)Pending(); }
    BOOL DevWrite(const char*, int) override { return TRUE; }
    BOOL IsReady() override { return TRUE; }
    BOOL MakeCall(const char*) override { return FALSE; }
    BOOL AcceptCall() override { return FALSE; }
    BOOL DropCall() override { return TRUE; }

private:
    CRITICAL_SECTION cs;
    std::string pending;
};

HANDLE Start(LPTHREAD_START_ROUTINE f, void* p)
{
    return CreateThread(NULL, 0, f, p, 0, NULL);
}

}

TEST(RingBuffer, WriterWaitsForRoomAndNothingIsLost)
{
    RINGBUFFER rb(8);
    ASSERT_TRUE(rb.Write("abcdef", 6));
    DWORD t0 = GetTickCount();
    ASSERT_TRUE(rb.Write("gh", 2));                 // fits exactly: no wait
    EXPECT_LT(GetTickCount() - t0, 90u);

    char out[16];
    int len = 2;
    ASSERT_TRUE(rb.Read(out, &len, 0, NULL));
    EXPECT_EQ("ab", std::string(out, 2));           // 6 held again, wrapped

    struct W { RINGBUFFER* rb; BOOL ok; } w = { &rb, FALSE };
    HANDLE t = Start([](LPVOID p) WINAPI -> DWORD { W* w = (W*)p; w->ok = w->rb->Write("ijk", 3); return 0; }, &w);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(t, 350));   // 3 do not fit beside 6
    len = 4;
    ASSERT_TRUE(rb.Read(out, &len, 0, NULL));
    EXPECT_EQ("cdef", std::string(out, 4));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 2000));
    CloseHandle(t);
    EXPECT_TRUE(w.ok);
    len = sizeof out;
    ASSERT_TRUE(rb.Read(out, &len, 0, NULL));
    EXPECT_EQ("ghijk", std::string(out, len));
    EXPECT_EQ(0, rb.Available());
}

TEST(RingBuffer, StopBytesTimeOutsAndOversizeWrites)
{
    RINGBUFFER rb(16);
    rb.Write("250 ok\r\n354", 11);
    char out[64];
    int len = sizeof out;
    ASSERT_TRUE(rb.Read(out, &len, 1000, "\n"));
    EXPECT_EQ("250 ok\r\n", std::string(out, len));
    EXPECT_EQ(3, rb.Available());
    len = sizeof out;
    ASSERT_TRUE(rb.Read(out, &len, 0, "\n"));
    EXPECT_EQ("354", std::string(out, len));

    // Empty: false at once without time-out, after the time-out with one.
    DWORD t0 = GetTickCount();
    len = sizeof out;
    EXPECT_FALSE(rb.Read(out, &len, 0, NULL));
    EXPECT_EQ(0, len);
    len = sizeof out;
    EXPECT_FALSE(rb.Read(out, &len, 300, NULL));
    EXPECT_EQ(0, len);
    EXPECT_GE(GetTickCount() - t0, 250u);

    // A zero byte is data, not the end of the stop set.
    rb.Write("a\0b\n", 4);
    len = sizeof out;
    ASSERT_TRUE(rb.Read(out, &len, 0, "\n"));
    EXPECT_EQ(std::string("a\0b\n", 4), std::string(out, len));

    // A block larger than the whole buffer goes through while someone reads.
    std::string big(40, 0);
    for (int i = 0; i < 40; i++)
        big[i] = StreamByte(i);
    struct W { RINGBUFFER* rb; const std::string* s; BOOL ok; } w = { &rb, &big, FALSE };
    HANDLE t = Start([](LPVOID p) WINAPI -> DWORD { W* w = (W*)p; w->ok = w->rb->Write(w->s->data(), 40); return 0; }, &w);
    std::string got;
    for (int i = 0; i < 100 && got.size() < 40; i++) {
        len = sizeof out;
        if (rb.Read(out, &len, 50, NULL))
            got.append(out, len);
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 5000));
    CloseHandle(t);
    EXPECT_TRUE(w.ok);
    EXPECT_EQ(big, got);
}

TEST(BaseIo, ReadTimeOutsStopBytesAndInfo)
{
    MOCKDEV dev;
    char buf[64];
    int len = sizeof buf;
    DWORD t0 = GetTickCount();
    EXPECT_FALSE(dev.Read(buf, &len, 0, NULL));
    EXPECT_EQ(0, len);
    EXPECT_LT(GetTickCount() - t0, 100u);

    // With a stop byte the read ends as soon as the line is complete...
    struct P { MOCKDEV* dev; } p = { &dev };
    HANDLE t = Start([](LPVOID x) WINAPI -> DWORD { Sleep(300); ((P*)x)->dev->Push("abc\ndef"); return 0; }, &p);
    t0 = GetTickCount();
    len = sizeof buf;
    ASSERT_TRUE(dev.Read(buf, &len, 5000, "\n"));
    DWORD took = GetTickCount() - t0;
    EXPECT_EQ("abc\n", std::string(buf, len));
    EXPECT_LT(took, 2500u);
    WaitForSingleObject(t, 5000);
    CloseHandle(t);

    // ...without one it takes the whole time-out and returns what came.
    t0 = GetTickCount();
    len = sizeof buf;
    ASSERT_TRUE(dev.Read(buf, &len, 1000, NULL));
    took = GetTickCount() - t0;
    EXPECT_EQ("def", std::string(buf, len));
    EXPECT_GE(took, 900u);
    EXPECT_LT(took, 3000u);

    EXPECT_STREQ("0", dev.GetInfo("lasterror").Str());
    EXPECT_STREQ("<unknown>", dev.GetInfo("LastErrorString").Str());
    EXPECT_STREQ("17", dev.GetInfo("OWNID").Str());
    EXPECT_STREQ("BASEIO", dev.GetInfo("DeviceName").Str());
    EXPECT_STREQ("BASEIO::BAD-REQUEST", dev.GetInfo("BANDWIDTH").Str());
    dev.SetOurId("25 [127.0.0.1]");
    EXPECT_STREQ("25 [127.0.0.1]", dev.GetInfo("OWNID").Str());

    // A feed handler takes the bytes instead of the buffer.
    std::string fed;
    dev.SetFeed([](void* ctx, const char* b, int n) { ((std::string*)ctx)->append(b, n); }, &fed);
    dev.Push("fed!");
    for (int i = 0; i < 100 && fed.size() < 4; i++)
        Sleep(20);
    dev.SetFeed(NULL, NULL);
    EXPECT_EQ("fed!", fed);
    len = sizeof buf;
    EXPECT_FALSE(dev.Read(buf, &len, 0, NULL));
}

TEST(BaseIo, ClockJumpingBackDoesNotStretchTheWait)
{
    char logname[64];
    sprintf(logname, "baseio_clock_%lu.log", GetCurrentProcessId());
    ASSERT_TRUE(LogitSwitch((std::string("/LOGIT:") + logname).c_str()));
    SYSTEMTIME mid = {};
    mid.wYear = 2026; mid.wMonth = 6; mid.wDay = 15; mid.wHour = 12;
    CLOCK::Set(&mid, TRUE);
    MOCKDEV dev;
    HANDLE t = Start([](LPVOID) WINAPI -> DWORD {
        Sleep(300);
        SYSTEMTIME back = {};
        back.wYear = 2026; back.wMonth = 6; back.wDay = 15; back.wHour = 11;
        CLOCK::Set(&back, TRUE);
        return 0;
    }, NULL);
    char buf[8];
    int len = sizeof buf;
    DWORD t0 = GetTickCount();
    EXPECT_FALSE(dev.Read(buf, &len, 1500, NULL));
    DWORD took = GetTickCount() - t0;
    WaitForSingleObject(t, 5000);
    CloseHandle(t);
    CLOCK::Set(NULL, FALSE);
    LogitSwitch("/LOGITCLOSE");
    // No time counted for the jump itself: at least the time-out, but not an hour.
    EXPECT_GE(took, 1400u);
    EXPECT_LT(took, 4000u);

    std::ifstream f(logname, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    f.close();
    DeleteFileA(logname);
    EXPECT_NE(std::string::npos, ss.str().find("BASEIO::Read *** WARNING!!! *** negative time diff"));
}

namespace {

struct PAIR {
    RINGBUFFER* Rb;
    unsigned Total;
    unsigned Seed;
    BOOL Ok;
    unsigned Got;
};

unsigned Next(unsigned& seed)
{
    seed = seed * 1103515245 + 12345;
    return (seed >> 16) & 0x7fff;
}

DWORD WINAPI Producer(LPVOID p)
{
    PAIR* pr = (PAIR*)p;
    unsigned seed = pr->Seed;
    char chunk[64];
    for (unsigned i = 0; i < pr->Total;) {
        unsigned n = 1 + Next(seed) % 40;
        if (n > pr->Total - i)
            n = pr->Total - i;
        for (unsigned k = 0; k < n; k++)
            chunk[k] = StreamByte(i + k);
        if (!pr->Rb->Write(chunk, (int)n))
            return 1;
        i += n;
        if (Next(seed) % 8 == 0)
            Sleep(Next(seed) % 3);
    }
    return 0;
}

DWORD WINAPI Consumer(LPVOID p)
{
    PAIR* pr = (PAIR*)p;
    unsigned seed = pr->Seed ^ 0x5a5a;
    const char* stops[] = { NULL, "\n", "\x07\x80", "" };
    char buf[64];
    DWORD start = GetTickCount();
    pr->Ok = TRUE;
    while (pr->Got < pr->Total && GetTickCount() - start < 60000) {
        int len = 1 + Next(seed) % 50;
        if (!pr->Rb->Read(buf, &len, Next(seed) % 6, stops[Next(seed) % 4]))
            continue;
        for (int k = 0; k < len; k++)
            if (buf[k] != StreamByte(pr->Got + k))
                pr->Ok = FALSE;
        pr->Got += len;
    }
    return 0;
}

}

TEST(Stress, RingBuffersAcrossManyThreads)
{
    const int pairs = 8;
    std::vector<RINGBUFFER*> rbs;
    PAIR p[pairs];
    HANDLE threads[2 * pairs];
    for (int i = 0; i < pairs; i++) {
        // A full buffer costs the writer 100 ms: small sizes, modest totals.
        rbs.push_back(new RINGBUFFER(i == 0 ? 1 : 8 * i + 8));
        p[i] = { rbs[i], i == 0 ? 60u : 3000u, 1234u + i, FALSE, 0 };
        threads[2 * i] = Start(Producer, &p[i]);
        threads[2 * i + 1] = Start(Consumer, &p[i]);
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2 * pairs, threads, TRUE, 90000));
    for (int i = 0; i < pairs; i++) {
        EXPECT_TRUE(p[i].Ok) << "pair " << i;
        EXPECT_EQ(p[i].Total, p[i].Got) << "pair " << i;
        EXPECT_EQ(0, rbs[i]->Available());
    }
    for (HANDLE h : threads)
        CloseHandle(h);
    for (RINGBUFFER* rb : rbs)
        delete rb;
}

TEST(Stress, ReaderThreadDeliversTheWholeStream)
{
    // Several devices at once, each fed in random pieces and read back with
    // random lengths, time-outs and stop bytes.
    const int devices = 4;
    const unsigned total = 150000;
    struct RUN {
        MOCKDEV Dev;
        unsigned Seed = 0;
        unsigned Got = 0;
        BOOL Ok = TRUE;
    } runs[devices];
    HANDLE readers[devices];
    for (int d = 0; d < devices; d++) {
        runs[d].Seed = 99u + d;
        readers[d] = Start([](LPVOID x) WINAPI -> DWORD {
            RUN* r = (RUN*)x;
            unsigned seed = r->Seed;
            const char* stops[] = { NULL, "\n", "\x01\xfe" };
            char buf[3000];
            DWORD start = GetTickCount();
            while (r->Got < total && GetTickCount() - start < 60000) {
                int len = 1 + Next(seed) % sizeof buf;
                if (!r->Dev.Read(buf, &len, Next(seed) % 40, stops[Next(seed) % 3]))
                    continue;
                for (int k = 0; k < len; k++)
                    if (buf[k] != StreamByte(r->Got + k))
                        r->Ok = FALSE;
                r->Got += len;
            }
            return 0;
        }, &runs[d]);
    }
    unsigned seed = 7, sent = 0;
    std::string piece;
    DWORD start = GetTickCount();
    while (sent < total && GetTickCount() - start < 60000) {
        unsigned n = 1 + Next(seed) % 9000;
        if (n > total - sent)
            n = total - sent;
        piece.resize(n);
        for (unsigned k = 0; k < n; k++)
            piece[k] = StreamByte(sent + k);
        for (RUN& r : runs)
            r.Dev.Push(piece);
        sent += n;
        Sleep(Next(seed) % 4);
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(devices, readers, TRUE, 90000));
    for (int d = 0; d < devices; d++) {
        CloseHandle(readers[d]);
        EXPECT_TRUE(runs[d].Ok) << d;
        EXPECT_EQ(total, runs[d].Got) << d;
    }
}
