// The small ASCII rules that texts of every layer share: digit, letter and
// blank tests, ASCII case, trimming, and the decimal text of a number. They
// look at ASCII alone and never at a locale: any other code unit is no digit,
// no letter and no blank, and keeps its case. The tests take a code unit of any
// width and compare it whole, so a UTF-16 unit is never cut down to a byte.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace vantrel {

template <std::integral Char>
constexpr bool IsAsciiDigit(Char c) {
    return c >= Char('0') && c <= Char('9');
}

template <std::integral Char>
constexpr bool IsAsciiLetter(Char c) {
    return (c >= Char('A') && c <= Char('Z')) || (c >= Char('a') && c <= Char('z'));
}

// The value of a hexadecimal digit in either letter case, or -1.
template <std::integral Char>
constexpr int AsciiHexValue(Char c) {
    if (c >= Char('0') && c <= Char('9')) return static_cast<int>(c - Char('0'));
    if (c >= Char('a') && c <= Char('f')) return static_cast<int>(c - Char('a')) + 10;
    if (c >= Char('A') && c <= Char('F')) return static_cast<int>(c - Char('A')) + 10;
    return -1;
}

template <std::integral Char>
constexpr bool IsAsciiHexDigit(Char c) {
    return AsciiHexValue(c) >= 0;
}

template <std::integral Char>
constexpr Char AsciiLower(Char c) {
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c + ('a' - 'A')) : c;
}

// `text` with A to Z in lower case.
std::u16string AsciiLower(std::u16string_view text);

// Whether `a` and `b` are the same text when A to Z count as a to z.
bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

// Space and horizontal tab, the blanks of HTTP headers and cookies.
inline constexpr std::string_view kSpaceAndTab = " \t";

// Whether `c` is one of the ASCII characters of `set`.
template <std::integral Char>
constexpr bool IsOneOf(Char c, std::string_view set) {
    for (char s : set) {
        if (c == static_cast<Char>(s)) return true;
    }
    return false;
}

// `text` without the characters of `leading` at its start and those of
// `trailing` at its end.
template <std::integral Char>
constexpr std::basic_string_view<Char> Trim(std::basic_string_view<Char> text, std::string_view leading,
                                            std::string_view trailing) {
    while (!text.empty() && IsOneOf(text.front(), leading)) text.remove_prefix(1);
    while (!text.empty() && IsOneOf(text.back(), trailing)) text.remove_suffix(1);
    return text;
}

// `text` without the characters of `blanks` at either end.
template <std::integral Char>
constexpr std::basic_string_view<Char> Trim(std::basic_string_view<Char> text,
                                            std::string_view blanks = kSpaceAndTab) {
    return Trim(text, blanks, blanks);
}

// The decimal digits of `magnitude`, after a minus sign when `negative`.
std::u16string DecimalText(std::uint64_t magnitude, bool negative);

// The decimal text of a number: its digits, after a minus sign when negative.
template <std::integral Number>
std::u16string Decimal(Number value) {
    if constexpr (std::is_signed_v<Number>) {
        // 0 - the value's two's-complement bits is its magnitude, the smallest value's too.
        if (value < 0) return DecimalText(0 - static_cast<std::uint64_t>(value), true);
    }
    return DecimalText(static_cast<std::uint64_t>(value), false);
}

}  // namespace vantrel
