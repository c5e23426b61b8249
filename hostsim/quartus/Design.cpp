#include "hostsim/quartus/Design.h"

#include "hostsim/quartus/Common.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <set>

namespace hostsim::quartus {

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Tokens shared by the readers

struct TToken {
    enum TType { Ident, Number, String, Char, Symbol };
    TType Type = Symbol;
    std::string Text; // identifiers and symbols in lower case
    int Line = 0;
};

using TTokens = std::vector<TToken>;

struct TSyntaxFault {
    int Line;
    std::string Near;
    std::string Expecting;
};

std::string FileName(const std::string& path) { return fs::path(path).filename().string(); }

// Collects a QUARTUS_STANDIN marker from a comment.
void ScanMarker(const std::string& comment, int line, const std::string& file, const std::string& language,
                std::vector<TMarker>& markers)
{
    static const std::regex pattern(
        R"(QUARTUS_STANDIN:\s*(?:(map|fit|sta|tan|asm)\s+)?(critical\s+warning|error|warning|info)\b\s*(\d+)?\s*(.*))",
        std::regex::icase);
    std::smatch match;
    if (!std::regex_search(comment, match, pattern)) return;
    TMarker marker;
    if (match[1].matched) marker.Tool = Lower(match[1].str());
    marker.Kind = Lower(std::regex_replace(match[2].str(), std::regex(R"(\s+)"), " "));
    if (match[3].matched) marker.Id = std::stoi(match[3].str());
    std::string text = Trim(match[4].str());
    for (const char* end : {"*/", "-->"})
        if (text.size() >= 2 && text.ends_with(end)) text = Trim(text.substr(0, text.size() - std::string(end).size()));
    marker.Text = text;
    marker.File = file;
    marker.Line = line;
    marker.Language = language;
    markers.push_back(std::move(marker));
}

// Parenthesis balance over a token list; the first fault, if any.
std::optional<TSyntaxFault> CheckParentheses(const TTokens& tokens)
{
    std::vector<int> open;
    for (const TToken& token : tokens) {
        if (token.Type != TToken::Symbol) continue;
        if (token.Text == "(") open.push_back(token.Line);
        else if (token.Text == ")") {
            if (open.empty()) return TSyntaxFault{token.Line, ")", "\";\", or an identifier"};
            open.pop_back();
        }
    }
    if (!open.empty()) return TSyntaxFault{open.back(), "(", "\")\""};
    return std::nullopt;
}

// ---------------------------------------------------------------------------
// The units of a design, whatever the language

struct TObjectDecl {
    std::string Name;
    char Direction = 0; // ports: 'i', 'o', 'b'
    TTokens Type;       // subtype indication, VHDL style
    TTokens Default;
    int Line = 0;
};

struct TTypeDecl {
    int EnumCount = 0;  // enumeration: its literals
    bool IsArray = false;
    TTokens Range;      // array index range
    TTokens Element;    // array element subtype
    TTokens Alias;      // subtype / other type: its indication
};

struct TAssoc {
    std::string Formal; // lower case; empty for a positional association
    TTokens Actual;
};

struct TProcess {
    std::string Clock; // lower case; empty for a combinational process
    std::vector<std::string> Targets;
    std::set<std::string> Refs;
    int Multipliers = 0;
};

struct TInstanceDecl {
    std::string Label, Component;
    int Line = 0;
    std::vector<TAssoc> Generics, Ports;
};

struct TConcurrent {
    std::string Target;
    std::set<std::string> Refs;
    int Multipliers = 0;
};

struct TUnit {
    std::string Name; // as written
    std::string File, Language;
    int Line = 0;
    std::vector<TObjectDecl> Generics, Ports, Signals, Constants;
    std::map<std::string, TTypeDecl> Types;
    std::vector<TProcess> Processes;
    std::vector<TInstanceDecl> Instances;
    std::vector<TConcurrent> Assigns;
};

using TUnits = std::map<std::string, TUnit>; // by lower-case name

bool IsIdent(const TToken& token) { return token.Type == TToken::Ident; }

// Identifiers referred to in a token run.
void CollectRefs(const TTokens& tokens, size_t begin, size_t end, std::set<std::string>& refs)
{
    for (size_t i = begin; i < end && i < tokens.size(); ++i)
        if (IsIdent(tokens[i])) refs.insert(tokens[i].Text);
}

// "*" between two operands that are not literal numbers: a multiplier.
int CountMultipliers(const TTokens& tokens, size_t begin, size_t end)
{
    int count = 0;
    for (size_t i = begin + 1; i + 1 < end && i + 1 < tokens.size(); ++i)
        if (tokens[i].Type == TToken::Symbol && tokens[i].Text == "*" && tokens[i - 1].Type != TToken::Number &&
            tokens[i + 1].Type != TToken::Number)
            ++count;
    return count;
}

// ---------------------------------------------------------------------------
// Constant expressions: integers, names of generics and constants, + - * / ** ( ).

class TExpression {
public:
    TExpression(const TTokens& tokens, const std::map<std::string, int64_t>& names) : FTokens(tokens), FNames(names) {}

    std::optional<int64_t> Evaluate()
    {
        FPos = 0;
        FFailed = false;
        const int64_t value = Sum();
        if (FFailed || FPos != FTokens.size()) return std::nullopt;
        return value;
    }

private:
    bool Is(const char* text) const
    {
        return FPos < FTokens.size() && FTokens[FPos].Type == TToken::Symbol && FTokens[FPos].Text == text;
    }
    int64_t Sum()
    {
        int64_t value = Product();
        while (Is("+") || Is("-")) {
            const bool plus = Is("+");
            ++FPos;
            const int64_t right = Product();
            value = plus ? value + right : value - right;
        }
        return value;
    }
    int64_t Product()
    {
        int64_t value = Power();
        while (Is("*") || Is("/")) {
            const bool times = Is("*");
            ++FPos;
            const int64_t right = Power();
            if (!times && right == 0) return FFailed = true, 0;
            value = times ? value * right : value / right;
        }
        return value;
    }
    int64_t Power()
    {
        const int64_t base = Unary();
        if (!Is("**")) return base;
        ++FPos;
        const int64_t exponent = Unary();
        int64_t value = 1;
        for (int64_t i = 0; i < exponent && i < 62; ++i) value *= base;
        return value;
    }
    int64_t Unary()
    {
        if (Is("-")) return ++FPos, -Primary();
        if (Is("+")) ++FPos;
        return Primary();
    }
    int64_t Primary()
    {
        if (FPos >= FTokens.size()) return FFailed = true, 0;
        const TToken& token = FTokens[FPos++];
        if (token.Type == TToken::Symbol && token.Text == "(") {
            const int64_t value = Sum();
            if (!Is(")")) return FFailed = true, 0;
            ++FPos;
            return value;
        }
        if (token.Type == TToken::Number) {
            std::string digits;
            for (char c : token.Text)
                if (c != '_') digits += c;
            if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
                return FFailed = true, 0;
            return std::stoll(digits.substr(0, 17));
        }
        if (IsIdent(token)) {
            const auto found = FNames.find(Lower(token.Text));
            if (found != FNames.end()) return found->second;
        }
        return FFailed = true, 0;
    }

    const TTokens& FTokens;
    const std::map<std::string, int64_t>& FNames;
    size_t FPos = 0;
    bool FFailed = false;
};

int BitsFor(int64_t value)
{
    int bits = 1;
    while (bits < 63 && (int64_t{1} << bits) <= value) ++bits;
    return bits;
}

struct TShape {
    int Width = 1;
    int64_t MemoryBits = 0; // an array of vectors: kept in memory blocks
    bool Vector = false;
    int Msb = 0, Lsb = 0;
};

class TShapes {
public:
    TShapes(const TUnit& unit, const std::map<std::string, int64_t>& names) : FUnit(unit), FNames(names) {}

    TShape Of(const TTokens& type, int depth = 0) const
    {
        TShape shape;
        if (type.empty() || depth > 8) return shape;
        const std::string& name = type[0].Text;
        static const std::set<std::string> bits{"std_logic", "std_ulogic", "bit", "boolean"};
        static const std::set<std::string> vectors{"std_logic_vector", "std_ulogic_vector", "bit_vector",
                                                    "unsigned", "signed"};
        static const std::set<std::string> integers{"integer", "natural", "positive"};
        if (bits.count(name)) return shape;
        if (vectors.count(name)) {
            if (const auto range = Range(type, 1)) {
                shape.Vector = true;
                shape.Msb = static_cast<int>(range->first);
                shape.Lsb = static_cast<int>(range->second);
                shape.Width = static_cast<int>(std::llabs(range->first - range->second) + 1);
            }
            return shape;
        }
        if (integers.count(name)) {
            shape.Width = 32;
            if (type.size() > 1 && type[1].Text == "range") {
                if (const auto range = RangeBounds(type, 2, type.size())) {
                    const int64_t high = std::max(std::llabs(range->first), std::llabs(range->second));
                    shape.Width = BitsFor(high) + (std::min(range->first, range->second) < 0 ? 1 : 0);
                }
            }
            return shape;
        }
        const auto found = FUnit.Types.find(name);
        if (found == FUnit.Types.end()) return shape;
        const TTypeDecl& declared = found->second;
        if (declared.EnumCount > 0) {
            shape.Width = BitsFor(std::max(1, declared.EnumCount - 1));
            return shape;
        }
        if (declared.IsArray) {
            const TShape element = Of(declared.Element, depth + 1);
            int64_t count = 0;
            if (const auto range = RangeBounds(declared.Range, 0, declared.Range.size()))
                count = std::llabs(range->first - range->second) + 1;
            if (element.Width > 1 || element.MemoryBits > 0) {
                shape.MemoryBits = count * (element.MemoryBits > 0 ? element.MemoryBits : element.Width);
                shape.Width = 0;
            } else {
                shape.Vector = count > 0;
                shape.Width = static_cast<int>(std::max<int64_t>(1, count));
                shape.Msb = shape.Width - 1;
            }
            return shape;
        }
        return Of(declared.Alias, depth + 1);
    }

