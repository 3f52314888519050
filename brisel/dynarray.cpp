// DYNARRAY: owned items in a slot array that grows by GrowBy.
#include "brisel/dynarray.h"
#include "brisel/halvo.h"
#include <new>
#include <stdio.h>

DYNARRAY::DYNARRAY()
    : ItemCount(0), MaxItems(0), GrowBy(64)
{
    MakeSlots(64);
}

DYNARRAY::DYNARRAY(const DYNARRAY& other)
    : ItemCount(0), MaxItems(0), GrowBy(64)
{
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

BOOL DYNARRAY::MakeSlots(int count)
{
    Slots.reset(count > 0 ? new (std::nothrow) SLOT[count] : NULL);
    MaxItems = Slots ? count : 0;
    if (count > 0)
        ASSERT(this->Slots);
    return Slots != NULL;
}

// Takes new copies of every item and the source's sizes.
void DYNARRAY::CopyFrom(const DYNARRAY& other)
{
    DYNARRAY& src = const_cast<DYNARRAY&>(other);
    src.Lock();
    GrowBy = src.GrowBy;
    ItemCount = 0;
    MakeSlots(src.MaxItems);
    for (int i = 0; i < src.ItemCount && i < MaxItems; i++) {
        if (src.Slots[i])
            Slots[i] = std::make_unique<STRING>(*src.Slots[i]);
        ItemCount++;
    }
    src.Unlock();
}

void DYNARRAY::FreeItems()
{
    Slots.reset();
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
}

void DYNARRAY::Lock()
{
    ArrayLock.Enter();
}

void DYNARRAY::Unlock()
{
    ArrayLock.Leave();
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
        item = Slots[i].get();
    }
    Unlock();
    return item;
}

BOOL DYNARRAY::Insert(int pos, std::unique_ptr<STRING> item)
{
    char info[32];
    Lock();
    snprintf(info, sizeof(info), "%d/%d", pos, ItemCount);
    ASSERTINFO(pos>=0 && pos<=this->ItemCount, info);
    BOOL ok = pos >= 0 && pos <= ItemCount;
    if (ok && ItemCount >= MaxItems) {
        std::unique_ptr<SLOT[]> grown(new (std::nothrow) SLOT[MaxItems + GrowBy]);
        ASSERT(grown);
        ok = grown != NULL;
        if (ok) {
            for (int i = 0; i < ItemCount; i++)
                grown[i] = std::move(Slots[i]);
            Slots = std::move(grown);
            MaxItems += GrowBy;
        }
    }
    if (ok) {
        ASSERT(this->ItemCount<this->MaxItems);
        for (int i = ItemCount; i > pos; i--)
            Slots[i] = std::move(Slots[i - 1]);
        Slots[pos] = std::move(item);
        ItemCount++;
    }
    Unlock();
    return ok;
}

BOOL DYNARRAY::Add(std::unique_ptr<STRING> item)
{
    Lock();
    BOOL ok = Insert(ItemCount, std::move(item));
    Unlock();
    return ok;
}

BOOL DYNARRAY::Delete(int pos)
{
    Lock();
    ASSERT(pos>=0 && pos<this->ItemCount);
    BOOL ok = pos >= 0 && pos < ItemCount;
    if (ok) {
        for (int i = pos; i + 1 < ItemCount; i++)
            Slots[i] = std::move(Slots[i + 1]);
        ItemCount--;
        Slots[ItemCount].reset();
    }
    Unlock();
    return ok;
}

BOOL DYNARRAY::Swap(int pos1, int pos2)
{
    Lock();
    ASSERT(pos1>=0 && pos1<this->ItemCount);
    ASSERT(pos2>=0 && pos2<this->ItemCount);
    BOOL ok = pos1 >= 0 && pos1 < ItemCount && pos2 >= 0 && pos2 < ItemCount;
    if (ok)
        Slots[pos1].swap(Slots[pos2]);
    Unlock();
    return ok;
}

void DYNARRAY::RemoveAll()
{
    Lock();
    FreeItems();
    Unlock();
}
