// Device frame: the reader thread (daemon) moves what the device receives into
// the ring buffer; the user reads from there with a time-out.
#include "brisel/baseio.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include <cstdlib>
#include <cstring>

#define DEVLEVEL(n) (0x100 | (n))
#define SAFE(s) ((s).IsNull() ? "<NULL>" : (s).Str())

// RINGBUFFER ------------------------------------------------------------------

RINGBUFFER::RINGBUFFER(int initsize)
    : Mutex(FALSE, NULL), DataEvent(FALSE), Data(NULL), BytesWritten(0), BytesRead(0), Capacity(0), Cancelled(0)
{
    if (initsize > 0)
        Data = (char*)malloc(initsize);
    Assert(Data != NULL, "this->Data", __FILE__, __LINE__, NULL, FALSE);
    if (Data)
        Capacity = initsize;
    Logit("RINGBUFFER::RINGBUFFER initsize=%d\n", initsize);
}

RINGBUFFER::~RINGBUFFER()
{
    Mutex.Request(-1);
    free(Data);
    Data = NULL;
    Capacity = 0;
    Mutex.Release();
}

void RINGBUFFER::Cancel()
{
    InterlockedExchange(&Cancelled, 1);
}

int RINGBUFFER::Available()
{
    Mutex.Request(-1);
    int avail = BytesWritten - BytesRead;
    Mutex.Release();
    return avail;
}

BOOL RINGBUFFER::Write(const void* bytes, int length)
{
    LogitLevel(DEVLEVEL(3), "RINGBUFFER::Write %d\n", length);
    if (!Data || length < 0)
        return FALSE;
    // A block larger than the whole buffer could never fit: it goes in pieces.
    if (length > Capacity) {
        const char* p = (const char*)bytes;
        for (int done = 0; done < length; done += Capacity)
            if (!Write(p + done, length - done < Capacity ? length - done : Capacity))
                return FALSE;
        return TRUE;
    }

    for (int attempt = 0;; attempt++) {
        if (Cancelled)
            return FALSE;
        Mutex.Request(-1);
        if (Capacity - (BytesWritten - BytesRead) >= length)
            break;
        Logit("RINGBUFFER::Write Buffer full -- waiting ...\n");
        if (attempt > 20)   // fires only where the sources are at hand
            Assert(GetFileAttributesA("brisel\\baseio.cpp") == INVALID_FILE_ATTRIBUTES,
                   "_access(\"brisel\\\\baseio.cpp\",0)!=0", __FILE__, __LINE__,
                   "Ringbuffer Write waits more than 2 Sec", FALSE);
        Mutex.Release();
        Sleep(100);
    }

    const char* src = (const char*)bytes;
    if (BytesWritten + length < Capacity)
        memcpy(Data + BytesWritten, src, length);
    else
        for (int i = 0; i < length; i++)
            Data[(BytesWritten + i) % Capacity] = src[i];
    BytesWritten += length;
    // Keep the running numbers small while the buffer never runs empty.
    if (BytesRead >= Capacity) {
        BytesWritten -= BytesRead / Capacity * Capacity;
        BytesRead %= Capacity;
    }
    DataEvent.Set();
    int r = BytesRead, w = BytesWritten;
    Mutex.Release();
    LogitLevel(DEVLEVEL(3), "RINGBUFFER::~Write %d (%d, %d)\n", TRUE, r, w);
    return TRUE;
}

BOOL RINGBUFFER::Read(void* buffer, int* length, int timeout, const char* stop)
{
    int wanted = *length;
    *length = 0;
    Mutex.Request(-1);
    int avail = BytesWritten - BytesRead;
    LogitLevel(DEVLEVEL(3), "RINGBUFFER::Read %d (avail=%d)\n", wanted, avail);
    Mutex.Release();
    if (!Data || wanted <= 0)
        return FALSE;

    if (avail == 0 && timeout > 0)
        DataEvent.Wait(timeout);

    Mutex.Request(-1);
    int count = BytesWritten - BytesRead;
    if (count > wanted)
        count = wanted;
    if (count > 0 && stop && *stop)
        for (int i = 0; i < count; i++)
            if (Data[(BytesRead + i) % Capacity] && strchr(stop, Data[(BytesRead + i) % Capacity])) {
                count = i + 1;
                break;
            }
    char* dst = (char*)buffer;
    if (count + BytesRead < Capacity)
        memcpy(dst, Data + BytesRead, count > 0 ? count : 0);
    else
        for (int i = 0; i < count; i++)
            dst[i] = Data[(BytesRead + i) % Capacity];
    if (count > 0)
        BytesRead += count;
    if (BytesRead == BytesWritten) {
        BytesRead = BytesWritten = 0;
        DataEvent.Reset();
    }
    Mutex.Release();
    *length = count > 0 ? count : 0;
    LogitLevel(DEVLEVEL(3), "RINGBUFFER::~Read %d\n", *length);
    return *length != 0;
}