    // "( a downto b )" starting at token index `at`.
    std::optional<std::pair<int64_t, int64_t>> Range(const TTokens& type, size_t at) const
    {
        if (at >= type.size() || type[at].Text != "(") return std::nullopt;
        int depth = 0;
        for (size_t i = at; i < type.size(); ++i) {
            if (type[i].Text == "(") ++depth;
            else if (type[i].Text == ")" && --depth == 0) return RangeBounds(type, at + 1, i);
        }
        return std::nullopt;
    }

    // "a downto b" / "a to b" between begin and end.
    std::optional<std::pair<int64_t, int64_t>> RangeBounds(const TTokens& type, size_t begin, size_t end) const
    {
        int depth = 0;
        for (size_t i = begin; i < end; ++i) {
            if (type[i].Text == "(") ++depth;
            else if (type[i].Text == ")") --depth;
            else if (depth == 0 && (type[i].Text == "downto" || type[i].Text == "to")) {
                const TTokens left(type.begin() + static_cast<ptrdiff_t>(begin), type.begin() + static_cast<ptrdiff_t>(i));
                const TTokens right(type.begin() + static_cast<ptrdiff_t>(i + 1), type.begin() + static_cast<ptrdiff_t>(end));
                const auto a = TExpression(left, FNames).Evaluate();
                const auto b = TExpression(right, FNames).Evaluate();
                if (a && b) return std::make_pair(*a, *b);
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

private:
    const TUnit& FUnit;
    const std::map<std::string, int64_t>& FNames;
};

// ---------------------------------------------------------------------------
// VHDL

class TVhdlReader {
public:
    TVhdlReader(const std::string& path, const std::string& text, TMessages& messages, TDesign& design, TUnits& units)
        : FFile(FileName(path)), FText(text), FMessages(messages), FDesign(design), FUnits(units)
    {
    }

    void Run(TSourceInfo& info)
    {
        Tokenize();
        if (FFault) {
            Report(*FFault);
            return;
        }
        if (const auto fault = CheckParentheses(FTokens)) {
            Report(*fault);
            return;
        }
        for (size_t i = 0; i < FTokens.size(); ++i) {
            if (FTokens[i].Text == "entity" && IsIdent(FTokens[i]) && i + 2 < FTokens.size() &&
                IsIdent(FTokens[i + 1]) && FTokens[i + 2].Text == "is" && (i == 0 || FTokens[i - 1].Text != ":")) {
                i = ParseEntity(i);
                info.Units.push_back(FLastUnit);
            } else if (FTokens[i].Text == "architecture" && i + 4 < FTokens.size() && FTokens[i + 2].Text == "of") {
                i = ParseArchitecture(i);
            }
        }
        info.CodeLines = FCodeLines;
    }

private:
    void Report(const TSyntaxFault& fault)
    {
        FMessages.Error("VHDL syntax error at " + FFile + "(" + std::to_string(fault.Line) + ") near text \"" +
                            fault.Near + "\";  expecting " + fault.Expecting,
                        10500);
    }

    void Tokenize()
    {
        int line = 1;
        std::set<int> codeLines;
        const std::string& s = FText;
        size_t i = 0;
        auto push = [&](TToken::TType type, std::string text) {
            codeLines.insert(line);
            FTokens.push_back(TToken{type, std::move(text), line});
        };
        while (i < s.size()) {
            const char c = s[i];
            if (c == '\n') {
                ++line, ++i;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++i;
            } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
                const size_t end = std::min(s.find('\n', i), s.size());
                ScanMarker(s.substr(i + 2, end - i - 2), line, FFile, "VHDL", FDesign.Markers);
                i = end;
            } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
                const size_t end = s.find("*/", i + 2);
                const size_t stop = end == std::string::npos ? s.size() : end + 2;
                ScanMarker(s.substr(i + 2, stop - i - 2), line, FFile, "VHDL", FDesign.Markers);
                line += static_cast<int>(std::count(s.begin() + static_cast<ptrdiff_t>(i), s.begin() + static_cast<ptrdiff_t>(stop), '\n'));
                i = stop;
            } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '\\') {
                size_t end = i + 1;
                if (c == '\\') {
                    end = s.find('\\', i + 1);
                    end = end == std::string::npos ? s.size() : end + 1;
                } else {
                    while (end < s.size() && (std::isalnum(static_cast<unsigned char>(s[end])) || s[end] == '_')) ++end;
                }
                push(TToken::Ident, Lower(s.substr(i, end - i)));
                i = end;
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                size_t end = i + 1;
                while (end < s.size() && (std::isalnum(static_cast<unsigned char>(s[end])) || s[end] == '_' ||
                                          s[end] == '#' || (s[end] == '.' && end + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[end + 1])))))
                    ++end;
                push(TToken::Number, s.substr(i, end - i));
                i = end;
            } else if (c == '"') {
                size_t end = i + 1;
                while (true) {
                    if (end >= s.size() || s[end] == '\n') {
                        if (!FFault) FFault = TSyntaxFault{line, "\"", "a closing quote"};
                        end = std::min(end, s.size());
                        break;
                    }
                    if (s[end] == '"') {
                        if (end + 1 < s.size() && s[end + 1] == '"') {
                            end += 2;
                            continue;
                        }
                        ++end;
                        break;
                    }
                    ++end;
                }
                push(TToken::String, s.substr(i, end - i));
                i = end;
            } else if (c == '\'') {
                // 'x' is a character literal; any other tick is an attribute ('high, 'event).
                if (i + 2 < s.size() && s[i + 2] == '\'' && s[i + 1] != '\n') {
                    push(TToken::Char, s.substr(i, 3));
                    i += 3;
                } else {
                    push(TToken::Symbol, "'");
                    ++i;
                }
            } else {
                static const char* pairs[] = {"<=", "=>", ":=", "/=", ">=", "**", "<>"};
                std::string symbol(1, c);
                for (const char* pair : pairs)
                    if (s.compare(i, 2, pair) == 0) symbol = pair;
                push(TToken::Symbol, symbol);
                i += symbol.size();
            }
        }
        FCodeLines = static_cast<int>(codeLines.size());
        for (TMarker& marker : FDesign.Markers)
            if (marker.File == FFile && marker.NearText.empty()) marker.NearText = NearText(marker.Line);
    }

    std::string NearText(int line) const
    {
        for (const TToken& token : FTokens)
            if (token.Line >= line) return token.Text;
        return "end";
    }

    const TToken& At(size_t i) const
    {
        static const TToken end{TToken::Symbol, "", 0};
        return i < FTokens.size() ? FTokens[i] : end;
    }

    // Index of the token after the ")" closing the "(" at `open`.
    size_t SkipParens(size_t open) const
    {
        int depth = 0;
        for (size_t i = open; i < FTokens.size(); ++i) {
            if (FTokens[i].Text == "(") ++depth;
            else if (FTokens[i].Text == ")" && --depth == 0) return i + 1;
        }
        return FTokens.size();
    }

    // Index of the next ";" at parenthesis depth 0 from i.
    size_t NextSemicolon(size_t i) const
    {
        int depth = 0;
        for (; i < FTokens.size(); ++i) {
            if (FTokens[i].Text == "(") ++depth;
            else if (FTokens[i].Text == ")") --depth;
            else if (FTokens[i].Text == ";" && depth <= 0) return i;
        }
        return FTokens.size();
    }

    TTokens Slice(size_t begin, size_t end) const
    {
        end = std::min(end, FTokens.size());
        if (begin >= end) return {};
        return TTokens(FTokens.begin() + static_cast<ptrdiff_t>(begin), FTokens.begin() + static_cast<ptrdiff_t>(end));
    }

    // An interface list "( a, b : in type := x; ... )" at `open`; returns the index after ")".
    size_t ParseInterface(size_t open, std::vector<TObjectDecl>& into)
    {
        const size_t close = SkipParens(open) - 1;
        size_t start = open + 1;
        while (start < close) {
            size_t end = start;
            int depth = 0;
            for (; end < close; ++end) {
                if (FTokens[end].Text == "(") ++depth;
                else if (FTokens[end].Text == ")") --depth;
                else if (FTokens[end].Text == ";" && depth == 0) break;
            }
            ParseInterfaceElement(start, end, into);
            start = end + 1;
        }
        return close + 1;
    }

    void ParseInterfaceElement(size_t begin, size_t end, std::vector<TObjectDecl>& into)
    {
        size_t i = begin;
        if (At(i).Text == "signal" || At(i).Text == "constant" || At(i).Text == "variable") ++i;
        std::vector<std::pair<std::string, int>> names;
        while (i < end && IsIdent(At(i))) {
            names.emplace_back(At(i).Text, At(i).Line);
            ++i;
            if (At(i).Text == ",") ++i;
            else break;
        }
        if (At(i).Text != ":") return;
        ++i;
        char direction = 'i';
        if (At(i).Text == "in") direction = 'i', ++i;
        else if (At(i).Text == "out" || At(i).Text == "buffer") direction = 'o', ++i;
        else if (At(i).Text == "inout") direction = 'b', ++i;
        else if (At(i).Text == "linkage") ++i;
        size_t typeEnd = i;
        while (typeEnd < end && At(typeEnd).Text != ":=") ++typeEnd;
        for (const auto& [name, line] : names) {
            TObjectDecl decl;
            decl.Name = name;
            decl.Direction = direction;
            decl.Type = Slice(i, typeEnd);
            if (typeEnd < end) decl.Default = Slice(typeEnd + 1, end);
            decl.Line = line;
            into.push_back(std::move(decl));
        }
    }

    TUnit& UnitFor(const std::string& name, int line)
    {
        TUnit& unit = FUnits[name];
        if (unit.Name.empty()) {
            unit.Name = name;
            unit.File = FFile;
            unit.Language = "VHDL";
            unit.Line = line;
        }
        return unit;
    }

    size_t ParseEntity(size_t i)
    {
        TUnit& unit = UnitFor(FTokens[i + 1].Text, FTokens[i].Line);
        FLastUnit = FTokens[i + 1].Text;
        i += 3;
        while (i < FTokens.size() && FTokens[i].Text != "end" && FTokens[i].Text != "begin") {
            if ((FTokens[i].Text == "generic" || FTokens[i].Text == "port") && At(i + 1).Text == "(") {
                i = ParseInterface(i + 1, FTokens[i].Text == "generic" ? unit.Generics : unit.Ports);
            } else {
                ++i;
            }
        }
        // end [entity] [name] ;   or an entity statement part
        while (i < FTokens.size() && !(FTokens[i].Text == "end")) ++i;
        return NextSemicolon(i);
    }

    size_t ParseDeclarations(size_t i, TUnit& unit)
    {
        while (i < FTokens.size() && FTokens[i].Text != "begin") {
            const std::string& word = FTokens[i].Text;
            if (word == "signal" || word == "constant" || word == "shared" || word == "variable") {
                if (word == "shared") ++i;
                const bool constant = FTokens[i].Text == "constant";
                const size_t end = NextSemicolon(i);
                std::vector<TObjectDecl> decls;
                ParseInterfaceElement(i, end, decls);
                for (TObjectDecl& decl : decls) (constant ? unit.Constants : unit.Signals).push_back(std::move(decl));
                i = end + 1;
            } else if (word == "type" && IsIdent(At(i + 1)) && At(i + 2).Text == "is") {
                TTypeDecl type;
                const std::string name = At(i + 1).Text;
                const size_t end = NextSemicolon(i);
                size_t j = i + 3;
                if (At(j).Text == "(") {
                    for (size_t k = j + 1; k < end; ++k)
                        if (IsIdent(FTokens[k]) || FTokens[k].Type == TToken::Char) ++type.EnumCount;
                } else if (At(j).Text == "array" && At(j + 1).Text == "(") {
                    type.IsArray = true;
                    const size_t close = SkipParens(j + 1);
                    type.Range = Slice(j + 2, close - 1);
                    if (At(close).Text == "of") type.Element = Slice(close + 1, end);
                } else if (At(j).Text == "range") {
                    type.Alias.push_back(TToken{TToken::Ident, "integer", At(j).Line});
                    const TTokens rest = Slice(j, end);
                    type.Alias.insert(type.Alias.end(), rest.begin(), rest.end());
                } else if (At(j).Text == "record") {
                    const size_t stop = FindEndOf(j, "record");
                    i = NextSemicolon(stop) + 1;
                    unit.Types[name] = type;
                    continue;
                } else if (At(j).Text == "protected") {
                    i = NextSemicolon(FindEndOf(j, "protected")) + 1;
                    continue;
                } else {
                    type.Alias = Slice(j, end);
                }
                unit.Types[name] = type;
                i = end + 1;
            } else if (word == "subtype" && IsIdent(At(i + 1)) && At(i + 2).Text == "is") {
                TTypeDecl type;
                const size_t end = NextSemicolon(i);
                type.Alias = Slice(i + 3, end);
                unit.Types[At(i + 1).Text] = type;
                i = end + 1;
            } else if (word == "component") {
                i = NextSemicolon(FindEndOf(i, "component")) + 1;
            } else if (word == "function" || word == "procedure" || word == "impure" || word == "pure") {
                const size_t semicolon = NextSemicolon(i);
                size_t is = i;
                while (is < semicolon && FTokens[is].Text != "is") ++is;
                if (is == semicolon) {
                    i = semicolon + 1; // a declaration only
                } else {
                    i = NextSemicolon(FindSubprogramEnd(is)) + 1;
                }
            } else {
                i = NextSemicolon(i) + 1;
            }
        }
        return i;
    }

    // The "end" closing a construct opened by `word` at i (end record, end component, ...).
    size_t FindEndOf(size_t i, const std::string& word) const
    {
        for (size_t j = i + 1; j < FTokens.size(); ++j)
            if (FTokens[j].Text == "end" && At(j + 1).Text == word) return j;
        return FTokens.size();
    }

    // The "end" of a subprogram body, counting the begin/end pairs of its statements.
    size_t FindSubprogramEnd(size_t is) const
    {
        int depth = 0;
        for (size_t j = is + 1; j < FTokens.size(); ++j) {
            const std::string& word = FTokens[j].Text;
            if (word == "begin") ++depth;
            else if (word == "end") {
                const std::string& next = At(j + 1).Text;
                if (next == "if" || next == "case" || next == "loop" || next == "record") continue;
                if (--depth <= 0) return j;
            }
        }
        return FTokens.size();
    }

    size_t ParseArchitecture(size_t i)
    {
        TUnit& unit = UnitFor(FTokens[i + 3].Text, FTokens[i].Line);
        i += 5; // architecture name of entity is
        i = ParseDeclarations(i, unit);
        return ParseStatements(i + 1, unit);
    }

    bool StatementStart(size_t i) const
    {
        if (i == 0) return true;
        static const std::set<std::string> before{";", "then", "else", "begin", "is", "=>", "loop", "generate", ":"};
        return before.count(FTokens[i - 1].Text) != 0;
    }

    // "name [ ( ... ) ] <=" at i: the target's name, and the index after "<=".
    std::optional<std::pair<std::string, size_t>> Target(size_t i) const
    {
        if (!IsIdent(At(i)) || !StatementStart(i)) return std::nullopt;
        size_t j = i + 1;
        while (At(j).Text == "(" || At(j).Text == ".") j = At(j).Text == "(" ? SkipParens(j) : j + 2;
        if (At(j).Text == "<=") return std::make_pair(At(i).Text, j + 1);
        return std::nullopt;
    }

    size_t ParseProcess(size_t i, TUnit& unit)
    {
        TProcess process;
        ++i; // process
        if (At(i).Text == "(") {
            const size_t close = SkipParens(i);
            CollectRefs(FTokens, i + 1, close - 1, process.Refs);
            i = close;
        }
        while (i < FTokens.size() && FTokens[i].Text != "begin") ++i;
        const size_t bodyStart = i + 1;
        size_t end = bodyStart;
        while (end < FTokens.size() && !(FTokens[end].Text == "end" && At(end + 1).Text == "process")) ++end;
        for (size_t j = bodyStart; j < end; ++j) {
            const TToken& token = FTokens[j];
            if ((token.Text == "rising_edge" || token.Text == "falling_edge") && At(j + 1).Text == "(" &&
                IsIdent(At(j + 2)) && process.Clock.empty())
                process.Clock = At(j + 2).Text;
            else if (token.Text == "'" && At(j + 1).Text == "event" && j > 0 && IsIdent(FTokens[j - 1]) &&
                     process.Clock.empty())
                process.Clock = FTokens[j - 1].Text;
            if (const auto target = Target(j)) {
                if (std::find(process.Targets.begin(), process.Targets.end(), target->first) == process.Targets.end())
                    process.Targets.push_back(target->first);
            } else if (IsIdent(token)) {
                process.Refs.insert(token.Text);
            }
        }
        process.Multipliers = CountMultipliers(FTokens, bodyStart, end);
        unit.Processes.push_back(std::move(process));
        return NextSemicolon(end) + 1;
    }

    std::vector<TAssoc> ParseAssociations(size_t open) const
    {
        std::vector<TAssoc> list;
        const size_t close = SkipParens(open) - 1;
        size_t start = open + 1;
        while (start < close) {
            size_t end = start;
            int depth = 0;
            for (; end < close; ++end) {
                if (FTokens[end].Text == "(") ++depth;
                else if (FTokens[end].Text == ")") --depth;
                else if (FTokens[end].Text == "," && depth == 0) break;
            }
            TAssoc assoc;
            size_t arrow = start;
            depth = 0;
            for (; arrow < end; ++arrow) {
                if (FTokens[arrow].Text == "(") ++depth;
                else if (FTokens[arrow].Text == ")") --depth;
                else if (FTokens[arrow].Text == "=>" && depth == 0) break;
            }
            if (arrow < end) {
                assoc.Formal = At(start).Text;
                assoc.Actual = Slice(arrow + 1, end);
            } else {
                assoc.Actual = Slice(start, end);
            }
            list.push_back(std::move(assoc));
            start = end + 1;
        }
        return list;
    }

    size_t ParseInstance(size_t labelAt, size_t i, TUnit& unit)
    {
        TInstanceDecl instance;
        instance.Label = FTokens[labelAt].Text;
        instance.Line = FTokens[labelAt].Line;
        if (At(i).Text == "entity" || At(i).Text == "component" || At(i).Text == "configuration") ++i;
        instance.Component = At(i).Text;
        ++i;
        while (At(i).Text == "." && IsIdent(At(i + 1))) {
            instance.Component = At(i + 1).Text;
            i += 2;
        }
        if (At(i).Text == "(") i = SkipParens(i); // architecture name
        if (At(i).Text == "generic" && At(i + 1).Text == "map" && At(i + 2).Text == "(") {
            instance.Generics = ParseAssociations(i + 2);
            i = SkipParens(i + 2);
        }
        if (At(i).Text == "port" && At(i + 1).Text == "map" && At(i + 2).Text == "(") {
            instance.Ports = ParseAssociations(i + 2);
            i = SkipParens(i + 2);
        }
        unit.Instances.push_back(std::move(instance));
        return NextSemicolon(i) + 1;
    }

    size_t ParseStatements(size_t i, TUnit& unit)
    {
        while (i < FTokens.size()) {
            const std::string& word = FTokens[i].Text;
            if (word == "end") {
                const std::string& next = At(i + 1).Text;
                if (next == "generate" || next == "block") {
                    i = NextSemicolon(i) + 1;
                    continue;
                }
                return NextSemicolon(i);
            }
            if (word == "begin") {
                ++i;
                continue;
            }
            size_t labelAt = FTokens.size();
            if (IsIdent(FTokens[i]) && At(i + 1).Text == ":") {
                labelAt = i;
                i += 2;
            }
            const std::string& head = At(i).Text;
            if (head == "process" || (head == "postponed" && At(i + 1).Text == "process")) {
                i = ParseProcess(head == "postponed" ? i + 1 : i, unit);
            } else if (labelAt < FTokens.size() && (head == "for" || head == "if")) {
                while (i < FTokens.size() && FTokens[i].Text != "generate") ++i;
                ++i;
            } else if (labelAt < FTokens.size() && head == "block") {
                i = ParseDeclarations(i + 1, unit) + 1;
            } else if (labelAt < FTokens.size() &&
                       (head == "entity" || head == "component" || head == "configuration" ||
                        (IsIdent(At(i)) && (At(i + 1).Text == "port" || At(i + 1).Text == "generic" ||
                                            At(i + 1).Text == "." || At(i + 1).Text == ";")))) {
                i = ParseInstance(labelAt, i, unit);
            } else if (head == "with") {
                const size_t end = NextSemicolon(i);
                TConcurrent assign;
                size_t select = i;
                while (select < end && FTokens[select].Text != "select") ++select;
                if (select + 1 < end) assign.Target = At(select + 1).Text;
                CollectRefs(FTokens, i + 1, select, assign.Refs);
                size_t arrow = select;
                while (arrow < end && FTokens[arrow].Text != "<=") ++arrow;
                CollectRefs(FTokens, arrow + 1, end, assign.Refs);
                assign.Multipliers = CountMultipliers(FTokens, arrow, end);
                unit.Assigns.push_back(std::move(assign));
                i = end + 1;
            } else {
                const size_t end = NextSemicolon(i);
                if (const auto target = Target(i)) {
                    TConcurrent assign;
                    assign.Target = target->first;
                    CollectRefs(FTokens, target->second, end, assign.Refs);
                    assign.Multipliers = CountMultipliers(FTokens, target->second, end);
                    unit.Assigns.push_back(std::move(assign));
                }
                i = end + 1;
            }
        }
        return i;
    }

    std::string FFile;
    const std::string& FText;
    TMessages& FMessages;
    TDesign& FDesign;
    TUnits& FUnits;
    TTokens FTokens;
    std::optional<TSyntaxFault> FFault;
    int FCodeLines = 0;
    std::string FLastUnit;
};

