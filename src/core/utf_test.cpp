#include "core/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrel {
namespace {

TEST(UtfTest, Utf8ToUtf16) {
    // Each ill-formed part gives one U+FFFD; the byte that broke a sequence
    // starts what follows.
    const struct {
        std::string bytes;
        std::u16string text;
        bool well_formed;
    } cases[] = {
        {"", u"", true},
        {"plain", u"plain", true},
        {"caf\xC3\xA9", u"caf\u00E9", true},
        {"\xE2\x82\xAC", u"\u20AC", true},
        {"\xF0\x9F\x98\x80", u"\U0001F600", true},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF", true},
        {"\xEF\xBF\xBD", u"\uFFFD", true},  // a real U+FFFD is a character like any other
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3), true},
        {"\xFF", u"\uFFFD", false},
        {"a\x80z", u"a\uFFFDz", false},
        {"\xC3", u"\uFFFD", false},
        {"\xC3z", u"\uFFFDz", false},
        {"\xE2\x82", u"\uFFFD", false},
        {"\xE2\x82z", u"\uFFFDz", false},
        {"\xC0\xAF", u"\uFFFD\uFFFD", false},                      // overlong: C0 never starts a sequence
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD", false},            // overlong three-byte form
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},            // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},  // above U+10FFFF
        {"\xF0\x9F\x98", u"\uFFFD", false},
        {"\xF0\x9F\x98\xC3\xA9", u"\uFFFD\u00E9", false},  // cut short by the next character
        {"\xE9t\xE9", u"\uFFFDt\uFFFD", false},            // Latin-1, read as UTF-8
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text);
        EXPECT_EQ(IsUtf8(c.bytes), c.well_formed);
        if (c.well_formed) {
            EXPECT_EQ(Utf16ToUtf8(c.text), c.bytes);
        }
    }
}

TEST(UtfTest, Utf16ToUtf8) {
    const struct {
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {u"caf\u00E9 \u20AC \U0001F600", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {std::u16string{u'a', 0xD800, u'b'}, "a\xEF\xBF\xBD"
                                             "b"},  // an unpaired high surrogate
        {std::u16string{0xDC00, 0xD800}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {std::u16string{0xD800}, "\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        EXPECT_EQ(Utf16ToUtf8(c.text), c.bytes);
    }
}

TEST(UtfTest, Utf8ElseLatin1) {
    const struct {
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"plain", u"plain"},
        {"caf\xC3\xA9", u"caf\u00E9"},
        {"caf\xE9", u"caf\u00E9"},
        // A header or message that holds a real U+FFFD is UTF-8, not Latin-1.
        {"a\xEF\xBF\xBD"
         "b",
         u"a\uFFFDb"},
        // One ill-formed byte anywhere makes all of it Latin-1.
        {"\xC3\xA9\xE9", u"\u00C3\u00A9\u00E9"},
        {"\xEF\xBF\xBD\xFF", u"\u00EF\u00BF\u00BD\u00FF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        EXPECT_EQ(Utf8ElseLatin1(c.bytes), c.text);
    }
    EXPECT_EQ(Latin1ToUtf16(std::string_view("\x00\x7F\x80\xFF", 4)),
              (std::u16string{0x00, 0x7F, 0x80, 0xFF}));
}

}  // namespace
}  // namespace vantrel