// BASEIO ----------------------------------------------------------------------

BASEIO::BASEIO(const char* ownid, const char* calltype, const char* keeponline, BOOL deferstart)
    : ReceiveBuffer(65536), StopEvent(FALSE), hDaemon(NULL), OwnId(ownid), CallType(calltype),
      KeepOnline(keeponline), LastError(0), LastErrorText("<unknown>"), StartEvent(!deferstart),
      FeedProc(NULL), FeedContext(NULL), NotifyProc(NULL), NotifyContext(NULL)
{
    Logit("BASEIO::BASEIO\n");
    hDaemon = OSYS::CreateThread(DaemonThread, this);
    Logit("BASEIO::BASEIO done\n");
}

BASEIO::~BASEIO()
{
    Logit("BASEIO::~BASEIO\n");
    KillDaemon();
    Logit("BASEIO::~BASEIO done\n");
}

BOOL BASEIO::DevRead(char*, int* length)
{
    Sleep(250);
    *length = 0;
    return TRUE;
}

int BASEIO::DevGetNumAvail()
{
    return 0;
}

void BASEIO::SetNotify(BASEIO_NOTIFYPROC proc, void* context)
{
    NotifyProc = proc;
    NotifyContext = context;
}

void BASEIO::SetFeed(BASEIO_FEEDPROC proc, void* context)
{
    FeedProc = proc;
    FeedContext = context;
}

void BASEIO::SetCallType(const char* text)
{
    LogitLevel(DEVLEVEL(0), "ISDNIO::SetCallType old=%s, new=%s\n", SAFE(CallType), text ? text : "<NULL>");
    CallType = STRING(text);
}

void BASEIO::SetOurId(const char* text)
{
    LogitLevel(DEVLEVEL(0), "ISDNIO::SetOurId old=%s, new=%s\n", SAFE(OwnId), text ? text : "<NULL>");
    OwnId = STRING(text);
}

STRING BASEIO::GetInfo(const char* key)
{
    STRING answer;
    if (!key)
        answer = STRING("BASEIO::BAD-REQUEST");
    else if (!_stricmp(key, "ONLINE"))
        answer = STRING("0");
    else if (!_stricmp(key, "LASTERROR"))
        answer.Format("%d", LastError);
    else if (!_stricmp(key, "LASTERRORSTRING"))
        answer = LastErrorText;
    else if (!_stricmp(key, "OWNID"))
        answer = OwnId;
    else if (!_stricmp(key, "CALLERID"))
        answer = STRING("<unknown>");
    else if (!_stricmp(key, "DEVICENAME"))
        answer = STRING("BASEIO");
    else
        answer = STRING("BASEIO::BAD-REQUEST");
    return answer;
}