// ---------------------------------------------------------------------------
// Verilog: modules, ports, registers of edge-triggered always blocks, instances.

class TVerilogReader {
public:
    TVerilogReader(const std::string& path, const std::string& text, TMessages& messages, TDesign& design, TUnits& units)
        : FFile(FileName(path)), FText(text), FMessages(messages), FDesign(design), FUnits(units)
    {
    }

    void Run(TSourceInfo& info)
    {
        Tokenize();
        info.CodeLines = FCodeLines;
        if (!FFault) FFault = CheckParentheses(FTokens);
        if (FFault) {
            FMessages.Error("Verilog HDL syntax error at " + FFile + "(" + std::to_string(FFault->Line) +
                                ") near text \"" + FFault->Near + "\";  expecting " + FFault->Expecting,
                            10170);
            return;
        }
        for (size_t i = 0; i < FTokens.size(); ++i) {
            if (FTokens[i].Text == "module" || FTokens[i].Text == "macromodule") {
                size_t end = i + 1;
                while (end < FTokens.size() && FTokens[end].Text != "endmodule") ++end;
                if (end == FTokens.size()) {
                    FMessages.Error("Verilog HDL syntax error at " + FFile + "(" + std::to_string(FTokens[i].Line) +
                                        ") near text \"module\";  expecting \"endmodule\"",
                                    10170);
                    return;
                }
                ParseModule(i + 1, end, info);
                i = end;
            }
        }
    }

private:
    void Tokenize()
    {
        int line = 1;
        std::set<int> codeLines;
        const std::string& s = FText;
        size_t i = 0;
        auto push = [&](TToken::TType type, std::string text) {
            codeLines.insert(line);
            FTokens.push_back(TToken{type, std::move(text), line});
        };
        while (i < s.size()) {
            const char c = s[i];
            if (c == '\n') {
                ++line, ++i;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++i;
            } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '/') {
                const size_t end = std::min(s.find('\n', i), s.size());
                ScanMarker(s.substr(i + 2, end - i - 2), line, FFile, "Verilog HDL", FDesign.Markers);
                i = end;
            } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
                const size_t end = s.find("*/", i + 2);
                const size_t stop = end == std::string::npos ? s.size() : end + 2;
                ScanMarker(s.substr(i + 2, stop - i - 2), line, FFile, "Verilog HDL", FDesign.Markers);
                line += static_cast<int>(std::count(s.begin() + static_cast<ptrdiff_t>(i), s.begin() + static_cast<ptrdiff_t>(stop), '\n'));
                i = stop;
            } else if (c == '`') {
                i = std::min(s.find('\n', i), s.size()); // compiler directive
            } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '$') {
                size_t end = i + 1;
                while (end < s.size() && (std::isalnum(static_cast<unsigned char>(s[end])) || s[end] == '_' || s[end] == '$')) ++end;
                push(TToken::Ident, s.substr(i, end - i));
                i = end;
            } else if (c == '\\') {
                size_t end = i + 1;
                while (end < s.size() && !std::isspace(static_cast<unsigned char>(s[end]))) ++end;
                push(TToken::Ident, s.substr(i + 1, end - i - 1));
                i = end;
            } else if (std::isdigit(static_cast<unsigned char>(c)) || (c == '\'' && i + 1 < s.size() && std::isalpha(static_cast<unsigned char>(s[i + 1])))) {
                size_t end = i + 1;
                while (end < s.size() && (std::isalnum(static_cast<unsigned char>(s[end])) || s[end] == '_' || s[end] == '\'' ||
                                          s[end] == '?'))
                    ++end;
                push(TToken::Number, s.substr(i, end - i));
                i = end;
            } else if (c == '"') {
                size_t end = i + 1;
                while (end < s.size() && s[end] != '"' && s[end] != '\n') end += s[end] == '\\' ? 2 : 1;
                if (end >= s.size() || s[end] != '"') {
                    if (!FFault) FFault = TSyntaxFault{line, "\"", "a closing quote"};
                } else {
                    ++end;
                }
                push(TToken::String, s.substr(i, end - i));
                i = end;
            } else {
                static const char* pairs[] = {"<=", "==", "!=", ">=", "&&", "||", "<<", ">>", "**", "+:", "-:"};
                std::string symbol(1, c);
                for (const char* pair : pairs)
                    if (s.compare(i, 2, pair) == 0) symbol = pair;
                push(TToken::Symbol, symbol);
                i += symbol.size();
            }
        }
        FCodeLines = static_cast<int>(codeLines.size());
        for (TMarker& marker : FDesign.Markers)
            if (marker.File == FFile && marker.NearText.empty()) {
                marker.NearText = "endmodule";
                for (const TToken& token : FTokens)
                    if (token.Line >= marker.Line) {
                        marker.NearText = token.Text;
                        break;
                    }
            }
    }

    const TToken& At(size_t i) const
    {
        static const TToken end{TToken::Symbol, "", 0};
        return i < FTokens.size() ? FTokens[i] : end;
    }

    size_t SkipGroup(size_t open, const char* openText, const char* closeText) const
    {
        int depth = 0;
        for (size_t i = open; i < FTokens.size(); ++i) {
            if (FTokens[i].Text == openText) ++depth;
            else if (FTokens[i].Text == closeText && --depth == 0) return i + 1;
        }
        return FTokens.size();
    }

    // "[ msb : lsb ]" at i, as VHDL-style type tokens; index after "]" in next.
    TTokens RangeType(size_t i, size_t& next) const
    {
        TTokens type;
        next = i;
        if (At(i).Text != "[") {
            type.push_back(TToken{TToken::Ident, "std_logic", At(i).Line});
            return type;
        }
        const size_t close = SkipGroup(i, "[", "]");
        size_t colon = i + 1;
        while (colon < close && FTokens[colon].Text != ":") ++colon;
        type.push_back(TToken{TToken::Ident, "std_logic_vector", At(i).Line});
        type.push_back(TToken{TToken::Symbol, "(", At(i).Line});
        for (size_t k = i + 1; k < colon; ++k) type.push_back(FTokens[k]);
        type.push_back(TToken{TToken::Ident, "downto", At(i).Line});
        for (size_t k = colon + 1; k + 1 < close; ++k) type.push_back(FTokens[k]);
        type.push_back(TToken{TToken::Symbol, ")", At(i).Line});
        next = close;
        return type;
    }

    // A declaration "input|output|inout|reg|wire|logic [signed] [range] a, b [= x];" from i to end.
    void Declaration(size_t i, size_t end, TUnit& unit, char direction, bool ansi)
    {
        static const std::set<std::string> skip{"wire", "reg", "logic", "signed", "unsigned", "var", "tri", "integer"};
        bool integer = false;
        while (i < end && skip.count(At(i).Text)) {
            integer = integer || At(i).Text == "integer";
            ++i;
        }
        size_t next = i;
        TTokens type = integer ? TTokens{TToken{TToken::Ident, "integer", At(i).Line}} : RangeType(i, next);
        i = next;
        while (i < end) {
            if (!IsIdent(At(i))) {
                ++i;
                continue;
            }
            TObjectDecl decl;
            decl.Name = At(i).Text;
            decl.Direction = direction;
            decl.Type = type;
            decl.Line = At(i).Line;
            ++i;
            if (At(i).Text == "[") { // a memory: name [a:b]
                const size_t close = SkipGroup(i, "[", "]");
                TTypeDecl memory;
                memory.IsArray = true;
                size_t colon = i + 1;
                while (colon < close && FTokens[colon].Text != ":") ++colon;
                for (size_t k = i + 1; k < colon; ++k) memory.Range.push_back(FTokens[k]);
                memory.Range.push_back(TToken{TToken::Ident, "to", At(i).Line});
                for (size_t k = colon + 1; k + 1 < close; ++k) memory.Range.push_back(FTokens[k]);
                memory.Element = type;
                const std::string typeName = "memory of " + decl.Name;
                unit.Types[typeName] = memory;
                decl.Type = {TToken{TToken::Ident, typeName, decl.Line}};
                i = close;
            }
            if (At(i).Text == "=") {
                while (i < end && At(i).Text != ",") ++i;
            }
            if (direction != 0) {
                auto existing = std::find_if(unit.Ports.begin(), unit.Ports.end(),
                                             [&](const TObjectDecl& port) { return port.Name == decl.Name; });
                if (existing != unit.Ports.end()) *existing = decl;
                else unit.Ports.push_back(decl);
            } else {
                auto port = std::find_if(unit.Ports.begin(), unit.Ports.end(),
                                         [&](const TObjectDecl& p) { return p.Name == decl.Name; });
                if (port == unit.Ports.end()) unit.Signals.push_back(decl);
                else if (decl.Type.size() > 1) port->Type = decl.Type;
            }
            if (At(i).Text == ",") {
                ++i;
                if (ansi && (At(i).Text == "input" || At(i).Text == "output" || At(i).Text == "inout")) return;
            }
        }
    }

    void ParseModule(size_t i, size_t end, TSourceInfo& info)
    {
        const std::string name = At(i).Text;
        TUnit& unit = FUnits[Lower(name)];
        unit.Name = name;
        unit.File = FFile;
        unit.Language = "Verilog HDL";
        unit.Line = At(i).Line;
        info.Units.push_back(name);
        ++i;
        if (At(i).Text == "#" && At(i + 1).Text == "(") {
            ParseParameters(i + 2, SkipGroup(i + 1, "(", ")") - 1, unit);
            i = SkipGroup(i + 1, "(", ")");
        }
        if (At(i).Text == "(") {
            const size_t close = SkipGroup(i, "(", ")") - 1;
            size_t j = i + 1;
            while (j < close) {
                const std::string& word = At(j).Text;
                if (word == "input" || word == "output" || word == "inout") {
                    size_t stop = j + 1;
                    while (stop < close && !(At(stop).Text == "," &&
                                             (At(stop + 1).Text == "input" || At(stop + 1).Text == "output" ||
                                              At(stop + 1).Text == "inout")))
                        ++stop;
                    Declaration(j + 1, stop, unit, word == "input" ? 'i' : word == "output" ? 'o' : 'b', true);
                    j = stop + 1;
                } else {
                    if (IsIdent(At(j))) {
                        TObjectDecl port;
                        port.Name = At(j).Text;
                        port.Direction = 'i';
                        port.Type = {TToken{TToken::Ident, "std_logic", At(j).Line}};
                        port.Line = At(j).Line;
                        unit.Ports.push_back(port);
                    }
                    ++j;
                }
            }
            i = close + 1;
        }
        while (i < end) {
            const std::string& word = At(i).Text;
            size_t semicolon = i;
            while (semicolon < end && At(semicolon).Text != ";") ++semicolon;
            if (word == "input" || word == "output" || word == "inout") {
                Declaration(i + 1, semicolon, unit, word == "input" ? 'i' : word == "output" ? 'o' : 'b', false);
                i = semicolon + 1;
            } else if (word == "reg" || word == "wire" || word == "logic" || word == "integer") {
                Declaration(i, semicolon, unit, 0, false);
                i = semicolon + 1;
            } else if (word == "parameter" || word == "localparam") {
                ParseParameters(i, semicolon, unit);
                i = semicolon + 1;
            } else if (word == "always" || word == "always_ff" || word == "always_comb" || word == "always_latch") {
                i = ParseAlways(i, end, unit);
            } else if (word == "assign") {
                TConcurrent assign;
                assign.Target = At(i + 1).Text;
                size_t equals = i + 1;
                while (equals < semicolon && At(equals).Text != "=") ++equals;
                CollectRefs(FTokens, equals + 1, semicolon, assign.Refs);
                assign.Multipliers = CountMultipliers(FTokens, equals, semicolon);
                unit.Assigns.push_back(std::move(assign));
                i = semicolon + 1;
            } else if (word == "initial" || word == "function" || word == "task" || word == "generate" ||
                       word == "endgenerate" || word == "genvar" || word == "begin" || word == "end") {
                i = word == "function" || word == "task" ? SkipUntil(i, "end" + word) : i + 1;
            } else if (IsIdent(At(i)) && ((IsIdent(At(i + 1)) && At(i + 2).Text == "(") || At(i + 1).Text == "#")) {
                i = ParseInstance(i, end, unit);
            } else {
                i = semicolon + 1;
            }
        }
    }

    size_t SkipUntil(size_t i, const std::string& word) const
    {
        while (i < FTokens.size() && FTokens[i].Text != word) ++i;
        return i + 1;
    }

    void ParseParameters(size_t i, size_t end, TUnit& unit)
    {
        for (; i < end; ++i) {
            if (IsIdent(At(i)) && At(i + 1).Text == "=") {
                size_t stop = i + 2;
                int depth = 0;
                while (stop < end && !(depth == 0 && At(stop).Text == ",")) {
                    if (At(stop).Text == "(") ++depth;
                    if (At(stop).Text == ")") --depth;
                    ++stop;
                }
                TObjectDecl generic;
                generic.Name = At(i).Text;
                generic.Default = TTokens(FTokens.begin() + static_cast<ptrdiff_t>(i + 2), FTokens.begin() + static_cast<ptrdiff_t>(stop));
                generic.Line = At(i).Line;
                unit.Generics.push_back(std::move(generic));
                i = stop;
            }
        }
    }

    size_t ParseAlways(size_t i, size_t end, TUnit& unit)
    {
        TProcess process;
        ++i;
        if (At(i).Text == "@") {
            ++i;
            if (At(i).Text == "(") {
                const size_t close = SkipGroup(i, "(", ")");
                for (size_t k = i; k < close; ++k)
                    if ((At(k).Text == "posedge" || At(k).Text == "negedge") && IsIdent(At(k + 1)) && process.Clock.empty())
                        process.Clock = At(k + 1).Text;
                i = close;
            } else {
                ++i; // @*
            }
        }
        size_t stop = i;
        if (At(i).Text == "begin") {
            int depth = 0;
            for (; stop < end; ++stop) {
                if (At(stop).Text == "begin" || At(stop).Text == "case" || At(stop).Text == "casez" || At(stop).Text == "casex") ++depth;
                else if ((At(stop).Text == "end" || At(stop).Text == "endcase") && --depth == 0) break;
            }
            ++stop;
        } else {
            while (stop < end && At(stop).Text != ";") ++stop;
            ++stop;
        }
        int depth = 0;
        for (size_t k = i; k < stop; ++k) {
            if (At(k).Text == "(") ++depth;
            else if (At(k).Text == ")") --depth;
            else if (depth == 0 && IsIdent(At(k))) {
                size_t j = k + 1;
                while (At(j).Text == "[") j = SkipGroup(j, "[", "]");
                if ((At(j).Text == "<=" || At(j).Text == "=") &&
                    std::find(process.Targets.begin(), process.Targets.end(), At(k).Text) == process.Targets.end()) {
                    process.Targets.push_back(At(k).Text);
                    continue;
                }
                process.Refs.insert(At(k).Text);
            } else if (IsIdent(At(k))) {
                process.Refs.insert(At(k).Text);
            }
        }
        process.Multipliers = CountMultipliers(FTokens, i, stop);
        unit.Processes.push_back(std::move(process));
        return stop;
    }

    size_t ParseInstance(size_t i, size_t end, TUnit& unit)
    {
        TInstanceDecl instance;
        instance.Component = At(i).Text;
        ++i;
        if (At(i).Text == "#" && At(i + 1).Text == "(") {
            instance.Generics = Connections(i + 1);
            i = SkipGroup(i + 1, "(", ")");
        }
        instance.Label = At(i).Text;
        instance.Line = At(i).Line;
        ++i;
        if (At(i).Text == "(") {
            instance.Ports = Connections(i);
            i = SkipGroup(i, "(", ")");
        }
        unit.Instances.push_back(std::move(instance));
        while (i < end && At(i).Text != ";") ++i;
        return i + 1;
    }

    std::vector<TAssoc> Connections(size_t open) const
    {
        std::vector<TAssoc> list;
        const size_t close = SkipGroup(open, "(", ")") - 1;
        size_t start = open + 1;
        while (start < close) {
            size_t stop = start;
            int depth = 0;
            for (; stop < close; ++stop) {
                if (At(stop).Text == "(" || At(stop).Text == "{") ++depth;
                else if (At(stop).Text == ")" || At(stop).Text == "}") --depth;
                else if (At(stop).Text == "," && depth == 0) break;
            }
            TAssoc assoc;
            if (At(start).Text == "." && IsIdent(At(start + 1)) && At(start + 2).Text == "(") {
                assoc.Formal = Lower(At(start + 1).Text);
                const size_t inner = SkipGroup(start + 2, "(", ")");
                assoc.Actual = TTokens(FTokens.begin() + static_cast<ptrdiff_t>(start + 3), FTokens.begin() + static_cast<ptrdiff_t>(inner - 1));
            } else {
                assoc.Actual = TTokens(FTokens.begin() + static_cast<ptrdiff_t>(start), FTokens.begin() + static_cast<ptrdiff_t>(stop));
            }
            list.push_back(std::move(assoc));
            start = stop + 1;
        }
        return list;
    }

    std::string FFile;
    const std::string& FText;
    TMessages& FMessages;
    TDesign& FDesign;
    TUnits& FUnits;
    TTokens FTokens;
    std::optional<TSyntaxFault> FFault;
    int FCodeLines = 0;
};

