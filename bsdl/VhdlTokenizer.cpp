#include "bsdl/VhdlTokenizer.h"

#include <array>

namespace bsdl {

namespace {

constexpr std::array<std::string_view, kVHDLWordCount> kWords = {
    "'",         "-",            "\"",           "&",        "(",         ")",          "*",
    "**",        ",",            ".",            "/",        "/=",        ":",          ":=",
    ";",         "|",            "+",            "<",        "<=",        "<>",         "=",
    "=>",        ">",            ">=",           "abs",      "access",    "after",      "alias",
    "all",       "and",          "architecture", "array",    "assert",    "attribute",  "begin",
    "block",     "body",         "buffer",       "bus",      "case",      "component",  "configuration",
    "constant",  "disconnect",   "downto",       "else",     "elsif",     "end",        "entity",
    "exit",      "file",         "for",          "function", "generate",  "generic",    "guarded",
    "if",        "in",           "inout",        "is",       "label",     "library",    "linkage",
    "literal",   "loop",         "map",          "mod",      "nand",      "new",        "next",
    "nor",       "not",          "null",         "of",       "off",       "on",         "open",
    "or",        "others",       "out",          "package",  "port",      "procedure",  "process",
    "range",     "record",       "register",     "rem",      "report",    "return",     "rtl_synthesis",
    "select",    "severity",     "signal",       "subtype",  "synopsys",  "then",       "to",
    "transport", "translate_on", "translate_off", "type",    "units",     "until",      "use",
    "variable"};

constexpr size_t kLongestWord = 13; // "translate_off"

bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsIdentifierChar(unsigned char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }
bool IsLineBreak(unsigned char c) { return c == '\r' || c == '\n'; }
bool IsSymbolChar(unsigned char c)
{
    if (c == '\'' || c == '-') return false; // skipped as white space / comment start
    return (c >= '&' && c <= '/') || (c >= ':' && c <= '>') || c == '|';
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool SameWord(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

} // namespace

std::string_view VHDLWordText(int index)
{
    if (index < 0 || index >= kVHDLWordCount) return {};
    return kWords[static_cast<size_t>(index)];
}

int FindVHDLWord(std::string_view text)
{
    if (text.empty() || text.size() > kLongestWord) return w_None;
    char folded[kLongestWord];
    for (size_t i = 0; i < text.size(); ++i) folded[i] = Lower(text[i]);
    const std::string_view key(folded, text.size());
    // The list is short and most texts differ in the first letter: a scan is fine.
    for (size_t i = 0; i < kWords.size(); ++i)
        if (kWords[i] == key) return static_cast<int>(i);
    return w_None;
}

void TVHDLTokenizer::SetText(std::string text)
{
    FText = std::move(text);
    FState = TState{};
    FProcessingPragma = -1;
}

void TVHDLTokenizer::NewLine(size_t afterBreak)
{
    ++FState.Line;
    FState.LineStart = afterBreak;
}

void TVHDLTokenizer::Next()
{
    const size_t size = FText.size();
    size_t pos = FState.Pos;
    TToken& token = FState.Token;
    token = TToken{};
    token.Start = pos;
    token.Line = FState.Line;
    token.Offset = static_cast<int32_t>(pos - FState.LineStart);
    if (pos >= size) {
        token.Kind = eToken_EndOfText;
        token.Start = size;
        return;
    }
    const auto c = static_cast<unsigned char>(FText[pos]);

    if (IsLetter(c) || c == '_') {
        size_t end = pos + 1;
        while (end < size && IsIdentifierChar(static_cast<unsigned char>(FText[end]))) ++end;
        token.Length = end - pos;
        const int word = FindVHDLWord(std::string_view(FText).substr(pos, token.Length));
        token.Kind = word == w_None ? eToken_Symbol : eToken_ResWord;
        token.Word = static_cast<int16_t>(word);
        FState.Pos = end;
        return;
    }
    if (IsDigit(c)) {
        size_t end = pos + 1;
        while (end < size && IsDigit(static_cast<unsigned char>(FText[end]))) ++end;
        token.Kind = eToken_Integer;
        if (end + 1 < size && FText[end] == '.' && IsDigit(static_cast<unsigned char>(FText[end + 1]))) {
            end += 2;
            while (end < size && IsDigit(static_cast<unsigned char>(FText[end]))) ++end;
            token.Kind = eToken_Float;
        }
        token.Length = end - pos;
        FState.Pos = end;
        return;
    }
    if (c == '"') {
        size_t end = pos + 1;
        token.Kind = eToken_String;
        token.Unterminated = true;
        while (end < size && !IsLineBreak(static_cast<unsigned char>(FText[end]))) {
            if (FText[end] == '"') {
                if (end + 1 < size && FText[end + 1] == '"') {
                    end += 2;
                    continue;
                }
                ++end;
                token.Unterminated = false;
                break;
            }
            ++end;
        }
        token.Length = end - pos;
        FState.Pos = end;
        return;
    }
    if (c == '-' && pos + 1 < size && FText[pos + 1] == '-') {
        ReadComment(pos);
        return;
    }
    if (IsSymbolChar(c)) {
        token.Kind = eToken_ResWord;
        token.Length = 1;
        if (pos + 1 < size) {
            const char pair[2] = {FText[pos], FText[pos + 1]};
            const int word = FindVHDLWord(std::string_view(pair, 2));
            if (word != w_None) token.Length = 2;
        }
        token.Word = static_cast<int16_t>(FindVHDLWord(std::string_view(FText).substr(pos, token.Length)));
        FState.Pos = pos + token.Length;
        return;
    }
    // White space: a run of characters of no other class, line ends counted.
    size_t end = pos;
    while (end < size) {
        const auto w = static_cast<unsigned char>(FText[end]);
        if (IsLetter(w) || w == '_' || IsDigit(w) || w == '"' || IsSymbolChar(w)) break;
        if (w == '-' && end + 1 < size && FText[end + 1] == '-') break;
        if (w == '\r') {
            ++end;
            if (end < size && FText[end] == '\n') ++end;
            NewLine(end);
            continue;
        }
        if (w == '\n') {
            ++end;
            NewLine(end);
            continue;
        }
        ++end;
    }
    token.Kind = eToken_WhiteChar;
    token.Length = end - pos;
    FState.Pos = end;
}

void TVHDLTokenizer::NextSignificant()
{
    do {
        Next();
    } while (Token().Kind == eToken_WhiteChar || Token().Kind == eToken_Comment);
}

std::string_view TVHDLTokenizer::ReadWordOnLine(int32_t& line, int32_t& offset)
{
    const size_t size = FText.size();
    size_t pos = FState.Pos;
    while (pos < size && (FText[pos] == ' ' || FText[pos] == '\t')) ++pos;
    line = FState.Line;
    offset = static_cast<int32_t>(pos - FState.LineStart);
    size_t end = pos;
    while (end < size && IsIdentifierChar(static_cast<unsigned char>(FText[end]))) ++end;
    FState.Pos = end;
    return std::string_view(FText).substr(pos, end - pos);
}

void TVHDLTokenizer::ReadComment(size_t start)
{
    TToken& token = FState.Token;
    token.Kind = eToken_Comment;
    FState.Pos = start + 2;
    int32_t line = 0, offset = 0;
    const std::string_view first = ReadWordOnLine(line, offset);
    if (SameWord(first, "rtl_synthesis")) {
        const std::string_view second = ReadWordOnLine(line, offset);
        if (!SameWord(second, "off")) throw TPragmaError{"off", line, offset};
        SkipPragmaRegion("rtl_synthesis", "on");
    } else if (SameWord(first, "synopsys")) {
        const std::string_view second = ReadWordOnLine(line, offset);
        if (!SameWord(second, "translate_off")) throw TPragmaError{"translate_off", line, offset};
        SkipPragmaRegion("synopsys", "translate_on");
    }
    // The comment (or the rest of the pragma's closing line) runs to the line end.
    const size_t size = FText.size();
    size_t end = FState.Pos;
    while (end < size && !IsLineBreak(static_cast<unsigned char>(FText[end]))) ++end;
    FState.Pos = end;
    token.Length = end - start;
}

void TVHDLTokenizer::SkipPragmaRegion(std::string_view marker, std::string_view onWord)
{
    FProcessingPragma = FState.Line;
    const size_t size = FText.size();
    size_t pos = FState.Pos;
    while (pos < size) {
        const auto c = static_cast<unsigned char>(FText[pos]);
        if (c == '\r') {
            ++pos;
            if (pos < size && FText[pos] == '\n') ++pos;
            NewLine(pos);
            continue;
        }
        if (c == '\n') {
            ++pos;
            NewLine(pos);
            continue;
        }
        if (IsLetter(c) || c == '_') {
            size_t end = pos + 1;
            while (end < size && IsIdentifierChar(static_cast<unsigned char>(FText[end]))) ++end;
            if (SameWord(std::string_view(FText).substr(pos, end - pos), marker)) {
                FState.Pos = end;
                int32_t line = 0, offset = 0;
                const std::string_view word = ReadWordOnLine(line, offset);
                if (!SameWord(word, onWord)) throw TPragmaError{std::string(onWord), line, offset};
                FProcessingPragma = -1;
                return;
            }
            pos = end;
            continue;
        }
        // Digits glued to letters belong to one run; skip them with the run.
        if (IsDigit(c)) {
            while (pos < size && IsIdentifierChar(static_cast<unsigned char>(FText[pos]))) ++pos;
            continue;
        }
        ++pos;
    }
    FState.Pos = size;
    throw TPragmaError{std::string(onWord), FState.Line, static_cast<int32_t>(size - FState.LineStart)};
}

} // namespace bsdl
