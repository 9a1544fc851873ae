// Conversions to text and to integer.
#include <climits>

#include "testing/json_text.h"

namespace vantrel::json {
namespace {

using testing::ExpectError;

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