// ---------------------------------------------------------------------------
// EDIF netlists: the design's top cell, its ports, and its instances.

class TEdifReader {
public:
    TEdifReader(const std::string& path, const std::string& text, TMessages& messages, TDesign& design, TUnits& units)
        : FFile(FileName(path)), FText(text), FMessages(messages), FDesign(design), FUnits(units)
    {
    }

    void Run(TSourceInfo& info)
    {
        std::vector<std::pair<std::string, int>> atoms; // "(" ")" or atom, with its line
        int line = 1;
        int depth = 0;
        int lastOpen = 1;
        std::set<int> codeLines;
        for (size_t i = 0; i < FText.size();) {
            const char c = FText[i];
            if (c == '\n') {
                ++line, ++i;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++i;
            } else if (c == '(' || c == ')') {
                if (c == '(') ++depth, lastOpen = line;
                else if (--depth < 0) return Fault(line, ")");
                atoms.emplace_back(std::string(1, c), line);
                codeLines.insert(line);
                ++i;
            } else if (c == '"') {
                const size_t end = FText.find('"', i + 1);
                if (end == std::string::npos) return Fault(line, "\"");
                atoms.emplace_back(FText.substr(i, end - i + 1), line);
                line += static_cast<int>(std::count(FText.begin() + static_cast<ptrdiff_t>(i), FText.begin() + static_cast<ptrdiff_t>(end), '\n'));
                i = end + 1;
            } else {
                size_t end = i;
                while (end < FText.size() && !std::isspace(static_cast<unsigned char>(FText[end])) && FText[end] != '(' &&
                       FText[end] != ')')
                    ++end;
                atoms.emplace_back(FText.substr(i, end - i), line);
                codeLines.insert(line);
                i = end;
            }
        }
        if (depth != 0) return Fault(lastOpen, "(");
        info.CodeLines = static_cast<int>(codeLines.size());
        // (comment "QUARTUS_STANDIN: ...") entries carry markers.
        for (size_t i = 0; i + 2 < atoms.size(); ++i)
            if (atoms[i].first == "(" && Lower(atoms[i + 1].first) == "comment")
                ScanMarker(Unquote(atoms[i + 2].first), atoms[i + 2].second, FFile, "EDIF", FDesign.Markers);
        std::string top;
        for (size_t i = 0; i + 2 < atoms.size(); ++i) {
            if (atoms[i].first == "(" && Lower(atoms[i + 1].first) == "cell") {
                TUnit& unit = FUnits[Lower(Name(atoms, i + 2))];
                unit.Name = Name(atoms, i + 2);
                unit.File = FFile;
                unit.Language = "EDIF";
                unit.Line = atoms[i].second;
                info.Units.push_back(unit.Name);
                ReadCell(atoms, i, unit);
            }
        }
        for (TMarker& marker : FDesign.Markers)
            if (marker.File == FFile && marker.NearText.empty()) marker.NearText = "comment";
    }

private:
    void Fault(int line, const std::string& near)
    {
        FMessages.Error("EDIF syntax error at " + FFile + "(" + std::to_string(line) + ") near text \"" + near +
                            "\";  the parentheses of the netlist do not balance",
                        12010);
    }

