// The compact text form and its two escape options.
#include "testing/json_text.h"

namespace vantrel::json {
namespace {

TEST(JsonWrite, DocumentWithBothEscapes) {
    Value doc = Value::Object();
    doc.AddMember(u"n", u"Line 1\r\nC:\\dir/a \"b\" \u00E9")
        .AddMember(u"e", Value::Object())
        .AddMember(u"a", Value::Array()
                             .AddItem(Value::True())
                             .AddItem(Value::False())
                             .AddItem(Value::Null())
                             .AddItem(Value::Number(0))
                             .AddItem(Value::Number(-5)));
    EXPECT_EQ(Write(doc, {true, true}),
              uR"({"n":"Line 1\r\nC:\\dir\/a \"b\" \u00E9","e":{},"a":[true,false,null,0,-5]})");
}

TEST(JsonWrite, EscapesPerCodeUnitAndOption) {
    const struct {
        std::u16string text;
        std::u16string both;     // both options on
        std::u16string neither;  // both options off
    } cases[] = {
        {u"plain ~ text", uR"("plain ~ text")", uR"("plain ~ text")"},
        {u"\" \\ /", uR"("\" \\ \/")", uR"("\" \\ \/")"},
        {u"\b\t\n\f\r", uR"("\b\t\n\f\r")", uR"("\b\t\n\f\r")"},
        {u"\x1B", uR"("\u001B")", u"\"\x1B\""},
        {std::u16string(1, 0), uR"("\u0000")", std::u16string{u'"', 0, u'"'}},
        {u"\x01\x0B\x0E\x1F", uR"("\u0001\u000B\u000E\u001F")", u"\"\x01\x0B\x0E\x1F\""},
        {u"\x7F", u"\"\x7F\"", u"\"\x7F\""},
        {u"\u0080\u00AB\u00E9", uR"("\u0080\u00AB\u00E9")", u"\"\u0080\u00AB\u00E9\""},
        {u"\u20AC\uFFFF", uR"("\u20AC\uFFFF")", u"\"\u20AC\uFFFF\""},
        {u"\U0001F600", uR"("\uD83D\uDE00")", u"\"\U0001F600\""},
        {std::u16string{0xDC00, u'x'}, uR"("\uDC00x")", std::u16string{u'"', 0xDC00, u'x', u'"'}},
    };
    for (const auto& c : cases) {
        const Value s = Value::String(c.text);
        const std::u16string both = Write(s, {true, true});
        const std::u16string neither = Write(s, {false, false});
        EXPECT_EQ(both, c.both) << ::testing::PrintToString(c.text);
        EXPECT_EQ(neither, c.neither) << ::testing::PrintToString(c.text);
    }
}

// Each option governs only its own range.
TEST(JsonWrite, OptionsAreIndependent) {
    const Value s = Value::String(u"\x1B\u00E9");
    EXPECT_EQ(Write(s, {true, false}), u"\"\\u001B\u00E9\"");
    EXPECT_EQ(Write(s, {false, true}), u"\"\x1B\\u00E9\"");
}

TEST(JsonWrite, NamesAreEscapedLikeStrings) {
    Value o = Value::Object();
    o.AddMember(u"a/\u00E9\t", 1);
    EXPECT_EQ(Write(o), uR"({"a\/\u00E9\t":1})");
}

TEST(JsonWrite, ScalarsAndEmptyContainers) {
    EXPECT_EQ(Write(Value::True()), u"true");
    EXPECT_EQ(Write(Value::False()), u"false");
    EXPECT_EQ(Write(Value::Null()), u"null");
    EXPECT_EQ(Write(Value::NumberText(u"1E5")), u"1E5");
    const auto nested = ParseUtf8("[[],{},[[]],{\"a\":{}}]");
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(Write(*nested), u"[[],{},[[]],{\"a\":{}}]");
}

TEST(JsonWrite, WriteToAppends) {
    std::u16string out = u"x=";
    WriteTo(out, Value::Array().AddItem(Value::Number(1)));
    WriteTo(out, Value::String(u"\u00E9"), {false, false});
    EXPECT_EQ(out, u"x=[1]\"\u00E9\"");
}

}  // namespace
}  // namespace vantrel::json
