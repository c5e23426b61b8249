// A list of counted interface references that can keep itself sorted with a
// comparison function.
#pragma once

#include "host/SortedStringList.h"
#include "plugin/com/ComTypes.h"

#include <memory>
#include <mutex>
#include <vector>

namespace host {

// Compares two items: negative when item1 sorts before item2, 0 when equal, positive after.
using TInterfaceCompare = int (*)(com::IUnknown* item1, com::IUnknown* item2);

// The list takes a reference (AddRef) on every item it stores and releases it when the
// item is deleted, removed, cleared or the list is destroyed. Items, First and Last hand
// out the stored pointer without a new reference. Every operation holds the list's lock;
// Lock/Unlock let a caller group several operations into one step.
class TAdvancedInterfaceList {
public:
    // An unsorted list.
    TAdvancedInterfaceList() = default;
    // A sorted list: Add inserts by binary search with `compare`; `capacity` is reserved.
    TAdvancedInterfaceList(TInterfaceCompare compare, TDuplicates duplicates, int capacity = 0);
    ~TAdvancedInterfaceList();

    TAdvancedInterfaceList(const TAdvancedInterfaceList&) = delete;
    TAdvancedInterfaceList& operator=(const TAdvancedInterfaceList&) = delete;

    static std::unique_ptr<TAdvancedInterfaceList> Create();
    // `delta` is accepted for the caller's convenience and not used.
    static std::unique_ptr<TAdvancedInterfaceList> CreateSorted(TInterfaceCompare compare, int delta, int capacity,
                                                                TDuplicates duplicates);

    TInterfaceCompare CompareFunction() const { return FCompare; }
    TDuplicates Duplicates() const { return FDuplicates; }

    // Adds the item (appended, or at its sorted position) and returns its index; an empty
    // item is not added (-1); an equal item with Ignore gives the equal item's index; with
    // Error raises EListError "Attempt to add duplicate value".
    int Add(com::IUnknown* item);
    // Binary search by CompareFunction; false (index untouched) for an unsorted list.
    bool Find(com::IUnknown* item, int& index) const;

    int Count() const;
    com::IUnknown* Items(int index) const;
    com::IUnknown* First() const { return Items(0); }
    com::IUnknown* Last() const;
    int IndexOf(com::IUnknown* item) const;

    // Places the item at `index` (0..Count) regardless of sorting.
    void Insert(int index, com::IUnknown* item);
    void Delete(int index);
    // Deletes the first occurrence of the item; returns its former index or -1.
    int Remove(com::IUnknown* item);
    void Exchange(int index1, int index2);
    void Clear();

    void Lock() { FLock.lock(); }
    void Unlock() { FLock.unlock(); }

private:
    void CheckIndex(int index) const;
    void InsertAt(int index, com::IUnknown* item);
    com::IUnknown* Extract(int index);

    mutable std::recursive_mutex FLock;
    std::vector<com::IUnknown*> FItems;
    TInterfaceCompare FCompare = nullptr;
    TDuplicates FDuplicates = TDuplicates::Ignore;
};

} // namespace host
