#include "plugin/com/Bstr.h"

#include <utf8.h>

#include <cstdlib>
#include <iterator>
#include <cstring>
#include <new>

namespace com {

BSTR BstrAlloc(std::u16string_view text)
{
    const size_t bytes = text.size() * sizeof(char16_t);
    if (bytes > 0x7FFFFFF0u) throw std::bad_alloc();
    auto* block = static_cast<uint8_t*>(std::malloc(sizeof(uint32_t) + bytes + sizeof(char16_t)));
    if (!block) throw std::bad_alloc();
    const auto length = static_cast<uint32_t>(bytes);
    std::memcpy(block, &length, sizeof length);
    auto* chars = reinterpret_cast<char16_t*>(block + sizeof(uint32_t));
    if (bytes) std::memcpy(chars, text.data(), bytes);
    chars[text.size()] = u'\0';
    return chars;
}

BSTR BstrFromUtf8(std::string_view text) { return BstrAlloc(Utf8ToUtf16(text)); }

void BstrFree(BSTR text)
{
    if (text) std::free(reinterpret_cast<uint8_t*>(text) - sizeof(uint32_t));
}

uint32_t BstrByteLength(BSTR text)
{
    if (!text) return 0;
    uint32_t length;
    std::memcpy(&length, reinterpret_cast<uint8_t*>(text) - sizeof(uint32_t), sizeof length);
    return length;
}

uint32_t BstrLength(BSTR text) { return BstrByteLength(text) / sizeof(char16_t); }

std::u16string_view BstrView(BSTR text)
{
    if (!text) return {};
    return {text, BstrLength(text)};
}

std::string BstrToUtf8(BSTR text) { return Utf16ToUtf8(BstrView(text)); }

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    if (utf8::is_valid(text.begin(), text.end())) {
        utf8::unchecked::utf8to16(text.begin(), text.end(), std::back_inserter(out));
    } else {
        const std::string repaired = utf8::replace_invalid(std::string(text));
        utf8::unchecked::utf8to16(repaired.begin(), repaired.end(), std::back_inserter(out));
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    // Lone surrogates (which a foreign caller may well send) become U+FFFD.
    auto isHigh = [](char16_t c) { return c >= 0xD800 && c <= 0xDBFF; };
    auto isLow = [](char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
    std::u16string repaired;
    for (size_t i = 0; i < text.size(); ++i) {
        if (isHigh(text[i]) && i + 1 < text.size() && isLow(text[i + 1])) {
            ++i;
        } else if (isHigh(text[i]) || isLow(text[i])) {
            if (repaired.empty()) repaired.assign(text);
            repaired[i] = u'\uFFFD';
        }
    }
    const std::u16string_view source = repaired.empty() ? text : std::u16string_view(repaired);
    std::string out;
    out.reserve(source.size());
    utf8::unchecked::utf16to8(source.begin(), source.end(), std::back_inserter(out));
    return out;
}

} // namespace com
