// Events, mutexes and critical sections.
#include "brisel/locks.h"
#include "brisel/halvo.h"

namespace {

unsigned Low32(const void* p)
{
    return (unsigned)(UINT_PTR)p;
}

} // namespace

// ---- EVENTSEM ----

EVENTSEM::EVENTSEM(BOOL initiallySet)
{
    hev = CreateEventA(NULL, TRUE, initiallySet, NULL);
    LogitLevel(7, "EVENTSEM::EVENTSEM created %08x\n", Low32(hev));
    ASSERT(this->hev);
}

EVENTSEM::~EVENTSEM()
{
    HANDLE h = hev;
    BOOL ok = h != NULL && CloseHandle(h);
    hev = NULL;
    LogitLevel(12, "EVENTSEM::~EVENTSEM deleted %08x\n", Low32(h));
    ASSERT(ok);
}

BOOL EVENTSEM::Set()
{
    BOOL ok = hev != NULL && SetEvent(hev);
    LogitLevel(12, "EVENTSEM::Set %08x\n", Low32(hev));
    ASSERT(ok);
    return ok;
}

BOOL EVENTSEM::Reset()
{
    BOOL ok = hev != NULL && ResetEvent(hev);
    LogitLevel(12, "EVENTSEM::Reset %08x\n", Low32(hev));
    ASSERT(ok);
    return ok;
}

BOOL EVENTSEM::Wait(int milliseconds)
{
    DWORD rc = hev != NULL ? WaitForSingleObject(hev, milliseconds < 0 ? INFINITE : (DWORD)milliseconds)
                           : WAIT_FAILED;
    LogitLevel(12, "EVENTSEM::Wait %08x rc=%d\n", Low32(hev), (int)rc);
    if (!ASSERT(rc!=WAIT_FAILED) || rc == WAIT_FAILED)
        return FALSE;
    return rc == WAIT_OBJECT_0;
}

// ---- MUTEXSEM ----

MUTEXSEM::MUTEXSEM(BOOL initiallyOwned, const char* name)
{
    hmux = CreateMutexA(NULL, initiallyOwned, name);
    LogitLevel(11, "MUTEXSEM::MUTEXSEM created %08x, name= %s\n", Low32(hmux), name ? name : "<null>");
    ASSERT(this->hmux);
}

MUTEXSEM::~MUTEXSEM()
{
    LogitLevel(11, "MUTEXSEM::MUTEXSEM delete %08x\n", Low32(hmux));
    BOOL ok = hmux != NULL && CloseHandle(hmux);
    hmux = NULL;
    ASSERT(ok);
}

BOOL MUTEXSEM::Request(int milliseconds)
{
    DWORD rc = hmux != NULL ? WaitForSingleObject(hmux, milliseconds < 0 ? INFINITE : (DWORD)milliseconds)
                            : WAIT_FAILED;
    if (rc == WAIT_FAILED) {
        ASSERT(rc!=WAIT_FAILED);
        LogitLevel(11, "MUTEXSEM::MUTEXSEM obtained %08x rc= %d\n", Low32(hmux), -1);
        return FALSE;
    }
    LogitLevel(11, "MUTEXSEM::MUTEXSEM obtained %08x rc= %d\n", Low32(hmux), (int)rc);
    if (rc == WAIT_ABANDONED) {
        // The data it guards may be half-written: report failure, but do not keep
        // the mutex, or every other waiter would hang behind a caller that never releases.
        ReleaseMutex(hmux);
        return FALSE;
    }
    return rc == WAIT_OBJECT_0;
}

BOOL MUTEXSEM::Release()
{
    BOOL ok = hmux != NULL && ReleaseMutex(hmux);
    LogitLevel(11, "MUTEXSEM::MUTEXSEM released %08x rc= %d\n", Low32(hmux), ok);
    ASSERT(ok);
    return ok;
}

// ---- CRITSECT ----

CRITSECT::CRITSECT()
{
    pCritSect = (CRITICAL_SECTION*)HeapAlloc(GetProcessHeap(), 0, sizeof(CRITICAL_SECTION));
    if (pCritSect != NULL)
        InitializeCriticalSection(pCritSect);
    ASSERT(this->pCritSect);
}

CRITSECT::~CRITSECT()
{
    if (pCritSect != NULL) {
        DeleteCriticalSection(pCritSect);
        HeapFree(GetProcessHeap(), 0, pCritSect);
        pCritSect = NULL;
    }
}

void CRITSECT::Enter()
{
    if (pCritSect != NULL)
        EnterCriticalSection(pCritSect);
}

void CRITSECT::Leave()
{
    if (pCritSect != NULL)
        LeaveCriticalSection(pCritSect);
}
