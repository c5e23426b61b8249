#include "host/AdvancedInterfaceList.h"
#include "host/SortedStringList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using host::EListError;
using host::TAdvancedInterfaceList;
using host::TDuplicates;

std::vector<std::string> Texts(const host::TSortedStringList& list)
{
    std::vector<std::string> texts;
    for (int i = 0; i < list.Count(); ++i) texts.push_back(list.Strings(i));
    return texts;
}

TEST(CompareTextAscii, FoldsAsciiLettersOnly)
{
    EXPECT_EQ(host::CompareTextAscii("Pin_A", "PIN_a"), 0);
    EXPECT_LT(host::CompareTextAscii("abc", "ABD"), 0);
    EXPECT_GT(host::CompareTextAscii("ab", "A"), 0);
    EXPECT_LT(host::CompareTextAscii("", "a"), 0);
    // Letters fold to lower case, so "_" sorts before every letter.
    EXPECT_LT(host::CompareTextAscii("_", "A"), 0);
    // Non-ASCII bytes keep their case and sort after ASCII.
    EXPECT_NE(host::CompareTextAscii("\xC3\xA4", "\xC3\x84"), 0);
    EXPECT_GT(host::CompareTextAscii("\xC3\xA4", "z"), 0);
}

TEST(SortedStringList, KeepsOrderAndPutsDuplicatesFirst)
{
    int b = 2, a1 = 1, a2 = 11, c = 3;
    host::TSortedStringList list;
    EXPECT_EQ(list.AddObject("b", &b), 0);
    EXPECT_EQ(list.AddObject("A", &a1), 0);
    EXPECT_EQ(list.AddObject("c", &c), 2);
    EXPECT_EQ(list.AddObject("a", &a2), 0);
    EXPECT_EQ(list.Add("B"), 2);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"a", "A", "B", "b", "c"}));
    EXPECT_EQ(list.Objects(0), &a2);
    EXPECT_EQ(list.Objects(1), &a1);
    EXPECT_EQ(list.Objects(2), nullptr);

    int index = -1;
    EXPECT_TRUE(list.Find("b", index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(list.Find("bb", index));
    EXPECT_EQ(index, 4);
    EXPECT_EQ(list.IndexOf("C"), 4);
    EXPECT_EQ(list.IndexOf("d"), -1);

    list.Delete(0);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"A", "B", "b", "c"}));
    EXPECT_THROW(list.Delete(4), EListError);
    EXPECT_THROW(list.Strings(-1), EListError);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(SortedUniqueStringList, IgnoresTextsDifferingOnlyInCase)
{
    int first = 1, second = 2;
    host::TSortedUniqueStringList list;
    EXPECT_EQ(list.AddObject("Beta", &first), 0);
    EXPECT_EQ(list.Add("alpha"), 0);
    EXPECT_EQ(list.AddObject("BETA", &second), 1);
    EXPECT_EQ(list.Add("ALPHA"), 0);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"alpha", "Beta"}));
    EXPECT_EQ(list.Objects(1), &first);
    EXPECT_EQ(list.IndexOf("beta"), 1);
}

// A counted object with a sort key; the test checks its count after each step.
struct FakeUnknown final : com::IUnknown {
    explicit FakeUnknown(int key = 0) : Key(key) {}
    com::HRESULT QueryInterface(const com::GUID&, void**) override { return com::E_NOINTERFACE; }
    uint32_t AddRef() override { return static_cast<uint32_t>(++Refs); }
    uint32_t Release() override { return static_cast<uint32_t>(--Refs); }
    int Key;
    int Refs = 0;
};

int CompareKeys(com::IUnknown* a, com::IUnknown* b)
{
    const int ka = static_cast<FakeUnknown*>(a)->Key;
    const int kb = static_cast<FakeUnknown*>(b)->Key;
    return ka < kb ? -1 : (ka > kb ? 1 : 0);
}

std::vector<com::IUnknown*> ItemsOf(const TAdvancedInterfaceList& list)
{
    std::vector<com::IUnknown*> items;
    for (int i = 0; i < list.Count(); ++i) items.push_back(list.Items(i));
    return items;
}

