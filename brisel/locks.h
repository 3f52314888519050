// Events, mutexes and critical sections: the locks of the whole library,
// below STRING, which guards its buffer pool with one of them.
#pragma once
#include <windows.h>

// Manual-reset event without name.
class EVENTSEM
{
public:
    explicit EVENTSEM(BOOL initiallySet = FALSE);
    ~EVENTSEM();
    BOOL Set();
    BOOL Reset();
    BOOL Wait(int milliseconds);                       // -1: no limit
    EVENTSEM(const EVENTSEM&) = delete;
    EVENTSEM& operator=(const EVENTSEM&) = delete;
private:
    HANDLE hev;
};

// Mutex, named or not. Request fails on time-out and on an abandoned mutex.
class MUTEXSEM
{
public:
    explicit MUTEXSEM(BOOL initiallyOwned = FALSE, const char* name = NULL);
    ~MUTEXSEM();
    BOOL Request(int milliseconds);                    // -1: no limit
    BOOL Release();
    MUTEXSEM(const MUTEXSEM&) = delete;
    MUTEXSEM& operator=(const MUTEXSEM&) = delete;
private:
    HANDLE hmux;
};

// Re-entrant critical section.
class CRITSECT
{
public:
    CRITSECT();
    ~CRITSECT();
    void Enter();
    void Leave();
    CRITSECT(const CRITSECT&) = delete;
    CRITSECT& operator=(const CRITSECT&) = delete;
private:
    CRITICAL_SECTION* pCritSect;
};
