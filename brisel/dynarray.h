// DYNARRAY: growable array of owned STRING items, each array with its own
// re-entrant lock. Grows by 64 slots and never shrinks except by RemoveAll.
#pragma once
#include <windows.h>
#include <memory>
#include "brisel/locks.h"
#include "brisel/strings.h"

class DYNARRAY
{
public:
    DYNARRAY();
    DYNARRAY(const DYNARRAY& other);
    DYNARRAY& operator=(const DYNARRAY& other);

    // Order of two items; DYNARRAY itself has none.
    virtual int Compare(const STRING* a, const STRING* b, DWORD flags);
    virtual ~DYNARRAY();

    int Count();
    STRING* Get(int i);                                  // owned by the array; NULL when i is bad
    BOOL Insert(int pos, std::unique_ptr<STRING> item);  // a refused item is dropped
    BOOL Add(std::unique_ptr<STRING> item);
    BOOL Delete(int pos);
    BOOL Swap(int pos1, int pos2);
    void RemoveAll();

    // Holds the array's lock across several operations (re-entrant).
    void Lock();
    void Unlock();

    int GetMaxItems() const { return MaxItems; }

protected:
    typedef std::unique_ptr<STRING> SLOT;

    CRITSECT ArrayLock;
    std::unique_ptr<SLOT[]> Slots;   // MaxItems slots, the first ItemCount in use
    int ItemCount;
    int MaxItems;
    int GrowBy;

private:
    friend class KEYTABLE;   // sorts keys and values together
    void CopyFrom(const DYNARRAY& other);
    void FreeItems();
    // MaxItems fresh, empty slots; FALSE when there is no memory for them.
    BOOL MakeSlots(int count);
};