    static std::string Unquote(const std::string& atom)
    {
        return atom.size() >= 2 && atom.front() == '"' ? atom.substr(1, atom.size() - 2) : atom;
    }

    // A name at i: an atom, or "(rename id "original")" giving the original.
    static std::string Name(const std::vector<std::pair<std::string, int>>& atoms, size_t i)
    {
        if (i < atoms.size() && atoms[i].first != "(") return Unquote(atoms[i].first);
        if (i + 3 < atoms.size() && Lower(atoms[i + 1].first) == "rename") return Unquote(atoms[i + 3].first);
        return {};
    }

    static size_t Close(const std::vector<std::pair<std::string, int>>& atoms, size_t open)
    {
        int depth = 0;
        for (size_t i = open; i < atoms.size(); ++i) {
            if (atoms[i].first == "(") ++depth;
            else if (atoms[i].first == ")" && --depth == 0) return i;
        }
        return atoms.size();
    }

    void ReadCell(const std::vector<std::pair<std::string, int>>& atoms, size_t open, TUnit& unit)
    {
        const size_t close = Close(atoms, open);
        for (size_t i = open + 1; i + 2 < close; ++i) {
            if (atoms[i].first != "(") continue;
            const std::string word = Lower(atoms[i + 1].first);
            if (word == "port") {
                const size_t end = Close(atoms, i);
                TObjectDecl port;
                port.Line = atoms[i].second;
                int width = 1;
                if (atoms[i + 2].first == "(" && Lower(atoms[i + 3].first) == "array") {
                    port.Name = Name(atoms, i + 4);
                    const size_t arrayEnd = Close(atoms, i + 2);
                    if (arrayEnd > 0 && arrayEnd - 1 < atoms.size()) width = std::max(1, std::atoi(atoms[arrayEnd - 1].first.c_str()));
                } else {
                    port.Name = Name(atoms, i + 2);
                }
                const size_t paren = port.Name.find_first_of("([");
                if (paren != std::string::npos) port.Name = port.Name.substr(0, paren);
                port.Direction = 'i';
                for (size_t k = i; k < end; ++k)
                    if (Lower(atoms[k].first) == "direction" && k + 1 < end) {
                        const std::string direction = Lower(atoms[k + 1].first);
                        port.Direction = direction == "output" ? 'o' : direction == "inout" ? 'b' : 'i';
                    }
                if (width > 1) {
                    port.Type = {TToken{TToken::Ident, "std_logic_vector", port.Line}, TToken{TToken::Symbol, "(", port.Line},
                                 TToken{TToken::Number, std::to_string(width - 1), port.Line}, TToken{TToken::Ident, "downto", port.Line},
                                 TToken{TToken::Number, "0", port.Line}, TToken{TToken::Symbol, ")", port.Line}};
                } else {
                    port.Type = {TToken{TToken::Ident, "std_logic", port.Line}};
                }
                unit.Ports.push_back(std::move(port));
                i = end;
            } else if (word == "instance") {
                const size_t end = Close(atoms, i);
                std::string cell;
                for (size_t k = i; k < end; ++k)
                    if (Lower(atoms[k].first) == "cellref" && k + 1 < end) cell = Name(atoms, k + 1);
                // Registers count per clock; other instances are the netlist's logic
                // (library primitives), sized by the netlist's length.
                if (std::regex_search(cell, std::regex("dff|ff$|reg|latch", std::regex::icase))) {
                    if (unit.Processes.empty()) unit.Processes.push_back(TProcess{});
                    unit.Processes[0].Targets.push_back("edif register " + std::to_string(unit.Processes[0].Targets.size()));
                }
                i = end;
            }
        }
        // Registers of a netlist count on the first clock-named input.
        if (!unit.Processes.empty())
            for (const TObjectDecl& port : unit.Ports)
                if (port.Direction == 'i' && std::regex_search(port.Name, std::regex("cl(oc)?k", std::regex::icase))) {
                    unit.Processes[0].Clock = Lower(port.Name);
                    break;
                }
    }

