// The tokenizer of the VHDL reader.
//
// It cuts a text into tokens of nine kinds (numbered as the reader expects) and
// knows the reader's word list: an identifier or a symbol that is in the list is
// a reserved-word token carrying the word's index. Character classes:
//   letters, "_"          identifier: letters, digits and "_"
//   "0".."9"              number: digits, optionally "." and more digits (floating point)
//   "\""                  string up to the closing quote on the same line; a doubled
//                         quote continues it; an unclosed string is marked unterminated
//   "--"                  comment to the end of the line (see pragmas below)
//   "&".."/", ":"..">", "|"  symbol: the two-character symbol when the pair is a word,
//                         else the one-character symbol (always a reserved word)
//   CR, LF                line end (CR LF counts once)
//   anything else         white space, among them the apostrophe and a lone "-"
//
// Pragma comments: a comment whose first word is "rtl_synthesis" must go on with
// "off"; everything up to the next "rtl_synthesis" is skipped, which must be followed
// by "on", and the rest of that line too. "synopsys" works the same with
// "translate_off" and "translate_on". The skipped region is one comment token. A
// pragma that is not closed properly raises TPragmaError.
//
// Lines and offsets are 0-based; the offset is the token's column in its line.
// The tokenizer never reads outside its text and always advances, so any input,
// binary included, ends in an end-of-text token.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace bsdl {

enum TTokenKind : uint8_t {
    eToken_EndOfText = 0,
    eToken_String = 1,
    eToken_Comment = 2,
    eToken_Symbol = 3, // an identifier
    eToken_Integer = 4,
    eToken_Float = 5,
    eToken_ResWord = 6,
    eToken_WhiteChar = 7,
    eToken_PreProcessor = 8, // not produced
};

// The reader's word list, in index order.
enum TVHDLWord : int16_t {
    w_None = -1,
    w_Apostrophe, w_Minus, w_Quote, w_Ampersand, w_LeftParen, w_RightParen, w_Star, w_Power, w_Comma, w_Dot,
    w_Slash, w_NotEqual, w_Colon, w_Assign, w_Semicolon, w_Bar, w_Plus, w_Less, w_LessEqual, w_Box, w_Equal,
    w_Arrow, w_Greater, w_GreaterEqual,
    w_abs, w_access, w_after, w_alias, w_all, w_and, w_architecture, w_array, w_assert, w_attribute, w_begin,
    w_block, w_body, w_buffer, w_bus, w_case, w_component, w_configuration, w_constant, w_disconnect, w_downto,
    w_else, w_elsif, w_end, w_entity, w_exit, w_file, w_for, w_function, w_generate, w_generic, w_guarded, w_if,
    w_in, w_inout, w_is, w_label, w_library, w_linkage, w_literal, w_loop, w_map, w_mod, w_nand, w_new, w_next,
    w_nor, w_not, w_null, w_of, w_off, w_on, w_open, w_or, w_others, w_out, w_package, w_port, w_procedure,
    w_process, w_range, w_record, w_register, w_rem, w_report, w_return, w_rtl_synthesis, w_select, w_severity,
    w_signal, w_subtype, w_synopsys, w_then, w_to, w_transport, w_translate_on, w_translate_off, w_type,
    w_units, w_until, w_use, w_variable,
    w_Count
};

inline constexpr int kVHDLWordCount = 106;
static_assert(w_Count == kVHDLWordCount, "the word list has 106 entries");

// The text of a word of the list ("" for an index outside it).
std::string_view VHDLWordText(int index);
// The index of a word (any letter case), or w_None.
int FindVHDLWord(std::string_view text);

struct TToken {
    TTokenKind Kind = eToken_EndOfText;
    int16_t Word = w_None; // reserved words: the index in the word list
    bool Unterminated = false;
    int32_t Line = 0;      // 0-based
    int32_t Offset = 0;    // 0-based column
    size_t Start = 0;      // position in the text
    size_t Length = 0;
};

// A pragma comment that does not go on as it must: `Word` was expected at Line/Offset.
struct TPragmaError {
    std::string Word;
    int32_t Line;
    int32_t Offset;
};

class TVHDLTokenizer {
public:
    // Everything needed to come back to a point of the text (look-ahead).
    struct TState {
        size_t Pos = 0;
        size_t LineStart = 0;
        int32_t Line = 0;
        TToken Token;
    };

    TVHDLTokenizer() = default;
    explicit TVHDLTokenizer(std::string text) { SetText(std::move(text)); }

    // Replaces the text and moves before its first token.
    void SetText(std::string text);
    const std::string& Text() const { return FText; }

    const TToken& Token() const { return FState.Token; }
    std::string_view TokenText() const { return std::string_view(FText).substr(Token().Start, Token().Length); }
    TTokenKind Kind() const { return Token().Kind; }
    int Word() const { return Token().Kind == eToken_ResWord ? static_cast<int>(Token().Word) : static_cast<int>(w_None); }
    int32_t Line() const { return Token().Line; }
    int32_t Offset() const { return Token().Offset; }

    // Reads the next token of any kind; at the end of the text it stays at the end.
    void Next();
    // Reads the next token that is neither white space nor a comment.
    void NextSignificant();

    TState Save() const { return FState; }
    void Restore(const TState& state) { FState = state; }

    // True while a pragma region is being skipped (for diagnostics).
    int32_t ProcessingPragma() const { return FProcessingPragma; }

private:
    void ReadComment(size_t start);
    void SkipPragmaRegion(std::string_view marker, std::string_view onWord);
    // Reads the identifier run at Pos (after blanks and tabs of the same line); empty when none.
    std::string_view ReadWordOnLine(int32_t& line, int32_t& offset);
    void NewLine(size_t afterBreak);

    std::string FText;
    TState FState;
    int32_t FProcessingPragma = -1;
};

} // namespace bsdl
