#include "core/integer_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace vantrel {
namespace {

TEST(IntegerTextTest, Rule) {
    const struct {
        std::u16string text;
        std::optional<std::int32_t> number;
    } cases[] = {
        {u"12", 12},
        {u"  12", 12},
        {u"+12", 12},
        {u"-12", -12},
        {u"0", 0},
        {u"-0", 0},
        {u"007", 7},
        {u"2147483647", INT32_MAX},
        {u"-2147483648", INT32_MIN},
        {u"0000000000002147483647", INT32_MAX},
        {u"$1F", 31},
        {u"0x1F", 31},
        {u"0X1f", 31},
        {u"x1F", 31},
        {u"X1F", 31},
        {u"$ff", 255},
        {u"-$1", -1},
        {u"+$10", 16},
        {u" -0x10", -16},
        {u"$FFFFFFFF", -1},
        {u"$80000000", INT32_MIN},
        {u"-$80000000", INT32_MIN},
        {u"-$FFFFFFFF", 1},
        {u"$7FFFFFFF", INT32_MAX},
        {u"$000000000001", 1},
        // Refused.
        {u"", std::nullopt},
        {u" ", std::nullopt},
        {u"12 ", std::nullopt},
        {u"\t12", std::nullopt},
        {u"2147483648", std::nullopt},
        {u"-2147483649", std::nullopt},
        {u"99999999999999999999", std::nullopt},
        {u"$100000000", std::nullopt},
        {u"0x", std::nullopt},
        {u"$", std::nullopt},
        {u"-", std::nullopt},
        {u"+-1", std::nullopt},
        {u"--1", std::nullopt},
        {u"- 1", std::nullopt},
        {u"1.0", std::nullopt},
        {u"7e0", std::nullopt},
        {u"1,000", std::nullopt},
        {u"$1G", std::nullopt},
        {u"0x$1", std::nullopt},
        {u"$-1", std::nullopt},
        {u"00x1", std::nullopt},
        {u"1x1", std::nullopt},
        {u"\u0661", std::nullopt},
        {u"\uFF11", std::nullopt},
        {std::u16string(1, 0), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseIntegerText(c.text), c.number) << ::testing::PrintToString(c.text);
}

}  // namespace
}  // namespace vantrel