    std::string FFile;
    const std::string& FText;
    TMessages& FMessages;
    TDesign& FDesign;
    TUnits& FUnits;
};

// ---------------------------------------------------------------------------
// Elaboration from the top level

bool IsPllComponent(const std::string& name) { return Lower(name).find("pll") != std::string::npos; }
bool IsVendorComponent(const std::string& name)
{
    const std::string lower = Lower(name);
    return lower.starts_with("alt") || lower.starts_with("lpm_") || lower.starts_with("cyclone") ||
           lower.starts_with("arriav_") || lower.starts_with("stratix");
}

// A simple actual: "name" or "name(3)" / "name[3]"; empty otherwise.
std::string ActualName(const TTokens& actual)
{
    if (actual.empty() || !IsIdent(actual[0]) || actual[0].Text == "open") return {};
    if (actual.size() == 1) return actual[0].Text;
    if (actual[1].Text == "(" || actual[1].Text == "[") return actual[0].Text;
    return {};
}

class TElaboration {
public:
    TElaboration(const TUnits& units, TDesign& design, TMessages& messages) : FUnits(units), FDesign(design), FMessages(messages) {}

    void Run(const TUnit& top)
    {
        std::map<std::string, int64_t> generics;
        Elaborate(top, {}, generics, "", 0);
        for (auto& [name, domain] : FDomains) FDesign.Domains.push_back(domain);
        for (const TClockDomain& domain : FDesign.Domains) FDesign.Registers += domain.Registers;
    }

private:
    void Elaborate(const TUnit& unit, const std::map<std::string, std::string>& rename,
                   const std::map<std::string, int64_t>& given, const std::string& prefix, int depth)
    {
        std::map<std::string, int64_t> names;
        for (const TObjectDecl& generic : unit.Generics) {
            const std::string key = Lower(generic.Name);
            const auto found = given.find(key);
            if (found != given.end()) names[key] = found->second;
            else if (const auto value = TExpression(generic.Default, names).Evaluate()) names[key] = *value;
        }
        for (const TObjectDecl& constant : unit.Constants)
            if (const auto value = TExpression(constant.Default, names).Evaluate()) names[Lower(constant.Name)] = *value;
        const TShapes shapes(unit, names);

        std::map<std::string, TShape> objects;
        for (const TObjectDecl& port : unit.Ports) objects[Lower(port.Name)] = shapes.Of(port.Type);
        for (const TObjectDecl& signal : unit.Signals) {
            const TShape shape = shapes.Of(signal.Type);
            objects[Lower(signal.Name)] = shape;
            FDesign.MemoryBits += shape.MemoryBits;
        }
        auto resolve = [&](const std::string& name) -> std::string {
            const std::string key = Lower(name);
            const auto found = rename.find(key);
            if (found != rename.end()) return found->second;
            if (depth == 0) return key;
            return prefix + key;
        };

        if (depth == 0) {
            for (const TObjectDecl& decl : unit.Ports) {
                TPort port;
                port.Name = decl.Name;
                port.Direction = decl.Direction;
                const TShape shape = shapes.Of(decl.Type);
                port.Vector = shape.Vector;
                port.Msb = shape.Msb;
                port.Lsb = shape.Lsb;
                FDesign.Ports.push_back(port);
            }
        }

        std::set<std::string> refs, driven;
        for (const TProcess& process : unit.Processes) {
            FDesign.Multipliers += process.Multipliers;
            refs.insert(process.Refs.begin(), process.Refs.end());
            if (!process.Clock.empty()) refs.insert(Lower(process.Clock));
            for (const std::string& target : process.Targets) driven.insert(Lower(target));
            if (process.Clock.empty()) continue;
            const std::string clock = resolve(process.Clock);
            if (clock.empty()) continue;
            TClockDomain& domain = FDomains[clock];
            domain.Clock = clock;
            for (const std::string& target : process.Targets) {
                const auto found = objects.find(Lower(target));
                const int width = found == objects.end() ? 1 : std::max(1, found->second.Width);
                if (found != objects.end() && found->second.MemoryBits > 0) continue;
                domain.Registers += width;
                if (width > domain.Widest) {
                    domain.Widest = width;
                    domain.WidestName = depth == 0 ? target : prefix + target;
                }
            }
        }
        for (const TConcurrent& assign : unit.Assigns) {
            FDesign.Multipliers += assign.Multipliers;
            refs.insert(assign.Refs.begin(), assign.Refs.end());
            driven.insert(Lower(assign.Target));
        }

        for (const TInstanceDecl& instance : unit.Instances) {
            for (const TAssoc& assoc : instance.Ports) {
                for (const TToken& token : assoc.Actual)
                    if (IsIdent(token)) refs.insert(token.Text), driven.insert(token.Text);
            }
            const std::string component = Lower(instance.Component);
            if (IsPllComponent(component)) {
                AddPll(unit, instance, names, resolve);
                continue;
            }
            const auto child = FUnits.find(component);
            if (child == FUnits.end()) {
                if (IsVendorComponent(component)) continue;
                FMessages.Error("Node instance \"" + instance.Label + "\" instantiates undefined entity \"" +
                                    instance.Component + "\" (" + unit.File + " line " + std::to_string(instance.Line) + ")",
                                12006);
                continue;
            }
            if (depth >= 16 || FActive.count(component)) {
                FMessages.Error("Entity \"" + instance.Component + "\" instantiates itself through \"" + instance.Label + "\"", 12002);
                continue;
            }
            std::map<std::string, std::string> childRename;
            size_t position = 0;
            for (const TAssoc& assoc : instance.Ports) {
                std::string formal = assoc.Formal;
                if (formal.empty() && position < child->second.Ports.size()) formal = Lower(child->second.Ports[position].Name);
                ++position;
                const std::string actual = ActualName(assoc.Actual);
                childRename[Lower(formal)] = actual.empty() ? std::string() : resolve(actual);
            }
            for (const TObjectDecl& port : child->second.Ports)
                if (!childRename.count(Lower(port.Name))) childRename[Lower(port.Name)] = "";
            std::map<std::string, int64_t> childGenerics;
            position = 0;
            for (const TAssoc& assoc : instance.Generics) {
                std::string formal = assoc.Formal;
                if (formal.empty() && position < child->second.Generics.size()) formal = Lower(child->second.Generics[position].Name);
                ++position;
                if (const auto value = TExpression(assoc.Actual, names).Evaluate()) childGenerics[Lower(formal)] = *value;
            }
            FActive.insert(component);
            Elaborate(child->second, childRename, childGenerics, prefix + Lower(instance.Label) + "|", depth + 1);
            FActive.erase(component);
        }

        if (depth != 0 || unit.Language == "EDIF") return; // a netlist's connections are not followed
        for (const TPort& port : FDesign.Ports) {
            const std::string key = Lower(port.Name);
            if (port.Direction == 'i' && !refs.count(key)) FDesign.UnusedInputs.push_back(port.Name);
            if (port.Direction == 'o' && !driven.count(key)) FDesign.UndrivenOutputs.push_back(port.Name);
        }
        for (const TConcurrent& assign : unit.Assigns) {
            const TPort* target = FDesign.FindPort(assign.Target);
            if (!target || target->Direction != 'o' || !FDesign.CombTo.empty()) continue;
            for (const std::string& ref : assign.Refs) {
                const TPort* source = FDesign.FindPort(ref);
                if (source && source->Direction == 'i') {
                    FDesign.CombFrom = source->Name;
                    FDesign.CombTo = target->Name;
                    break;
                }
            }
        }
    }

