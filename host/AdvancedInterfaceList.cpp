#include "host/AdvancedInterfaceList.h"

#include <utility>

namespace host {

using Guard = std::lock_guard<std::recursive_mutex>;

TAdvancedInterfaceList::TAdvancedInterfaceList(TInterfaceCompare compare, TDuplicates duplicates, int capacity)
    : FCompare(compare), FDuplicates(duplicates)
{
    if (capacity > 0) FItems.reserve(static_cast<size_t>(capacity));
}

TAdvancedInterfaceList::~TAdvancedInterfaceList() { Clear(); }

std::unique_ptr<TAdvancedInterfaceList> TAdvancedInterfaceList::Create()
{
    return std::make_unique<TAdvancedInterfaceList>();
}

std::unique_ptr<TAdvancedInterfaceList> TAdvancedInterfaceList::CreateSorted(TInterfaceCompare compare, int delta,
                                                                             int capacity, TDuplicates duplicates)
{
    return std::make_unique<TAdvancedInterfaceList>(compare, duplicates, capacity);
}

int TAdvancedInterfaceList::Add(com::IUnknown* item)
{
    if (!item) return -1;
    // Search and insertion form one locked step, so no other caller can slip an
    // item in between.
    Guard guard(FLock);
    int index = Count();
    if (FCompare && Find(item, index) && FDuplicates != TDuplicates::Accept) {
        if (FDuplicates == TDuplicates::Error) throw EListError("Attempt to add duplicate value");
        return index;
    }
    InsertAt(index, item);
    return index;
}

bool TAdvancedInterfaceList::Find(com::IUnknown* item, int& index) const
{
    if (!FCompare) return false;
    Guard guard(FLock);
    return SortedSearch(Count(), FDuplicates,
                        [&](int i) { return FCompare(FItems[static_cast<size_t>(i)], item); }, index);
}

int TAdvancedInterfaceList::Count() const
{
    Guard guard(FLock);
    return static_cast<int>(FItems.size());
}

com::IUnknown* TAdvancedInterfaceList::Items(int index) const
{
    Guard guard(FLock);
    CheckIndex(index);
    return FItems[static_cast<size_t>(index)];
}

com::IUnknown* TAdvancedInterfaceList::Last() const
{
    Guard guard(FLock);
    return Items(Count() - 1);
}

int TAdvancedInterfaceList::IndexOf(com::IUnknown* item) const
{
    Guard guard(FLock);
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i] == item) return static_cast<int>(i);
    return -1;
}

void TAdvancedInterfaceList::Insert(int index, com::IUnknown* item)
{
    Guard guard(FLock);
    if (index < 0 || index > Count()) ThrowListIndexError(index);
    InsertAt(index, item);
}

void TAdvancedInterfaceList::Delete(int index)
{
    com::IUnknown* item;
    {
        Guard guard(FLock);
        CheckIndex(index);
        item = Extract(index);
    }
    // Released once the list is consistent again and no longer locked: the last
    // release may run code that looks at this list.
    if (item) item->Release();
}

int TAdvancedInterfaceList::Remove(com::IUnknown* item)
{
    int index;
    com::IUnknown* removed = nullptr;
    {
        Guard guard(FLock);
        index = IndexOf(item);
        if (index >= 0) removed = Extract(index);
    }
    if (removed) removed->Release();
    return index;
}

void TAdvancedInterfaceList::Exchange(int index1, int index2)
{
    Guard guard(FLock);
    CheckIndex(index1);
    CheckIndex(index2);
    std::swap(FItems[static_cast<size_t>(index1)], FItems[static_cast<size_t>(index2)]);
}

void TAdvancedInterfaceList::Clear()
{
    std::vector<com::IUnknown*> items;
    {
        Guard guard(FLock);
        items.swap(FItems);
    }
    for (com::IUnknown* item : items)
        if (item) item->Release();
}

void TAdvancedInterfaceList::CheckIndex(int index) const
{
    if (index < 0 || index >= static_cast<int>(FItems.size())) ThrowListIndexError(index);
}

com::IUnknown* TAdvancedInterfaceList::Extract(int index)
{
    com::IUnknown* item = FItems[static_cast<size_t>(index)];
    FItems.erase(FItems.begin() + index);
    return item;
}

void TAdvancedInterfaceList::InsertAt(int index, com::IUnknown* item)
{
    FItems.insert(FItems.begin() + index, item);
    if (item) item->AddRef();
}

} // namespace host
