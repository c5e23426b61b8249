#include "host/SortedStringList.h"

#include <algorithm>
#include <string>

namespace host {

namespace {

unsigned char FoldAscii(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

} // namespace

void ThrowListIndexError(int index)
{
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

int CompareTextAscii(std::string_view a, std::string_view b) noexcept
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char ca = FoldAscii(a[i]);
        const unsigned char cb = FoldAscii(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int TSortedStringList::AddObject(std::string_view text, void* object)
{
    int index;
    if (Find(text, index) && FDuplicates != TDuplicates::Accept) {
        if (FDuplicates == TDuplicates::Error) throw EListError("Attempt to add duplicate value");
        return index;
    }
    FItems.insert(FItems.begin() + index, TItem{std::string(text), object});
    return index;
}

bool TSortedStringList::Find(std::string_view text, int& index) const
{
    return SortedSearch(Count(), FDuplicates,
                        [&](int i) { return CompareTextAscii(FItems[static_cast<size_t>(i)].Text, text); }, index);
}

int TSortedStringList::IndexOf(std::string_view text) const
{
    int index;
    return Find(text, index) ? index : -1;
}

void TSortedStringList::Delete(int index)
{
    At(index);
    FItems.erase(FItems.begin() + index);
}

const TSortedStringList::TItem& TSortedStringList::At(int index) const
{
    if (index < 0 || index >= Count()) ThrowListIndexError(index);
    return FItems[static_cast<size_t>(index)];
}

} // namespace host
