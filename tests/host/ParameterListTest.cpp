#include "host/ParameterList.h"

#include "plugin/com/Bstr.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

using host::TParameterList;
using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Contents(const TParameterList& list)
{
    Pairs pairs;
    for (int i = 0; i < list.Count(); ++i) pairs.emplace_back(list.Items(i).Name(), list.Items(i).Value());
    return pairs;
}

TParameterList Parse(std::string_view text)
{
    TParameterList list;
    list.SetState(text);
    return list;
}

TEST(ParameterList, ReadsSegments)
{
    struct Case {
        const char* text;
        Pairs expected;
    };
    const Case cases[] = {
        {"B=2=3", {{"B", "2=3"}}},
        {"A=1|junk|C=3", {{"A", "1"}, {"C", "3"}}},
        {"=5|A=1", {{"A", "1"}}},
        {" \t=5", {}},
        {"", {}},
        {" A = 1 |\tB =\r\n2 ", {{"A", "1"}, {"B", "2"}}},
        {"A=|B= ", {{"A", ""}, {"B", ""}}},
        {"A=1||B=2|", {{"A", "1"}, {"B", "2"}}},
        {"A=1|a=2", {{"A", "1"}, {"a", "2"}}},
        // Bytes of multi-byte UTF-8 characters are not white space.
        {"N\xC3\xA4me=\xC3\xA9\xC2\xA0", {{"N\xC3\xA4me", "\xC3\xA9\xC2\xA0"}}},
    };
    for (const Case& c : cases) EXPECT_EQ(Contents(Parse(c.text)), c.expected) << c.text;
}

TEST(ParameterList, SetStateReplacesContents)
{
    TParameterList list = Parse("A=1|B=2");
    list.SetState_FromString("C=3");
    EXPECT_EQ(Contents(list), (Pairs{{"C", "3"}}));
}

TEST(ParameterList, WritesInOrderWithBlankForEmptyValue)
{
    TParameterList list;
    EXPECT_EQ(list.GetState(), "");
    list.SetState_AddParameter("A", "");
    list.SetState_AddParameter("B", "2");
    EXPECT_EQ(list.GetState(), "A= |B=2");
    EXPECT_EQ(list.GetState_ToString(), "A= |B=2");
    EXPECT_EQ(Contents(Parse(list.GetState())), Contents(list));
}

TEST(ParameterList, LookupIgnoresCaseAndSurroundingBlanks)
{
    TParameterList list = Parse("Action=Run|Other=x");
    for (const char* name : {"Action", "action", "ACTION", "  action\t"}) {
        const host::TParameter* item = list.GetState_ParameterByName(name);
        ASSERT_NE(item, nullptr) << name;
        EXPECT_EQ(item->Value(), "Run");
    }
    EXPECT_EQ(list.GetState_ParameterByName("Act"), nullptr);
    EXPECT_EQ(list.GetState_ParameterByName(""), nullptr);
}

TEST(ParameterList, DuplicateNamesFirstWins)
{
    TParameterList list = Parse("A=1|B=x|a=2");
    std::string value;
    EXPECT_TRUE(list.GetState_ParameterAsString("A", value));
    EXPECT_EQ(value, "1");

    EXPECT_TRUE(list.SetState_RemoveByName(" a "));
    EXPECT_EQ(list.GetState(), "B=x|a=2");
    EXPECT_TRUE(list.SetState_RemoveByName("A"));
    EXPECT_FALSE(list.SetState_RemoveByName("A"));
    EXPECT_EQ(list.GetState(), "B=x");

    std::string text = "A=1|B=x|A=2";
    host::SetParameterValue(text, "a", "9");
    EXPECT_EQ(text, "A=9|B=x|A=2");
}