TEST(AdvancedInterfaceList, HoldsOneReferencePerStoredItem)
{
    FakeUnknown x, y, z;
    {
        auto list = TAdvancedInterfaceList::Create();
        EXPECT_EQ(list->Add(nullptr), -1);
        EXPECT_EQ(list->Count(), 0);
        EXPECT_EQ(list->Add(&x), 0);
        EXPECT_EQ(list->Add(&y), 1);
        EXPECT_EQ(list->Add(&x), 2);
        EXPECT_EQ(x.Refs, 2);
        list->Insert(1, &z);
        EXPECT_EQ(ItemsOf(*list), (std::vector<com::IUnknown*>{&x, &z, &y, &x}));
        EXPECT_EQ(z.Refs, 1);
        EXPECT_THROW(list->Insert(5, &z), EListError);
        EXPECT_EQ(z.Refs, 1);

        list->Lock();
        list->Exchange(0, 2);
        EXPECT_EQ(list->First(), &y);
        EXPECT_EQ(list->Last(), &x);
        list->Unlock();

        EXPECT_EQ(list->IndexOf(&x), 2);
        EXPECT_EQ(list->Remove(&x), 2);
        EXPECT_EQ(x.Refs, 1);
        EXPECT_EQ(list->Remove(&x), 2);
        EXPECT_EQ(list->Remove(&x), -1);
        EXPECT_EQ(x.Refs, 0);
        list->Delete(0);
        EXPECT_EQ(y.Refs, 0);
        EXPECT_THROW(list->Delete(1), EListError);

        int index = 42;
        EXPECT_FALSE(list->Find(&z, index));
        EXPECT_EQ(index, 42);

        list->Add(&y);
        list->Clear();
        EXPECT_EQ(list->Count(), 0);
        EXPECT_EQ(y.Refs, 0);
        EXPECT_THROW(list->First(), EListError);
        EXPECT_THROW(list->Last(), EListError);
        list->Add(&x);
        list->Add(&y);
        list->Add(&z);
    }
    EXPECT_EQ(x.Refs, 0);
    EXPECT_EQ(y.Refs, 0);
    EXPECT_EQ(z.Refs, 0);
}

TEST(AdvancedInterfaceList, SortedInsertionKeepsOrder)
{
    std::vector<FakeUnknown> items;
    for (int key : {5, 1, 4, 1, 3, 9, 2, 6, 5, 3}) items.emplace_back(key);
    auto list = TAdvancedInterfaceList::CreateSorted(CompareKeys, 4, 16, TDuplicates::Accept);
    for (FakeUnknown& item : items) list->Add(&item);
    ASSERT_EQ(list->Count(), 10);
    for (int i = 1; i < list->Count(); ++i) EXPECT_LE(CompareKeys(list->Items(i - 1), list->Items(i)), 0);
    // Equal keys: the later addition sits before the earlier one.
    EXPECT_EQ(list->Items(0), &items[3]);
    EXPECT_EQ(list->Items(1), &items[1]);

    FakeUnknown probe(5);
    int index = -1;
    EXPECT_TRUE(list->Find(&probe, index));
    EXPECT_EQ(index, 6);
    probe.Key = 7;
    EXPECT_FALSE(list->Find(&probe, index));
    EXPECT_EQ(index, 9);
    EXPECT_EQ(probe.Refs, 0);
}

TEST(AdvancedInterfaceList, DuplicateRules)
{
    struct Case {
        TDuplicates rule;
        int expectedIndex;
        int expectedCount;
    };
    const Case cases[] = {
        {TDuplicates::Accept, 1, 3},
        {TDuplicates::Ignore, 1, 2},
        {TDuplicates::Error, -1, 2},
    };
    for (const Case& c : cases) {
        FakeUnknown a(1), b(2), b2(2);
        auto list = TAdvancedInterfaceList::CreateSorted(CompareKeys, 0, 0, c.rule);
        EXPECT_EQ(list->Add(&b), 0);
        EXPECT_EQ(list->Add(&a), 0);
        EXPECT_EQ(list->Add(nullptr), -1);
        if (c.rule == TDuplicates::Error) {
            try {
                list->Add(&b2);
                ADD_FAILURE() << "duplicate accepted";
            } catch (const EListError& e) {
                EXPECT_STREQ(e.what(), "Attempt to add duplicate value");
            }
        } else {
            EXPECT_EQ(list->Add(&b2), c.expectedIndex);
        }
        EXPECT_EQ(list->Count(), c.expectedCount);
        EXPECT_EQ(b2.Refs, c.expectedCount == 3 ? 1 : 0);
        EXPECT_EQ(list->Items(0), &a);
        if (c.rule == TDuplicates::Accept) {
            EXPECT_EQ(list->Items(1), &b2);
            EXPECT_EQ(list->Items(2), &b);
        }
        list.reset();
        EXPECT_EQ(a.Refs + b.Refs + b2.Refs, 0);
    }
}

} // namespace
