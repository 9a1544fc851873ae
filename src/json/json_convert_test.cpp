// Conversions to text and to integer, and the integer-text rule.
#include <climits>

#include "testing/json_text.h"

namespace vantrel::json {
namespace {

using testing::ExpectError;

TEST(JsonConvert, IntegerTextRule) {
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

TEST(JsonConvert, ToIntegerByKind) {
    const struct {
        const char* json;
        std::int32_t number;
    } accepted[] = {
        {"7", 7},        {"-7", -7},      {"\"12\"", 12},
        {"\" 12\"", 12}, {"\"$1F\"", 31}, {"-2147483648", INT32_MIN},
        {"true", 1},     {"false", 0},
    };
    for (const auto& c : accepted) {
        const auto v = ParseUtf8(c.json);
        ASSERT_NE(v, nullptr) << c.json;
        EXPECT_EQ(ToInteger(*v), c.number) << c.json;
    }

    const struct {
        const char* json;
        std::u16string kind;
        std::u16string message;
    } refused[] = {
        {"\"12 \"", u"EConvertError", u"'12 ' is not a valid integer value"},
        {"\"\"", u"EConvertError", u"'' is not a valid integer value"},
        {"\"abc\"", u"EConvertError", u"'abc' is not a valid integer value"},
        {"1.0", u"EConvertError", u"'1.0' is not a valid integer value"},
        {"7e0", u"EConvertError", u"'7e0' is not a valid integer value"},
        {"2147483648", u"EConvertError", u"'2147483648' is not a valid integer value"},
        {"null", u"EJSONException", u"Conversion from TJSONNull to Integer is not supported"},
        {"{}", u"EJSONException", u"Conversion from TJSONObject to Integer is not supported"},
        {"[1]", u"EJSONException", u"Conversion from TJSONArray to Integer is not supported"},
    };
    for (const auto& c : refused) {
        const auto v = ParseUtf8(c.json);
        ASSERT_NE(v, nullptr) << c.json;
        ExpectError([&] { ToInteger(*v); }, c.kind, c.message);
    }
}

TEST(JsonConvert, ToTextByKind) {
    const struct {
        const char* json;
        std::u16string text;
    } accepted[] = {
        {"\"abc\"", u"abc"}, {"\"\"", u""},       {R"("a\"\u00E9")", u"a\"\u00E9"},
        {"1E5", u"1E5"},     {"1.50", u"1.50"},   {"-0", u"-0"},
        {"true", u"true"},   {"false", u"false"}, {"null", u""},
    };
    for (const auto& c : accepted) {
        const auto v = ParseUtf8(c.json);
        ASSERT_NE(v, nullptr) << c.json;
        EXPECT_EQ(ToText(*v), c.text) << c.json;
    }
    ExpectError([] { ToText(Value::Object()); }, u"EJSONException",
                u"Conversion from TJSONObject to string is not supported");
    ExpectError([] { ToText(Value::Array()); }, u"EJSONException",
                u"Conversion from TJSONArray to string is not supported");
}

}  // namespace
}  // namespace vantrel::json