TEST(ParameterList, AddParameterTrimsSkipsEmptyNamesAndKeepsExisting)
{
    TParameterList list;
    list.SetState_AddParameter("", "1");
    list.SetState_AddParameter(" \t", "1");
    list.SetState_AddParameterAsString(" A ", " first ");
    list.SetState_AddParameter("a", "second");
    EXPECT_EQ(list.GetState(), "A=first|a=second");
    std::string value;
    list.GetState_ParameterAsString("A", value);
    EXPECT_EQ(value, "first");

    host::TParameter& item = list.Items(0);
    item.SetName("  Renamed ");
    item.SetValue("\tv ");
    EXPECT_EQ(item.Name(), "Renamed");
    EXPECT_EQ(item.Value(), "v");
}

TEST(ParameterList, AddsTypedValues)
{
    TParameterList list;
    list.SetState_AddParameterAsBoolean("T", true);
    list.SetState_AddParameterAsBoolean("F", false);
    list.SetState_AddParameterAsInteger("I", -5);
    list.SetState_AddParameterAsInt64("L", std::numeric_limits<int64_t>::min());
    list.SetState_AddParameterAsDouble("D", 0.1);
    EXPECT_EQ(list.GetState(), "T=True|F=False|I=-5|L=-9223372036854775808|D=0.1");
}

