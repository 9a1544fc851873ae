#include "core/ascii.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <iterator>
#include <string>

namespace vantrel {
namespace {

TEST(AsciiTest, CharacterClasses) {
    const struct {
        char16_t c;
        bool digit, letter;
        int hex;
        char16_t lower;
    } cases[] = {
        {u'0', true, false, 0, u'0'},
        {u'9', true, false, 9, u'9'},
        {u'a', false, true, 10, u'a'},
        {u'f', false, true, 15, u'f'},
        {u'F', false, true, 15, u'f'},
        {u'g', false, true, -1, u'g'},
        {u'A', false, true, 10, u'a'},
        {u'Z', false, true, -1, u'z'},
        {u'z', false, true, -1, u'z'},
        {u'/', false, false, -1, u'/'},  // the neighbours of the ranges
        {u':', false, false, -1, u':'},
        {u'@', false, false, -1, u'@'},
        {u'[', false, false, -1, u'['},
        {u'`', false, false, -1, u'`'},
        {u'{', false, false, -1, u'{'},
        // Beyond ASCII nothing counts, whatever a locale says: a full-width
        // digit, a capital with an accent, and units whose low byte is ASCII.
        {u'\uFF11', false, false, -1, u'\uFF11'},
        {u'\u00C9', false, false, -1, u'\u00C9'},
        {u'\u0130', false, false, -1, u'\u0130'},
        {u'\u0141', false, false, -1, u'\u0141'},
        {u'\u0161', false, false, -1, u'\u0161'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.c));
        EXPECT_EQ(IsAsciiDigit(c.c), c.digit);
        EXPECT_EQ(IsAsciiLetter(c.c), c.letter);
        EXPECT_EQ(AsciiHexValue(c.c), c.hex);
        EXPECT_EQ(IsAsciiHexDigit(c.c), c.hex >= 0);
        EXPECT_EQ(AsciiLower(c.c), c.lower);
    }
    // A byte above 0x7F is no digit or letter, signed char or not.
    EXPECT_FALSE(IsAsciiDigit('\xB9'));
    EXPECT_FALSE(IsAsciiLetter('\xC1'));
    EXPECT_EQ(AsciiLower('\xC1'), '\xC1');
    EXPECT_EQ(AsciiLower(L'Q'), L'q');
}

TEST(AsciiTest, TextCaseAndTrimming) {
    EXPECT_EQ(AsciiLower(u"Set-Cookie \u00C9T\u00C9"), u"set-cookie \u00C9t\u00C9");
    EXPECT_TRUE(EqualsIgnoringAsciiCase(u"Content-TYPE", u"content-type"));
    EXPECT_TRUE(EqualsIgnoringAsciiCase(u"", u""));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(u"\u00C9", u"\u00E9"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(u"name", u"names"));

    const struct {
        std::u16string text;
        std::string_view leading, trailing;
        std::u16string trimmed;
    } cases[] = {
        {u" \t a b \t ", kSpaceAndTab, kSpaceAndTab, u"a b"},
        {u"\r\n a \r\n", kSpaceAndTab, kSpaceAndTab, u"\r\n a \r\n"},
        {u" value\r\n", kSpaceAndTab, " \t\r\n", u"value"},
        {u"\r value", kSpaceAndTab, " \t\r\n", u"\r value"},
        {u" \t ", kSpaceAndTab, kSpaceAndTab, u""},
        {u"", kSpaceAndTab, kSpaceAndTab, u""},
        {u"\u00A0a\u3000", kSpaceAndTab, kSpaceAndTab, u"\u00A0a\u3000"},  // no blanks beyond ASCII
        {u"\x1A\v key \f", "\t\n\v\f\r\x1A ", "\t\n\v\f\r\x1A ", u"key"},
        {u"done.. ", "", ". ", u"done"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Trim(std::u16string_view(cases[i].text), cases[i].leading, cases[i].trailing),
                  cases[i].trimmed);
    }
    EXPECT_EQ(Trim(std::u16string_view(u"\t x \t")), u"x");
    EXPECT_EQ(Trim(std::string_view(" x\r\n"), kSpaceAndTab, " \t\r\n"), "x");
    EXPECT_EQ(Trim(std::wstring_view(L" x\r")), L"x\r");
}

TEST(AsciiTest, Decimal) {
    EXPECT_EQ(Decimal(0), u"0");
    EXPECT_EQ(Decimal(7), u"7");
    EXPECT_EQ(Decimal(3050), u"3050");
    EXPECT_EQ(Decimal(-1), u"-1");
    EXPECT_EQ(Decimal(INT32_MIN), u"-2147483648");
    EXPECT_EQ(Decimal(INT32_MAX), u"2147483647");
    EXPECT_EQ(Decimal(INT64_MIN), u"-9223372036854775808");
    EXPECT_EQ(Decimal(UINT64_MAX), u"18446744073709551615");
    EXPECT_EQ(Decimal(std::uint32_t{4294967295u}), u"4294967295");  // unsigned: never a sign
    EXPECT_EQ(Decimal(static_cast<short>(-32768)), u"-32768");
    EXPECT_EQ(Decimal(std::size_t{8}), u"8");
}

}  // namespace
}  // namespace vantrel
