#include "core/ascii.h"

namespace vantrel {

std::u16string AsciiLower(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) c = AsciiLower(c);
    return out;
}

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

std::u16string DecimalText(std::uint64_t magnitude, bool negative) {
    char16_t digits[20];  // 2^64 - 1 has 20
    char16_t* const end = digits + sizeof digits / sizeof digits[0];
    char16_t* first = end;
    do {
        *--first = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    std::u16string text;
    text.reserve(static_cast<std::size_t>(end - first) + (negative ? 1 : 0));
    if (negative) text += u'-';
    text.append(first, end);
    return text;
}

}  // namespace vantrel