TEST(ParameterList, FormatsDoublesWithFifteenSignificantDigits)
{
    const std::pair<double, const char*> cases[] = {
        {0.0, "0"},
        {100.0, "100"},
        {-2.5, "-2.5"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3.0, "0.333333333333333"},
        {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1.23456789012346e+15"},
        {1e-7, "1e-07"},
    };
    for (const auto& [value, expected] : cases) EXPECT_EQ(host::FormatDouble(value), expected) << expected;
}

TEST(ParameterList, ReadsWholeNumbers)
{
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    };
    const Case cases[] = {
        {"12abc", false, 0},        {"$1F", true, 31},        {"0x1f", true, 31},
        {"$1f", true, 31},          {"-5", true, -5},         {"+7", true, 7},
        {"-$10", true, -16},        {"", false, 0},           {"-", false, 0},
        {"$", false, 0},            {"0x", false, 0},         {"0X1F", false, 0},
        {"$-1", false, 0},          {"+-1", false, 0},        {"1.5", false, 0},
        {"1 2", false, 0},          {"2147483647", true, 2147483647},
        {"2147483648", false, 0},   {"-2147483648", true, std::numeric_limits<int32_t>::min()},
        {"-2147483649", false, 0},  {"$FFFFFFFF", true, -1},  {"$100000000", false, 0},
    };
    constexpr int32_t untouched = 77;
    for (const Case& c : cases) {
        TParameterList list;
        list.SetState_AddParameter("N", c.text);
        int32_t value = untouched;
        EXPECT_EQ(list.GetState_ParameterAsLongInt("N", value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : untouched) << c.text;
        value = untouched;
        EXPECT_EQ(list.GetState_ParameterAsInteger("N", value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : untouched) << c.text;
    }
}

TEST(ParameterList, NarrowAndWideIntegerReaders)
{
    const TParameterList list =
        Parse("S=70000|W=$1FFFF|B=257|Neg=-1|Big=9223372036854775807|Min=-9223372036854775808|"
              "Over=9223372036854775808|Hex=$FFFFFFFFFFFFFFFF|Bad=x");
    int16_t small = 0;
    EXPECT_TRUE(list.GetState_ParameterAsSmallInt("S", small));
    EXPECT_EQ(small, static_cast<int16_t>(70000 & 0xFFFF));
    uint16_t word = 0;
    EXPECT_TRUE(list.GetState_ParameterAsWord("W", word));
    EXPECT_EQ(word, 0xFFFF);
    EXPECT_TRUE(list.GetState_ParameterAsWord("Neg", word));
    EXPECT_EQ(word, 0xFFFF);
    uint8_t byte = 0;
    EXPECT_TRUE(list.GetState_ParameterAsByte("B", byte));
    EXPECT_EQ(byte, 1);
    byte = 9;
    EXPECT_FALSE(list.GetState_ParameterAsByte("Bad", byte));
    EXPECT_FALSE(list.GetState_ParameterAsByte("Missing", byte));
    EXPECT_EQ(byte, 9);

    int64_t wide = 0;
    EXPECT_TRUE(list.GetState_ParameterAsInt64("Big", wide));
    EXPECT_EQ(wide, std::numeric_limits<int64_t>::max());
    EXPECT_TRUE(list.GetState_ParameterAsInt64("Min", wide));
    EXPECT_EQ(wide, std::numeric_limits<int64_t>::min());
    EXPECT_TRUE(list.GetState_ParameterAsInt64("Hex", wide));
    EXPECT_EQ(wide, -1);
    wide = 5;
    EXPECT_FALSE(list.GetState_ParameterAsInt64("Over", wide));
    EXPECT_EQ(wide, 5);
    int32_t narrow = 5;
    EXPECT_FALSE(list.GetState_ParameterAsLongInt("Big", narrow));
    EXPECT_EQ(narrow, 5);
}

TEST(ParameterList, ReadsBooleans)
{
    const TParameterList list = Parse("A=TRUE|B=yes|C= true |D=False|E=");
    const std::pair<const char*, bool> cases[] = {{"A", true}, {"B", false}, {"C", true}, {"D", false}, {"E", false}};
    for (const auto& [name, expected] : cases) {
        bool value = !expected;
        EXPECT_TRUE(list.GetState_ParameterAsBoolean(name, value)) << name;
        EXPECT_EQ(value, expected) << name;
        int16_t wordBool = 7;
        EXPECT_TRUE(list.GetState_ParameterAsWordBool(name, wordBool)) << name;
        EXPECT_EQ(wordBool, expected ? -1 : 0) << name;
    }
    bool value = true;
    int16_t wordBool = 7;
    EXPECT_FALSE(list.GetState_ParameterAsBoolean("Missing", value));
    EXPECT_FALSE(list.GetState_ParameterAsWordBool("Missing", wordBool));
    EXPECT_TRUE(value);
    EXPECT_EQ(wordBool, 7);
}

TEST(ParameterList, ReadsFloatingPoint)
{
    const TParameterList list = Parse("A=1.5|B=-2.5e3|C=+.25|Comma=1,5|Word=abc|Huge=1e39|Empty=");
    const std::pair<const char*, double> good[] = {{"A", 1.5}, {"B", -2500.0}, {"C", 0.25}};
    for (const auto& [name, expected] : good) {
        double d = 0;
        EXPECT_TRUE(list.GetState_ParameterAsDouble(name, d)) << name;
        EXPECT_EQ(d, expected) << name;
        float f = 0;
        EXPECT_TRUE(list.GetState_ParameterAsReal(name, f)) << name;
        EXPECT_EQ(f, static_cast<float>(expected)) << name;
    }
    for (const char* name : {"Comma", "Word", "Huge", "Empty", "Missing"}) {
        float f = 3;
        EXPECT_FALSE(list.GetState_ParameterAsReal(name, f)) << name;
        EXPECT_EQ(f, 3) << name;
    }
    double d = 3;
    EXPECT_FALSE(list.GetState_ParameterAsDouble("Missing", d));
    EXPECT_EQ(d, 3);
    for (const char* name : {"Comma", "Word", "Empty"}) {
        try {
            list.GetState_ParameterAsDouble(name, d);
            ADD_FAILURE() << name << " did not raise";
        } catch (const host::EConvertError& e) {
            EXPECT_NE(std::string(e.what()).find("is not a valid floating point value"), std::string::npos);
        }
    }
}

TEST(ParameterList, StringReadersAndPChar)
{
    const TParameterList list = Parse("Path=C:\\d\xC3\xA9j\xC3\xA0|Empty=");
    std::string value = "old";
    EXPECT_FALSE(list.GetState_ParameterAsString("Missing", value));
    EXPECT_EQ(value, "");
    std::u16string wide;
    EXPECT_TRUE(list.GetState_ParameterAsString("path", wide));
    EXPECT_EQ(wide, u"C:\\d\u00E9j\u00E0");

    com::BSTR text = nullptr;
    EXPECT_TRUE(list.GetState_ParameterAsPChar("Path", text));
    EXPECT_EQ(com::BstrToUtf8(text), "C:\\d\xC3\xA9j\xC3\xA0");
    com::BstrFree(text);
    EXPECT_TRUE(list.GetState_ParameterAsPChar("Empty", text));
    EXPECT_EQ(com::BstrLength(text), 0u);
    com::BstrFree(text);

    com::BSTR shared1 = nullptr;
    com::BSTR shared2 = nullptr;
    EXPECT_FALSE(list.GetState_ParameterAsPChar("Missing", shared1));
    EXPECT_FALSE(list.GetState_ParameterAsPChar("Other", shared2));
    ASSERT_NE(shared1, nullptr);
    EXPECT_EQ(shared1, shared2);
    EXPECT_EQ(shared1[0], u'\0');
    EXPECT_EQ(com::BstrLength(shared1), 0u);
}

TEST(ParameterList, Utf16Overloads)
{
    TParameterList list;
    list.SetState(std::u16string_view(u" N\u00E4me = \u20AC |X=1"));
    EXPECT_EQ(list.GetState(), "N\xC3\xA4me=\xE2\x82\xAC|X=1");
    EXPECT_EQ(list.GetStateUtf16(), u"N\u00E4me=\u20AC|X=1");
}

TEST(ParameterList, DoublesIgnoreTheNumericLocale)
{
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    bool commaLocale = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE", "fr_FR"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            char probe[16];
            std::snprintf(probe, sizeof probe, "%.1f", 1.5);
            if (std::string(probe) == "1,5") {
                commaLocale = true;
                break;
            }
        }
    }
    if (!commaLocale) {
        std::setlocale(LC_NUMERIC, saved.c_str());
        GTEST_SKIP() << "no installed locale with a decimal comma";
    }
    TParameterList list;
    list.SetState_AddParameterAsDouble("D", 1.5);
    const std::string written = list.GetState();
    double d = 0;
    float f = 0;
    const bool readDouble = list.GetState_ParameterAsDouble("D", d);
    const bool readReal = list.GetState_ParameterAsReal("D", f);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(written, "D=1.5");
    EXPECT_TRUE(readDouble);
    EXPECT_EQ(d, 1.5);
    EXPECT_TRUE(readReal);
    EXPECT_EQ(f, 1.5f);
}

