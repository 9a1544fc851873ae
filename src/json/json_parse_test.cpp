// The parse: which texts are accepted, what tree they give, and which are refused.
#include <string>

#include "testing/json_text.h"

namespace vantrel::json {
namespace {

using namespace std::string_literals;
using testing::Reparsed;

struct Accepted {
    std::string text;      // UTF-8 input
    std::u16string write;  // its compact text form, both escapes on
};

TEST(JsonParse, AcceptedTextsWriteBackCompact) {
    const Accepted cases[] = {
        // White space: only around tokens, and after a closing brace or bracket.
        {"{}\r\n", u"{}"},
        {" \t\r\n[ 1 ,\t2\n]  ", u"[1,2]"},
        {"{ \"a\" : 1 , \"b\" : [ ] }", u"{\"a\":1,\"b\":[]}"},
        {"[[] ,{} ]\n", u"[[],{}]"},
        // Top-level scalars, numbers kept exactly as written.
        {"5", u"5"},
        {"-0", u"-0"},
        {"1.50", u"1.50"},
        {"1E5", u"1E5"},
        {"-12.5e+07", u"-12.5e+07"},
        {"0.0E-0", u"0.0E-0"},
        {"123456789012345678901234567890", u"123456789012345678901234567890"},
        {"\"abc\"", u"\"abc\""},
        {"\"\"", u"\"\""},
        {"true", u"true"},
        {"false", u"false"},
        {"null", u"null"},
        // Repeated and empty names stay, in text order.
        {"{\"a\":1,\"a\":2}", u"{\"a\":1,\"a\":2}"},
        {"{\"\":{\"\":[]}}", u"{\"\":{\"\":[]}}"},
        {"[{\"a\":[{\"b\":[1,[2]]},{}],\"c\":{\"d\":null}},3]",
         u"[{\"a\":[{\"b\":[1,[2]]},{}],\"c\":{\"d\":null}},3]"},
        // Raw control characters inside strings are kept.
        {"[\"a\tb\"]", u"[\"a\\tb\"]"},
        {"\"x\r\ny\"", u"\"x\\r\\ny\""},
        {"\"\x01\x1F\"", u"\"\\u0001\\u001F\""},
        {"\"a\0b\""s, u"\"a\\u0000b\""},
        // Escapes.
        {R"("\" \\ \/ \b \f \n \r \t")", uR"("\" \\ \/ \b \f \n \r \t")"},
        {R"("\u00e9\u00E9\u0041")", uR"("\u00E9\u00E9A")"},
        {R"("\uD800 \uDC00 \uD83D\uDE00")", uR"("\uD800 \uDC00 \uD83D\uDE00")"},
        {R"("\u0000")", uR"("\u0000")"},
        // UTF-8 content; beyond U+FFFF as a surrogate pair.
        {"\"\xC3\xA9\xE2\x82\xAC\"", uR"("\u00E9\u20AC")"},
        {"\"\xF0\x9F\x98\x80\"", uR"("\uD83D\uDE00")"},
        {"\"\xF4\x8F\xBF\xBF\"", uR"("\uDBFF\uDFFF")"},
        // Ill-formed UTF-8 in a string: U+FFFD per maximal ill-formed subsequence.
        {"\"\xFF\"", uR"("\uFFFD")"},
        {"\"a\x80z\"", uR"("a\uFFFDz")"},
        {"\"\xC3\"", uR"("\uFFFD")"},
        {"\"\xE2\x82\"", uR"("\uFFFD")"},
        {"\"\xE2\x82z\"", uR"("\uFFFDz")"},
        {"\"\xC0\xAF\"", uR"("\uFFFD\uFFFD")"},
        {"\"\xED\xA0\x80\"", uR"("\uFFFD\uFFFD\uFFFD")"},
        {"\"\xF4\x90\x80\x80\"", uR"("\uFFFD\uFFFD\uFFFD\uFFFD")"},
        {"\"\xF0\x9F\x98\"", uR"("\uFFFD")"},
        // Byte-order mark at the very start.
        {"\xEF\xBB\xBF{}", u"{}"},
        {"\xEF\xBB\xBF 7", u"7"},
    };
    for (const auto& c : cases) EXPECT_EQ(Reparsed(c.text), c.write) << "text: " << c.text;
}

TEST(JsonParse, RefusedTextsGiveNoValue) {
    const std::string cases[] = {
        "",
        " ",
        "\r\n",
        // A top-level scalar must end the text.
        "5 ",
        "5\r\n",
        "\"a\" ",
        "true\n",
        "truex",
        "01",
        "1 2",
        // Content after the value.
        "{}{}",
        "[]]",
        "[1]x",
        "{} x",
        // Separators.
        "{\"a\":1,}",
        "[1,]",
        "[,]",
        "[,1]",
        "[1,,2]",
        "[1 2]",
        "{\"a\" 1}",
        "{\"a\":}",
        "{\"a\":1 \"b\":2}",
        "{1:2}",
        "{a:1}",
        "{\"a\"}",
        "{,}",
        // Unterminated.
        "[1",
        "{",
        "{\"a\":1",
        "\"abc",
        "[\"a\\\"]",
        "\"\\",
        // Numbers.
        "{\"n\":01}",
        "{\"n\":1.}",
        "{\"n\":.5}",
        "{\"n\":+1}",
        "{\"n\":1e}",
        "{\"n\":-e5}",
        "{\"n\":1e+}",
        "-",
        "--1",
        "1.e5",
        "[-]",
        "[0x1F]",
        "[1.5.5]",
        // Literals: lower case and whole.
        "True",
        "NULL",
        "nul",
        "[truex]",
        "[nulll]",
        "fals",
        // Escapes outside the list, short \u.
        R"("\x41")",
        R"("\U0041")",
        R"("\u00G0")",
        R"("\u12")",
        R"("\')",
        // White space beyond TAB LF CR SPACE; byte-order mark not at the start.
        "\f{}",
        "{}\v",
        "\xC2\xA0[]",
        " \xEF\xBB\xBF{}",
        "\xEF\xBB{}",
        // Other starts.
        "'a'",
        "}",
        "]",
        ":",
        "\xC3\xA9",
    };
    for (const auto& text : cases) EXPECT_EQ(Reparsed(text), u"<none>") << "text: " << text;
}

TEST(JsonParse, TreeHoldsKindsOrderAndTexts) {
    const auto v = ParseUtf8(R"({"s":"x","n":-1.50,"t":true,"f":false,"z":null,"o":{},"a":[1,"2"],"s":"y"})");
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(v->kind(), Kind::Object);
    const auto& m = v->members();
    ASSERT_EQ(m.size(), 8u);
    const std::u16string names[] = {u"s", u"n", u"t", u"f", u"z", u"o", u"a", u"s"};
    const Kind kinds[] = {Kind::String, Kind::Number, Kind::True,  Kind::False,
                          Kind::Null,   Kind::Object, Kind::Array, Kind::String};
    for (std::size_t i = 0; i < m.size(); ++i) {
        EXPECT_EQ(m[i].name, names[i]);
        EXPECT_EQ(m[i].value.kind(), kinds[i]);
    }
    EXPECT_EQ(m[0].value.text(), u"x");
    EXPECT_EQ(m[1].value.text(), u"-1.50");
    EXPECT_EQ(m[7].value.text(), u"y");
    ASSERT_EQ(m[6].value.items().size(), 2u);
    EXPECT_EQ(m[6].value.items()[0].kind(), Kind::Number);
    EXPECT_EQ(m[6].value.items()[1].kind(), Kind::String);
    EXPECT_EQ(m[6].value.items()[1].text(), u"2");
}

TEST(JsonParse, StringsKeepEveryCodeUnit) {
    const auto v = ParseUtf8("\"\0\t\r\n\xF0\x9F\x98\x80\\uDC00\""s);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->text(), (std::u16string{0, u'\t', u'\r', u'\n', 0xD83D, 0xDE00, 0xDC00}));
}

// Parse of UTF-16 text goes through UTF-8 and must agree with ParseUtf8.
TEST(JsonParse, Utf16TextReadsAsItsUtf8) {
    const struct {
        std::u16string text;
        std::u16string write;
    } cases[] = {
        {u"{\"a\":\"\u00E9\"}\r\n", uR"({"a":"\u00E9"})"},
        {u"\"\U0001F600\"", uR"("\uD83D\uDE00")"},
        {std::u16string{u'"', 0xD800, u'x', u'"'}, uR"("\uFFFDx")"},
        {std::u16string{u'"', 0xDC00, 0xD800, u'"'}, uR"("\uFFFD\uFFFD")"},
        {uR"("\uD800")", uR"("\uD800")"},
        {u"\uFEFF[]", u"[]"},
        {u" \uFEFF[]", u"<none>"},
        {u"5 ", u"<none>"},
        {u"[\u00A0]", u"<none>"},
        {std::u16string{u'"', 0, u'"'}, uR"("\u0000")"},
    };
    for (const auto& c : cases) {
        const auto v = Parse(c.text);
        EXPECT_EQ(v ? Write(*v) : u"<none>", c.write) << ::testing::PrintToString(c.text);
    }
}

TEST(JsonParse, AtMost512ContainersOpenAtOnce) {
    const struct {
        std::string open, inner, close;
        int steps;
        bool accepted;
    } cases[] = {
        {"[", "", "]", 512, true},
        {"[", "", "]", 513, false},
        {"[", "1", "]", 512, true},
        {"{\"a\":", "{}", "}", 511, true},  // the inner {} is the 512th
        {"{\"a\":", "{}", "}", 512, false},
        {"[{\"k\":", "1", "}]", 256, true},  // two per step
        {"[{\"k\":", "[]", "}]", 256, false},
        // A closed container frees its place: siblings at the deepest level are fine.
        {"[", "[],{},[]", "]", 511, true},
    };
    for (const auto& c : cases) {
        std::string text;
        for (int i = 0; i < c.steps; ++i) text += c.open;
        text += c.inner;
        for (int i = 0; i < c.steps; ++i) text += c.close;
        const auto v = ParseUtf8(text);
        if (c.accepted) {
            ASSERT_NE(v, nullptr) << c.open << " x" << c.steps << " " << c.inner;
            EXPECT_EQ(Write(*v), std::u16string(text.begin(), text.end()));
        } else {
            EXPECT_EQ(v, nullptr) << c.open << " x" << c.steps << " " << c.inner;
        }
    }
}

TEST(JsonParse, MillionOpeningsGiveNoValueWithoutExhaustingTheStack) {
    const std::string brackets(1'000'000, '[');
    EXPECT_EQ(ParseUtf8(brackets), nullptr);
    EXPECT_EQ(Parse(std::u16string(brackets.begin(), brackets.end())), nullptr);
    std::string members;
    members.reserve(5'000'000);
    for (int i = 0; i < 1'000'000; ++i) members += "{\"a\":";
    EXPECT_EQ(ParseUtf8(members), nullptr);
}

}  // namespace
}  // namespace vantrel::json