BOOL BASEIO::Read(char* buffer, int* length, int timeout, const char* stop)
{
    int wanted = *length;
    LogitLevel(DEVLEVEL(0), "BASEIO::Read %d %d\n", wanted, timeout);
    LONGLONG start = OSYS::Milliseconds(FALSE);
    // Wait in quarters so a reply is noticed early even under a long time-out
    // (at least 1 ms, so a tiny time-out does not spin).
    int quarter = timeout / 4;
    if (timeout > 0 && quarter == 0)
        quarter = 1;
    else if (timeout < 0)
        quarter = 250;      // no limit: wait in steps
    int fill = 0;
    DWORD elapsed = 0;

    for (;;) {
        int got = wanted - fill;
        if (got > 0 && ReceiveBuffer.Read(buffer + fill, &got, quarter, stop)) {
            fill += got;
            LogitLevel(DEVLEVEL(1), "BASEIO::Read got %d byte packet\n", got);
        }
        LONGLONG now = OSYS::Milliseconds(FALSE);
        if (now < start + (LONGLONG)elapsed) {
            // The clock went back: this step counts as no time, and the wait
            // goes on from the new reading instead of waiting for the old one.
            Logit("BASEIO::Read *** WARNING!!! *** negative time diff %d ms\n", (int)(start - now));
            start = now - elapsed;
        }
        elapsed = (DWORD)(now - start);
        LogitLevel(DEVLEVEL(1), "BASEIO::Read loop fill= %d, dura= %d\n", fill, (int)elapsed);
        if (fill > 0 && stop && buffer[fill - 1] && strchr(stop, buffer[fill - 1])) {
            LogitLevel(DEVLEVEL(0), "BASEIO::Read got readuntil byte ... break;\n");
            break;
        }
        if (fill >= wanted || elapsed >= (DWORD)timeout)
            break;
    }
    *length = fill;
    LogitLevel(DEVLEVEL(0), "BASEIO::~Read done l2=%d, *plen= %d, dura= %d\n", wanted, fill, (int)elapsed);
    return fill > 0;
}

BOOL BASEIO::Write(const char* bytes, int length)
{
    if (length < 0)
        length = bytes ? (int)strlen(bytes) : 0;
    LogitLevel(DEVLEVEL(0), "BASEIO::Write len %d\n", length);
    BOOL ok = DevWrite(bytes, length);
    LogitLevel(DEVLEVEL(0), "BASEIO::~Write ok %d\n", ok);
    return ok;
}

BOOL BASEIO::Feed(const char* bytes, int length)
{
    LogitLevel(DEVLEVEL(1), "BASEIO::Feed len %d\n", length);
    BOOL ok;
    if (FeedProc) {
        FeedProc(FeedContext, bytes, length);
        ok = TRUE;
    } else
        ok = ReceiveBuffer.Write(bytes, length);
    LogitLevel(DEVLEVEL(2), "BASEIO::~Feed ok %d\n", ok);
    return ok;
}

void BASEIO::KillDaemon()
{
    LogitLevel(DEVLEVEL(0), "BASEIO::KillDaemon\n");
    if (hDaemon) {
        LogitLevel(DEVLEVEL(0), "BASEIO::KillDaemon about to post\n");
        StopEvent.Set();
        // A daemon stuck on a full buffer that nobody reads any more would never stop.
        ReceiveBuffer.Cancel();
        LogitLevel(DEVLEVEL(0), "BASEIO::KillDaemon about posted\n");
        // A deferred start that never came would keep the daemon waiting for good.
        StartEvent.Set();
        OSYS::WaitThread(hDaemon, -1);
        LogitLevel(DEVLEVEL(0), "BASEIO::KillDaemon thread completed\n");
        hDaemon = NULL;
    }
    LogitLevel(DEVLEVEL(0), "BASEIO::KillDaemon done\n");
}

DWORD WINAPI BASEIO::DaemonThread(LPVOID self)
{
    ((BASEIO*)self)->Daemon();
    return 0;
}

void BASEIO::Daemon()
{
    char buffer[8192];
    StartEvent.Wait(-1);
    // A device destroyed before it was started: no device call on a half-built object.
    if (StopEvent.Wait(0))
        return;
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
    LogitLevel(DEVLEVEL(0), "BASEIO::Daemon\n");
    for (;;) {
        int n = DevGetNumAvail();
        LogitLevel(DEVLEVEL(2), "BASEIO::Daemon numavail %d\n", n);
        int len = n <= 0 ? 1 : (n > (int)sizeof buffer ? (int)sizeof buffer : n);
        if (DevRead(buffer, &len)) {
            LogitLevel(DEVLEVEL(2), "BASEIO::Daemon read %d\n", len);
            if (len > 0)
                Feed(buffer, len);
        } else {
            LogitLevel(DEVLEVEL(2), "BASEIO::Daemon about to Sleep(100)\n");
            Sleep(100);
        }
        if (StopEvent.Wait(0))
            break;
    }
    LogitLevel(DEVLEVEL(0), "BASEIO::~Daemon\n");
}
