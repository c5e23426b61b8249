// BSTR allocation and UTF-8/UTF-16 conversion. A BSTR is a char16_t pointer to
// NUL-terminated UTF-16 text; the four bytes before it hold the byte length and
// the block is a plain malloc block, so either side of the contract may free it.
#pragma once

#include "plugin/com/ComTypes.h"

#include <string>
#include <string_view>

namespace com {

BSTR BstrAlloc(std::u16string_view text);
BSTR BstrFromUtf8(std::string_view text);
void BstrFree(BSTR text);
uint32_t BstrByteLength(BSTR text);
uint32_t BstrLength(BSTR text);
std::u16string_view BstrView(BSTR text);
std::string BstrToUtf8(BSTR text);

// Conversions that never throw: invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Owns one BSTR and frees it when it goes out of scope.
class TBstr {
public:
    TBstr() = default;
    explicit TBstr(std::string_view utf8) : FText(BstrFromUtf8(utf8)) {}
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;
    TBstr(TBstr&& other) noexcept : FText(other.Detach()) {}
    TBstr& operator=(TBstr&& other) noexcept
    {
        if (this != &other) {
            BstrFree(FText);
            FText = other.Detach();
        }
        return *this;
    }
    ~TBstr() { BstrFree(FText); }

    BSTR Get() const { return FText; }
    BSTR* Receive()
    {
        BstrFree(FText);
        FText = nullptr;
        return &FText;
    }
    BSTR Detach()
    {
        BSTR text = FText;
        FText = nullptr;
        return text;
    }
    std::string Utf8() const { return BstrToUtf8(FText); }

private:
    BSTR FText = nullptr;
};

} // namespace com
