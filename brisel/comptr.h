// Ownership of COM objects: COMPTR holds one interface pointer and releases
// it when it goes; COMSCOPE initialises COM for its lifetime on this thread.
#pragma once
#include <windows.h>
#include <objbase.h>

template <class T>
class COMPTR
{
public:
    COMPTR() : pInterface(NULL) {}
    ~COMPTR() { Reset(); }
    COMPTR(const COMPTR&) = delete;
    COMPTR& operator=(const COMPTR&) = delete;

    T* operator->() const { return pInterface; }
    T* Get() const { return pInterface; }
    explicit operator bool() const { return pInterface != NULL; }
    // For the calls that hand out an interface: the old one is released first.
    void** Out()
    {
        Reset();
        return (void**)&pInterface;
    }
    void Reset()
    {
        if (pInterface)
            pInterface->Release();
        pInterface = NULL;
    }

private:
    T* pInterface;
};

class COMSCOPE
{
public:
    // COINIT_MULTITHREADED makes no window (a single-threaded apartment has a
    // hidden one), for programs that must show none.
    explicit COMSCOPE(DWORD apartment = COINIT_APARTMENTTHREADED) : Result(CoInitializeEx(NULL, apartment)) {}
    ~COMSCOPE()
    {
        if (SUCCEEDED(Result))
            CoUninitialize();
    }
    COMSCOPE(const COMSCOPE&) = delete;
    COMSCOPE& operator=(const COMSCOPE&) = delete;

private:
    HRESULT Result;
};
