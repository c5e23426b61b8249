// The VHDL reader's tokenizer: token kinds, word indexes, positions, strings,
// comments and pragma regions.
#include "bsdl/VhdlTokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace bsdl;

namespace {

struct TSeen {
    TTokenKind Kind;
    std::string Text;
    int Word;
    int32_t Line;
    int32_t Offset;
    bool operator==(const TSeen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TSeen& t)
{
    return out << "{" << int(t.Kind) << ", '" << t.Text << "', w" << t.Word << ", " << t.Line << ":" << t.Offset
               << "}";
}

// The significant tokens of a text up to the end.
std::vector<TSeen> Significant(const std::string& text)
{
    TVHDLTokenizer tokenizer(text);
    std::vector<TSeen> seen;
    for (tokenizer.NextSignificant(); tokenizer.Kind() != eToken_EndOfText; tokenizer.NextSignificant())
        seen.push_back({tokenizer.Kind(), std::string(tokenizer.TokenText()), tokenizer.Word(), tokenizer.Line(),
                        tokenizer.Offset()});
    return seen;
}

TEST(TokenizerTest, WordListHas106WordsInOrder)
{
    EXPECT_EQ(VHDLWordText(w_Apostrophe), "'");
    EXPECT_EQ(VHDLWordText(w_GreaterEqual), ">=");
    EXPECT_EQ(VHDLWordText(w_abs), "abs");
    EXPECT_EQ(VHDLWordText(w_rtl_synthesis), "rtl_synthesis");
    EXPECT_EQ(VHDLWordText(w_variable), "variable");
    EXPECT_EQ(VHDLWordText(105), "variable");
    EXPECT_EQ(VHDLWordText(106), "");
    EXPECT_EQ(FindVHDLWord("ENTITY"), w_entity);
    EXPECT_EQ(FindVHDLWord("Translate_Off"), w_translate_off);
    EXPECT_EQ(FindVHDLWord("entities"), w_None);
}

TEST(TokenizerTest, TokensOfSmallTexts)
{
    const struct {
        const char* Text;
        std::vector<TSeen> Expected;
    } cases[] = {
        {"entity E is", {{eToken_ResWord, "entity", w_entity, 0, 0}, {eToken_Symbol, "E", -1, 0, 7},
                         {eToken_ResWord, "is", w_is, 0, 9}}},
        {"a:=b<=c=>d/=e**f<>g",
         {{eToken_Symbol, "a", -1, 0, 0}, {eToken_ResWord, ":=", w_Assign, 0, 1}, {eToken_Symbol, "b", -1, 0, 3},
          {eToken_ResWord, "<=", w_LessEqual, 0, 4}, {eToken_Symbol, "c", -1, 0, 6},
          {eToken_ResWord, "=>", w_Arrow, 0, 7}, {eToken_Symbol, "d", -1, 0, 9},
          {eToken_ResWord, "/=", w_NotEqual, 0, 10}, {eToken_Symbol, "e", -1, 0, 12},
          {eToken_ResWord, "**", w_Power, 0, 13}, {eToken_Symbol, "f", -1, 0, 15},
          {eToken_ResWord, "<>", w_Box, 0, 16}, {eToken_Symbol, "g", -1, 0, 18}}},
        {"12 10.0e6 3.", {{eToken_Integer, "12", -1, 0, 0}, {eToken_Float, "10.0", -1, 0, 3},
                          {eToken_Symbol, "e6", -1, 0, 7}, {eToken_Integer, "3", -1, 0, 10},
                          {eToken_ResWord, ".", w_Dot, 0, 11}}},
        // A doubled quote continues a string; the token keeps its quotes.
        {"\"a\"\"b\" & \"c\"", {{eToken_String, "\"a\"\"b\"", -1, 0, 0}, {eToken_ResWord, "&", w_Ampersand, 0, 7},
                                {eToken_String, "\"c\"", -1, 0, 9}}},
        // A lone "-" and the apostrophe are white space; "--" starts a comment.
        {"a - b'c -- d\ne", {{eToken_Symbol, "a", -1, 0, 0}, {eToken_Symbol, "b", -1, 0, 4},
                             {eToken_Symbol, "c", -1, 0, 6}, {eToken_Symbol, "e", -1, 1, 0}}},
        // CR LF counts once, a lone CR too; characters of no class are white space.
        {"a\r\nb\rc\n\n#$@[]\x01\xff d", {{eToken_Symbol, "a", -1, 0, 0}, {eToken_Symbol, "b", -1, 1, 0},
                                          {eToken_Symbol, "c", -1, 2, 0}, {eToken_Symbol, "d", -1, 4, 8}}},
        {"x_1_ _y", {{eToken_Symbol, "x_1_", -1, 0, 0}, {eToken_Symbol, "_y", -1, 0, 5}}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(Significant(c.Text), c.Expected) << c.Text;
}

TEST(TokenizerTest, UnclosedStringEndsAtItsLine)
{
    TVHDLTokenizer tokenizer("\"open\nnext");
    tokenizer.NextSignificant();
    EXPECT_EQ(tokenizer.Kind(), eToken_String);
    EXPECT_TRUE(tokenizer.Token().Unterminated);
    EXPECT_EQ(tokenizer.TokenText(), "\"open");
    tokenizer.NextSignificant();
    EXPECT_EQ(tokenizer.TokenText(), "next");
    EXPECT_EQ(tokenizer.Line(), 1);
}

TEST(TokenizerTest, PragmaRegionsAreOneComment)
{
    const std::string text = "a\n-- synopsys translate_off\nentity x is\n--SYNOPSYS translate_on rest\nb\n"
                             "-- rtl_synthesis off\nc -- rtl_synthesis on\nd";
    const std::vector<TSeen> expected = {
        {eToken_Symbol, "a", -1, 0, 0}, {eToken_Symbol, "b", -1, 4, 0}, {eToken_Symbol, "d", -1, 7, 0}};
    EXPECT_EQ(Significant(text), expected);
}

TEST(TokenizerTest, BrokenPragmasRaiseWithTheirPosition)
{
    const struct {
        const char* Text;
        const char* Word;
        int32_t Line, Offset;
    } cases[] = {
        {"-- rtl_synthesis maybe", "off", 0, 17},
        {"x\n  -- synopsys translate_on", "translate_off", 1, 14},
        {"-- synopsys translate_off\nentity", "translate_on", 1, 6},
        {"-- rtl_synthesis off\n-- rtl_synthesis stop", "on", 1, 17},
    };
    for (const auto& c : cases) {
        try {
            Significant(c.Text);
            ADD_FAILURE() << c.Text;
        } catch (const TPragmaError& e) {
            EXPECT_EQ(e.Word, c.Word) << c.Text;
            EXPECT_EQ(e.Line, c.Line) << c.Text;
            EXPECT_EQ(e.Offset, c.Offset) << c.Text;
        }
    }
}

TEST(TokenizerTest, SaveAndRestoreComeBackToAToken)
{
    TVHDLTokenizer tokenizer("port (a : in bit);\nend");
    tokenizer.NextSignificant();
    const TVHDLTokenizer::TState state = tokenizer.Save();
    for (int i = 0; i < 4; ++i) tokenizer.NextSignificant();
    EXPECT_EQ(tokenizer.TokenText(), "in");
    tokenizer.Restore(state);
    EXPECT_EQ(tokenizer.TokenText(), "port");
    for (int i = 0; i < 8; ++i) tokenizer.NextSignificant();
    EXPECT_EQ(tokenizer.TokenText(), "end");
    EXPECT_EQ(tokenizer.Line(), 1);
}

TEST(TokenizerTest, AnyBytesEndInEndOfText)
{
    std::string bytes;
    for (int i = 0; i < 4096; ++i) bytes += static_cast<char>((i * 7919) & 0xFF);
    TVHDLTokenizer tokenizer(bytes);
    size_t steps = 0;
    try {
        for (tokenizer.Next(); tokenizer.Kind() != eToken_EndOfText && steps < bytes.size() + 1; tokenizer.Next())
            ++steps;
    } catch (const TPragmaError&) {
        return; // a pragma-looking comment may be reported; it must not loop
    }
    EXPECT_EQ(tokenizer.Kind(), eToken_EndOfText);
    EXPECT_LE(steps, bytes.size());
}

} // namespace