TEST(GetParameterValue, LooksUpAndCachesTheLastString)
{
    const std::string first = "Action=Build|Target= out.rbf |Action=Other";
    std::string value = "stale";
    EXPECT_TRUE(host::GetParameterValue(first, " action", value));
    EXPECT_EQ(value, "Build");
    EXPECT_EQ(host::GetParameterValueCacheText(), first);
    EXPECT_TRUE(host::GetParameterValue(first, "TARGET", value));
    EXPECT_EQ(value, "out.rbf");
    EXPECT_FALSE(host::GetParameterValue(first, "Missing", value));
    EXPECT_EQ(value, "");

    value = "stale";
    EXPECT_FALSE(host::GetParameterValue("", "Action", value));
    EXPECT_EQ(value, "");
    EXPECT_EQ(host::GetParameterValueCacheText(), first);

    const std::string second = "Target=b.sof";
    EXPECT_FALSE(host::GetParameterValue(second, "Action", value));
    EXPECT_EQ(host::GetParameterValueCacheText(), second);
    EXPECT_TRUE(host::GetParameterValue(second, "Target", value));
    EXPECT_EQ(value, "b.sof");
}

TEST(SetParameterValue, RewritesTheStringInNormalForm)
{
    struct Case {
        const char* text;
        const char* name;
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {"", "TargetFilename", "C:\\out\\top.sof", "TargetFilename=C:\\out\\top.sof"},
        {" A = 1 |junk|=0|B=", "C", " 3 ", "A=1|B= |C=3"},
        {"A=1|b=2", " B ", "", "A=1|b= "},
        {"A=1", "", "x", "A=1"},
        {"A=1", "K", "x=y", "A=1|K=x=y"},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        host::SetParameterValue(text, c.name, c.value);
        EXPECT_EQ(text, c.expected) << c.text;
    }
}

} // namespace
