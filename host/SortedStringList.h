// Sorted text lists with an attached object per text, and the binary search they
// share with the sorted interface list.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// Raised by the list classes for a bad index or a refused duplicate.
class EListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void ThrowListIndexError(int index);

// What a sorted list does with an item that compares equal to one it holds.
enum class TDuplicates : uint8_t {
    Ignore, // nothing is added; the position of the equal item is reported
    Accept, // the new item goes before the first equal item
    Error,  // EListError "Attempt to add duplicate value"
};

// Binary search over `count` sorted items. `compareAt(i)` compares item i with the
// item looked for: negative when item i sorts before it, 0 when equal, positive after.
// Returns whether an equal item exists. `index` receives, with Accept, the position of
// the first item that is equal or greater; otherwise the position of an equal item when
// there is one, else the insertion position.
template <typename CompareAt>
bool SortedSearch(int count, TDuplicates duplicates, CompareAt&& compareAt, int& index)
{
    bool found = false;
    int low = 0;
    int high = count - 1;
    while (low <= high) {
        const int mid = low + (high - low) / 2;
        const int c = compareAt(mid);
        if (c < 0) {
            low = mid + 1;
        } else {
            high = mid - 1;
            if (c == 0) {
                found = true;
                if (duplicates != TDuplicates::Accept) low = mid;
            }
        }
    }
    index = low;
    return found;
}

// Compares two texts with ASCII letters folded to lower case; other bytes (including
// UTF-8 sequences) compare by their unsigned value. Returns <0, 0 or >0.
int CompareTextAscii(std::string_view a, std::string_view b) noexcept;

// A sorted list of texts, compared without regard to ASCII letter case, each with an
// attached object pointer that the list does not own.
class TSortedStringList {
public:
    TSortedStringList() = default;

    // Adds the text in sorted position and returns that position.
    int Add(std::string_view text) { return AddObject(text, nullptr); }
    int AddObject(std::string_view text, void* object);

    // True when an equal text exists; `index` as for SortedSearch.
    bool Find(std::string_view text, int& index) const;
    // Position of an equal text (the first one when there are several), or -1.
    int IndexOf(std::string_view text) const;

    void Delete(int index);
    void Clear() { FItems.clear(); }
    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& Strings(int index) const { return At(index).Text; }
    void* Objects(int index) const { return At(index).Object; }

protected:
    explicit TSortedStringList(TDuplicates duplicates) : FDuplicates(duplicates) {}

private:
    struct TItem {
        std::string Text;
        void* Object;
    };

    const TItem& At(int index) const;

    TDuplicates FDuplicates = TDuplicates::Accept;
    std::vector<TItem> FItems;
};

// The same, but adding a text that is already present (in any letter case) adds
// nothing and returns the position of the present one.
class TSortedUniqueStringList : public TSortedStringList {
public:
    TSortedUniqueStringList() : TSortedStringList(TDuplicates::Ignore) {}
};

} // namespace host
