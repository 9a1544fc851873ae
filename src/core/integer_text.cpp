#include "core/integer_text.h"

#include "core/ascii.h"

namespace vantrel {

std::optional<std::int32_t> ParseIntegerText(std::u16string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && text[i] == u' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        hex = true;
        i += 1;
    } else if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i == text.size()) return std::nullopt;

    // Accumulate in 64 bits; anything past 32 bits of magnitude fails either way.
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = hex ? AsciiHexValue(text[i]) : (IsAsciiDigit(text[i]) ? text[i] - u'0' : -1);
        if (digit < 0) return std::nullopt;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (magnitude > 0xFFFFFFFFu) return std::nullopt;
    }
    if (hex) {
        // The digits are a 32-bit pattern; a minus sign negates it with wrap-around.
        std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
        if (negative) bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }
    if (negative) {
        if (magnitude > 0x80000000u) return std::nullopt;
        return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(magnitude));
    }
    if (magnitude > 0x7FFFFFFFu) return std::nullopt;
    return static_cast<std::int32_t>(magnitude);
}

}  // namespace vantrel
