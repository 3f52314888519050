// Byte-stream communication device with its own reader thread, and the ring
// buffer between that thread and the device's user.
#pragma once
#include <windows.h>
#include "brisel/locks.h"
#include "brisel/strings.h"

// Thread-safe byte queue of fixed capacity: the writer waits for room, the
// reader waits for data with a time-out and may stop at given bytes.
class RINGBUFFER
{
public:
    explicit RINGBUFFER(int initsize);
    ~RINGBUFFER();
    BOOL Write(const void* bytes, int length);
    // length: wanted in, delivered out; stop: zero-terminated set of stop bytes or NULL.
    BOOL Read(void* buffer, int* length, int timeout, const char* stop);
    int Available();
    void Cancel();      // waiting and later writes give up (the reader is gone)
    int Size() const { return Capacity; }
    RINGBUFFER(const RINGBUFFER&) = delete;
    RINGBUFFER& operator=(const RINGBUFFER&) = delete;

private:
    MUTEXSEM Mutex;
    EVENTSEM DataEvent;
    char* Data;
    int BytesWritten;   // bytes written since the buffer was last empty
    int BytesRead;      // bytes read since the buffer was last empty
    int Capacity;
    volatile LONG Cancelled;
};

typedef void (*BASEIO_FEEDPROC)(void* context, const char* bytes, int length);
typedef void (*BASEIO_NOTIFYPROC)(void* context, int event);

class BASEIO
{
public:
    BASEIO(const char* ownid, const char* calltype, const char* keeponline, BOOL deferstart);

    // Device operations, in slot order.
    virtual BOOL DevRead(char* buffer, int* length);
    virtual BOOL DevWrite(const char* bytes, int length) = 0;
    virtual int DevGetNumAvail();
    virtual ~BASEIO();
    virtual BOOL IsReady() = 0;
    virtual BOOL MakeCall(const char* destination) = 0;
    virtual BOOL AcceptCall() = 0;
    virtual BOOL DropCall() = 0;
    virtual void SetNotify(BASEIO_NOTIFYPROC proc, void* context);
    virtual void SetFeed(BASEIO_FEEDPROC proc, void* context);
    virtual void SetCallType(const char* text);
    virtual void SetOurId(const char* text);
    virtual STRING GetInfo(const char* key);

    // At least one byte read within the time-out (ms); stop: stop bytes or NULL.
    BOOL Read(char* buffer, int* length, int timeout, const char* stop);
    BOOL Write(const char* bytes, int length);          // length -1: zero-terminated
    BOOL Feed(const char* bytes, int length);
    void KillDaemon();

    BASEIO(const BASEIO&) = delete;
    BASEIO& operator=(const BASEIO&) = delete;

protected:
    RINGBUFFER ReceiveBuffer;
    EVENTSEM StopEvent;
    HANDLE hDaemon;
    STRING OwnId;
    STRING CallType;
    STRING KeepOnline;
    int LastError;
    STRING LastErrorText;
    EVENTSEM StartEvent;
    BASEIO_FEEDPROC FeedProc;
    void* FeedContext;
    BASEIO_NOTIFYPROC NotifyProc;
    void* NotifyContext;

private:
    static DWORD WINAPI DaemonThread(LPVOID self);
    void Daemon();
};
