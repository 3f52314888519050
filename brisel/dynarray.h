// DYNARRAY: growable array of owned STRING items, each array with its own
// re-entrant lock. Grows by 64 slots and never shrinks except by RemoveAll.
#ifndef BRISEL_DYNARRAY_H
#define BRISEL_DYNARRAY_H

#include <windows.h>
#include "brisel/strings.h"

class CRITSECT;

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
    STRING* Get(int i);                   // owned by the array; NULL when i is bad
    BOOL Insert(int pos, STRING* item);   // the array takes the item over (deleted when refused)
    BOOL Add(STRING* item);
    BOOL Delete(int pos);
    BOOL Swap(int pos1, int pos2);
    void RemoveAll();

    // Holds the array's lock across several operations (re-entrant).
    void Lock();
    void Unlock();

    int GetMaxItems() const { return MaxItems; }

protected:
    CRITSECT* pLock;
    STRING** ppItems;
    int ItemCount;
    int MaxItems;
    int GrowBy;

private:
    friend class KEYTABLE;   // sorts keys and values together
    void CopyFrom(const DYNARRAY& other);
    void FreeItems();
};

#endif
