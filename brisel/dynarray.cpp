// DYNARRAY: owned item pointers in a slot array that grows by GrowBy.
#include "brisel/dynarray.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

DYNARRAY::DYNARRAY()
    : pLock(NULL), ppItems(NULL), ItemCount(0), MaxItems(64), GrowBy(64)
{
    pLock = new CRITSECT();
    ASSERT(pLock);
    ppItems = (STRING**)calloc((size_t)MaxItems, sizeof(STRING*));
    ASSERT(this->ppItems);
    if (ppItems == NULL)
        MaxItems = 0;
}

DYNARRAY::DYNARRAY(const DYNARRAY& other)
    : pLock(NULL), ppItems(NULL), ItemCount(0), MaxItems(0), GrowBy(64)
{
    pLock = new CRITSECT();
    ASSERT(pLock);
    CopyFrom(other);
}

DYNARRAY& DYNARRAY::operator=(const DYNARRAY& other)
{
    if (this != &other) {
        Lock();
        FreeItems();
        CopyFrom(other);
        Unlock();
    }
    return *this;
}

// Takes new copies of every item and the source's sizes; the slot array is empty.
void DYNARRAY::CopyFrom(const DYNARRAY& other)
{
    DYNARRAY& src = const_cast<DYNARRAY&>(other);
    src.Lock();
    MaxItems = src.MaxItems;
    GrowBy = src.GrowBy;
    ItemCount = 0;
    ppItems = MaxItems > 0 ? (STRING**)calloc((size_t)MaxItems, sizeof(STRING*)) : NULL;
    if (MaxItems > 0) {
        ASSERT(this->ppItems);
        if (ppItems == NULL)
            MaxItems = 0;
    }
    for (int i = 0; i < src.ItemCount && i < MaxItems; i++) {
        ppItems[i] = src.ppItems[i] ? new STRING(*src.ppItems[i]) : NULL;
        ItemCount++;
    }
    src.Unlock();
}

void DYNARRAY::FreeItems()
{
    for (int i = 0; i < ItemCount; i++)
        delete ppItems[i];
    free(ppItems);
    ppItems = NULL;
    ItemCount = 0;
    MaxItems = 0;
}

int DYNARRAY::Compare(const STRING*, const STRING*, DWORD)
{
    ASSERT(FALSE);
    return 0;
}

DYNARRAY::~DYNARRAY()
{
    FreeItems();
    delete pLock;
}

void DYNARRAY::Lock()
{
    if (pLock)
        pLock->Enter();
}

void DYNARRAY::Unlock()
{
    if (pLock)
        pLock->Leave();
}

int DYNARRAY::Count()
{
    return ItemCount;
}

STRING* DYNARRAY::Get(int i)
{
    char info[32];
    snprintf(info, sizeof(info), "i==%d", i);
    Lock();
    STRING* item = NULL;
    ASSERTINFO(i>=0 && i<this->MaxItems, info);
    if (i >= 0 && i < MaxItems) {
        ASSERTINFO(i<this->ItemCount, info);
        item = ppItems[i];
    }
    Unlock();
    return item;
}

BOOL DYNARRAY::Insert(int pos, STRING* item)
{
    char info[32];
    Lock();
    snprintf(info, sizeof(info), "%d/%d", pos, ItemCount);
    ASSERTINFO(pos>=0 && pos<=this->ItemCount, info);
    if (pos < 0 || pos > ItemCount) {
        Unlock();
        delete item;
        return FALSE;
    }
    if (ItemCount >= MaxItems) {
        STRING** old = ppItems;
        int oldmax = MaxItems;
        MaxItems += GrowBy;
        ASSERT(this->ItemCount<this->MaxItems);
        ppItems = (STRING**)calloc((size_t)MaxItems, sizeof(STRING*));
        ASSERT(this->ppItems);
        if (ppItems == NULL || ItemCount >= MaxItems) {
            free(ppItems);
            ppItems = old;
            MaxItems = oldmax;
            Unlock();
            delete item;
            return FALSE;
        }
        if (old)
            memcpy(ppItems, old, (size_t)ItemCount * sizeof(STRING*));
        free(old);
    }
    ASSERT(this->ItemCount<this->MaxItems);
    memmove(ppItems + pos + 1, ppItems + pos, (size_t)(ItemCount - pos) * sizeof(STRING*));
    ppItems[pos] = item;
    ItemCount++;
    Unlock();
    return TRUE;
}

BOOL DYNARRAY::Add(STRING* item)
{
    Lock();
    BOOL ok = Insert(ItemCount, item);
    Unlock();
    return ok;
}

BOOL DYNARRAY::Delete(int pos)
{
    Lock();
    ASSERT(pos>=0 && pos<this->ItemCount);
    if (pos < 0 || pos >= ItemCount) {
        Unlock();
        return FALSE;
    }
    delete ppItems[pos];
    memmove(ppItems + pos, ppItems + pos + 1, (size_t)(ItemCount - pos - 1) * sizeof(STRING*));
    ItemCount--;
    ppItems[ItemCount] = NULL;
    Unlock();
    return TRUE;
}

BOOL DYNARRAY::Swap(int pos1, int pos2)
{
    Lock();
    ASSERT(pos1>=0 && pos1<this->ItemCount);
    ASSERT(pos2>=0 && pos2<this->ItemCount);
    if (pos1 < 0 || pos1 >= ItemCount || pos2 < 0 || pos2 >= ItemCount) {
        Unlock();
        return FALSE;
    }
    STRING* t = ppItems[pos1];
    ppItems[pos1] = ppItems[pos2];
    ppItems[pos2] = t;
    Unlock();
    return TRUE;
}

void DYNARRAY::RemoveAll()
{
    Lock();
    FreeItems();
    Unlock();
}