    template <typename TResolve>
    void AddPll(const TUnit& unit, const TInstanceDecl& instance, const std::map<std::string, int64_t>& names,
                TResolve& resolve)
    {
        static const std::regex reference("^(ref|inclk|clk_?in|refclk|inclk0|inclk_?\\d*|clkin\\d*)$|^ref", std::regex::icase);
        static const std::regex output("^(outclk_?\\d*|c\\d+|clk\\d+|clk_?out\\d*|clkout\\d*|outclk)$", std::regex::icase);
        TPllInstance pll;
        pll.Label = instance.Label;
        pll.Component = instance.Component;
        pll.File = unit.File;
        pll.Line = instance.Line;
        // Generic defaults of the PLL's own entity, overridden by the instance's generic map.
        std::map<std::string, int64_t> generics;
        const auto entity = FUnits.find(Lower(instance.Component));
        if (entity != FUnits.end())
            for (const TObjectDecl& generic : entity->second.Generics)
                if (const auto value = TExpression(generic.Default, generics).Evaluate()) generics[Lower(generic.Name)] = *value;
        for (const TAssoc& assoc : instance.Generics)
            if (const auto value = TExpression(assoc.Actual, names).Evaluate()) generics[Lower(assoc.Formal)] = *value;
        auto ratio = [&](size_t index, const char* what) -> int {
            const std::string indexed = "clk" + std::to_string(index) + "_" + what;
            for (const auto& [name, value] : generics)
                if (name.find(indexed) != std::string::npos && value > 0) return static_cast<int>(value);
            for (const auto& [name, value] : generics)
                if (name.find(what) != std::string::npos && name.find("clk") == std::string::npos && value > 0)
                    return static_cast<int>(value);
            return 1;
        };
        size_t position = 0;
        for (const TAssoc& assoc : instance.Ports) {
            std::string formal = assoc.Formal;
            if (formal.empty() && entity != FUnits.end() && position < entity->second.Ports.size())
                formal = Lower(entity->second.Ports[position].Name);
            ++position;
            const std::string actual = ActualName(assoc.Actual);
            if (pll.RefClock.empty() && std::regex_search(formal, reference)) {
                pll.RefClock = actual.empty() ? "" : resolve(actual);
            } else if (std::regex_match(formal, output)) {
                const size_t index = pll.Outputs.size();
                pll.Outputs.push_back(actual.empty() ? "" : resolve(actual));
                pll.Multiply.push_back(ratio(index, "mult"));
                pll.Divide.push_back(ratio(index, "div"));
            }
        }
        FDesign.Plls.push_back(std::move(pll));
    }

    const TUnits& FUnits;
    TDesign& FDesign;
    TMessages& FMessages;
    std::map<std::string, TClockDomain> FDomains;
    std::set<std::string> FActive;
};

} // namespace

std::vector<std::string> TPort::Bits() const
{
    if (!Vector) return {Name};
    std::vector<std::string> bits;
    const int step = Msb >= Lsb ? -1 : 1;
    for (int i = Msb;; i += step) {
        bits.push_back(Name + "[" + std::to_string(i) + "]");
        if (i == Lsb) break;
    }
    return bits;
}

std::string TPllInstance::ClockName(size_t output) const
{
    return Label + "|altpll_component|auto_generated|pll1|clk[" + std::to_string(output) + "]";
}

int TDesign::IoPins() const
{
    int pins = 0;
    for (const TPort& port : Ports) pins += port.Width();
    return pins;
}

const TPort* TDesign::FindPort(const std::string& name) const
{
    for (const TPort& port : Ports)
        if (SameText(port.Name, name)) return &port;
    return nullptr;
}

std::vector<const TMarker*> TDesign::MarkersFor(const std::string& tool) const
{
    std::vector<const TMarker*> found;
    for (const TMarker& marker : Markers)
        if (marker.Tool == tool) found.push_back(&marker);
    return found;
}

nlohmann::json TDesign::ToJson() const
{
    using nlohmann::json;
    json ports = json::array();
    for (const TPort& port : Ports)
        ports.push_back({{"name", port.Name}, {"dir", std::string(1, port.Direction)}, {"vector", port.Vector},
                         {"msb", port.Msb}, {"lsb", port.Lsb}});
    json domains = json::array();
    for (const TClockDomain& domain : Domains)
        domains.push_back({{"clock", domain.Clock}, {"registers", domain.Registers}, {"widest", domain.Widest},
                           {"widestName", domain.WidestName}});
    json plls = json::array();
    for (const TPllInstance& pll : Plls)
        plls.push_back({{"label", pll.Label}, {"component", pll.Component}, {"file", pll.File}, {"line", pll.Line},
                        {"ref", pll.RefClock}, {"outputs", pll.Outputs}, {"multiply", pll.Multiply}, {"divide", pll.Divide}});
    json markers = json::array();
    for (const TMarker& marker : Markers)
        markers.push_back({{"tool", marker.Tool}, {"kind", marker.Kind}, {"id", marker.Id}, {"text", marker.Text},
                           {"file", marker.File}, {"line", marker.Line}, {"language", marker.Language},
                           {"near", marker.NearText}});
    json sources = json::array();
    for (const TSourceInfo& source : Sources)
        sources.push_back({{"file", source.File}, {"language", source.Language}, {"lines", source.CodeLines}, {"units", source.Units}});
    return json{{"top", Top}, {"ports", ports}, {"domains", domains}, {"plls", plls}, {"registers", Registers},
                {"codeLines", CodeLines}, {"multipliers", Multipliers}, {"memoryBits", MemoryBits},
                {"undriven", UndrivenOutputs}, {"unused", UnusedInputs}, {"combFrom", CombFrom}, {"combTo", CombTo},
                {"markers", markers}, {"sources", sources}, {"hash", Hash}};
}

TDesign TDesign::FromJson(const nlohmann::json& json)
{
    TDesign design;
    design.Top = json.at("top").get<std::string>();
    for (const auto& item : json.at("ports")) {
        TPort port;
        port.Name = item.at("name").get<std::string>();
        port.Direction = item.at("dir").get<std::string>().at(0);
        port.Vector = item.at("vector").get<bool>();
        port.Msb = item.at("msb").get<int>();
        port.Lsb = item.at("lsb").get<int>();
        design.Ports.push_back(port);
    }
    for (const auto& item : json.at("domains"))
        design.Domains.push_back(TClockDomain{item.at("clock").get<std::string>(), item.at("registers").get<int>(),
                                              item.at("widest").get<int>(), item.at("widestName").get<std::string>()});
    for (const auto& item : json.at("plls")) {
        TPllInstance pll;
        pll.Label = item.at("label").get<std::string>();
        pll.Component = item.at("component").get<std::string>();
        pll.File = item.at("file").get<std::string>();
        pll.Line = item.at("line").get<int>();
        pll.RefClock = item.at("ref").get<std::string>();
        pll.Outputs = item.at("outputs").get<std::vector<std::string>>();
        pll.Multiply = item.at("multiply").get<std::vector<int>>();
        pll.Divide = item.at("divide").get<std::vector<int>>();
        design.Plls.push_back(std::move(pll));
    }
    design.Registers = json.at("registers").get<int>();
    design.CodeLines = json.at("codeLines").get<int>();
    design.Multipliers = json.at("multipliers").get<int>();
    design.MemoryBits = json.at("memoryBits").get<int64_t>();
    design.UndrivenOutputs = json.at("undriven").get<std::vector<std::string>>();
    design.UnusedInputs = json.at("unused").get<std::vector<std::string>>();
    design.CombFrom = json.at("combFrom").get<std::string>();
    design.CombTo = json.at("combTo").get<std::string>();
    for (const auto& item : json.at("markers")) {
        TMarker marker;
        marker.Tool = item.at("tool").get<std::string>();
        marker.Kind = item.at("kind").get<std::string>();
        marker.Id = item.at("id").get<int>();
        marker.Text = item.at("text").get<std::string>();
        marker.File = item.at("file").get<std::string>();
        marker.Line = item.at("line").get<int>();
        marker.Language = item.at("language").get<std::string>();
        marker.NearText = item.at("near").get<std::string>();
        design.Markers.push_back(std::move(marker));
    }
    for (const auto& item : json.at("sources"))
        design.Sources.push_back(TSourceInfo{item.at("file").get<std::string>(), item.at("language").get<std::string>(),
                                             item.at("lines").get<int>(), item.at("units").get<std::vector<std::string>>()});
    design.Hash = json.at("hash").get<uint32_t>();
    return design;
}

std::string SourceLanguage(const std::string& assignment, const std::string& path)
{
    const std::string name = Upper(assignment);
    if (name == "VHDL_FILE") return "VHDL";
    if (name == "VERILOG_FILE" || name == "SYSTEMVERILOG_FILE" || name == "VQM_FILE") return "Verilog HDL";
    if (name == "EDIF_FILE") return "EDIF";
    const std::string extension = Lower(fs::path(path).extension().string());
    if (extension == ".vhd" || extension == ".vhdl") return "VHDL";
    if (extension == ".v" || extension == ".sv" || extension == ".vqm" || extension == ".vh") return "Verilog HDL";
    if (extension == ".edf" || extension == ".edif" || extension == ".edn") return "EDIF";
    return {};
}

TDesign AnalyseDesign(const std::vector<TSourceFile>& files, const std::string& top, TMessages& messages)
{
    TDesign design;
    design.Top = top;
    TUnits units;
    uint32_t hash = Hash(Lower(top));
    for (const TSourceFile& file : files) {
        std::string text;
        try {
            text = ReadTextFile(file.Path);
        } catch (const TToolError&) {
            messages.Error("Can't open " + file.Language + " file \"" + file.Path + "\": the file does not exist or cannot be read", 12003);
            continue;
        }
        std::string normalized;
        for (char c : text)
            if (c != '\r') normalized += c;
        hash = Hash(normalized, hash);
        TSourceInfo info;
        info.File = FileName(file.Path);
        info.Language = file.Language;
        const int errorsBefore = messages.Errors();
        if (file.Language == "VHDL") TVhdlReader(file.Path, normalized, messages, design, units).Run(info);
        else if (file.Language == "Verilog HDL") TVerilogReader(file.Path, normalized, messages, design, units).Run(info);
        else if (file.Language == "EDIF") TEdifReader(file.Path, normalized, messages, design, units).Run(info);
        design.CodeLines += info.CodeLines;
        if (messages.Errors() == errorsBefore) {
            messages.Info("Found " + std::to_string(info.Units.size()) + " design unit" + (info.Units.size() == 1 ? "" : "s") +
                              " in source file " + info.File,
                          12021);
            for (size_t i = 0; i < info.Units.size(); ++i)
                messages.Info("Found entity " + std::to_string(i + 1) + ": " + info.Units[i], 12023, 1);
        }
        design.Sources.push_back(std::move(info));
    }
    design.Hash = hash;
    if (messages.Errors() > 0) return design;
    const auto found = units.find(Lower(top));
    if (found == units.end()) {
        messages.Error("Top-level design entity \"" + top + "\" is undefined", 12007);
        return design;
    }
    messages.Info("Elaborating entity \"" + found->second.Name + "\" for the top level hierarchy", 12127);
    design.Top = found->second.Name;
    TElaboration(units, design, messages).Run(found->second);
    return design;
}

void PostMarker(const TMarker& marker, TMessages& messages)
{
    static const std::map<std::string, std::map<std::string, int>> defaults{
        {"map", {{"error", 10500}, {"critical warning", 10030}, {"warning", 10540}, {"info", 12021}}},
        {"fit", {{"error", 170012}, {"critical warning", 169085}, {"warning", 15714}, {"info", 170189}}},
        {"sta", {{"error", 332000}, {"critical warning", 332148}, {"warning", 332060}, {"info", 332146}}},
        {"tan", {{"error", 306000}, {"critical warning", 306004}, {"warning", 306006}, {"info", 306007}}},
        {"asm", {{"error", 115000}, {"critical warning", 115001}, {"warning", 115002}, {"info", 115030}}},
    };
    const int id = marker.Id != 0 ? marker.Id : defaults.at(marker.Tool).at(marker.Kind);
    const std::string where = marker.File + "(" + std::to_string(marker.Line) + ")";
    std::string text;
    if (marker.Tool == "map") {
        if (marker.Kind == "error" && marker.Text.empty())
            text = marker.Language + " syntax error at " + where + " near text \"" + marker.NearText + "\";  expecting \";\"";
        else
            text = marker.Language + " " + (marker.Kind == "info" ? "info" : marker.Kind) + " at " + where + ": " +
                   (marker.Text.empty() ? "requested by a QUARTUS_STANDIN marker" : marker.Text);
    } else {
        text = marker.Text.empty() ? marker.Kind + " requested by the QUARTUS_STANDIN marker at " + where : marker.Text;
    }
    if (marker.Kind == "error") messages.Error(text, id);
    else if (marker.Kind == "critical warning") messages.CriticalWarning(text, id);
    else if (marker.Kind == "warning") messages.Warning(text, id);
    else messages.Info(text, id);
}

} // namespace hostsim::quartus
