// The value tree: factories, adds, look-ups, paths, copy and deep trees.
#include <climits>
#include <string>

#include "testing/json_text.h"

namespace vantrel::json {
namespace {

using testing::ExpectError;

TEST(JsonModel, NumberFromIntegerIsPlainDecimal) {
    const struct {
        std::int32_t number;
        std::u16string text;
    } cases[] = {
        {0, u"0"},
        {7, u"7"},
        {-5, u"-5"},
        {1000, u"1000"},
        {INT32_MAX, u"2147483647"},
        {INT32_MIN, u"-2147483648"},
    };
    for (const auto& c : cases) {
        const Value v = Value::Number(c.number);
        EXPECT_EQ(v.kind(), Kind::Number);
        EXPECT_EQ(v.text(), c.text);
    }
}

TEST(JsonModel, FactoriesGiveTheirKinds) {
    EXPECT_EQ(Value::String(u"").kind(), Kind::String);
    EXPECT_EQ(Value::String(u"").text(), u"");
    EXPECT_EQ(Value::NumberText(u"1.50").text(), u"1.50");
    EXPECT_EQ(Value::Bool(true).kind(), Kind::True);
    EXPECT_EQ(Value::Bool(false).kind(), Kind::False);
    EXPECT_EQ(Value().kind(), Kind::Null);
    EXPECT_EQ(Value::Object().kind(), Kind::Object);
    EXPECT_EQ(Value::Array().kind(), Kind::Array);
    // Accessors of other kinds read as empty.
    EXPECT_TRUE(Value::Object().items().empty());
    EXPECT_TRUE(Value::Array().members().empty());
    EXPECT_TRUE(Value::True().text().empty());
}

TEST(JsonModel, AddsAppendAndChain) {
    Value result = Value::Object();
    result.AddMember(u"log", Value::Array()).AddMember(u"Msg", u"Sucesso");
    EXPECT_EQ(Write(result), uR"({"log":[],"Msg":"Sucesso"})");

    Value o = Value::Object();
    o.AddMember(u"n", 5)
        .AddMember(u"n", std::u16string(u"again"))
        .AddMember(u"t", ParseUtf8(R"({"x":[1]})"))
        .AddMember(u"z", Value::Null())
        .AddMember(u"a", Value::Array().AddItem(Value::Number(-1)).AddItem(Value::String(u"")));
    EXPECT_EQ(Write(o), uR"({"n":5,"n":"again","t":{"x":[1]},"z":null,"a":[-1,""]})");
}

TEST(JsonModel, AddsWithEmptyNameOrNoTreeAddNothing) {
    Value o = Value::Object();
    o.AddMember(u"", Value::Array())
        .AddMember(u"", u"text")
        .AddMember(u"", 1)
        .AddMember(u"x", std::unique_ptr<Value>())
        .AddMember(u"y", nullptr)
        .AddMember(u"z", ParseUtf8("not json"));
    EXPECT_TRUE(o.members().empty());

    // Adds to a value that is not an object (or items to a non-array) do nothing.
    Value a = Value::Array();
    a.AddMember(u"x", 1);
    EXPECT_EQ(Write(a), u"[]");
    Value s = Value::String(u"s");
    s.AddItem(Value::True());
    EXPECT_EQ(Write(s), uR"("s")");
}

TEST(JsonModel, MemberByNameTakesFirstExactMatch) {
    const auto v = ParseUtf8(R"({"a":1,"A":2,"a":3,"":4,"\u00E9":5})");
    ASSERT_NE(v, nullptr);
    const struct {
        std::u16string name;
        const char16_t* text;  // nullptr: no member
    } cases[] = {
        {u"a", u"1"},    {u"A", u"2"},     {u"", u"4"},     {u"\u00E9", u"5"},
        {u"b", nullptr}, {u"a ", nullptr}, {u"E", nullptr},
    };
    for (const auto& c : cases) {
        const Value* m = v->MemberByName(c.name);
        if (c.text == nullptr) {
            EXPECT_EQ(m, nullptr) << ::testing::PrintToString(c.name);
        } else {
            ASSERT_NE(m, nullptr) << ::testing::PrintToString(c.name);
            EXPECT_EQ(m->text(), c.text);
        }
    }
    EXPECT_EQ(Value::Array().MemberByName(u"a"), nullptr);
}

TEST(JsonModel, FindByPathFollowsNamesAndIndexes) {
    const auto doc =
        ParseUtf8(R"({"a":{"b":[10,{"c":"x"}]},"a":2,"":{"z":1},"arr":[[1,2],[3]],"solicitacao":0})");
    ASSERT_NE(doc, nullptr);
    const struct {
        std::u16string path;
        const char16_t* write;  // nullptr: nothing found
    } cases[] = {
        {u"", uR"({"a":{"b":[10,{"c":"x"}]},"a":2,"":{"z":1},"arr":[[1,2],[3]],"solicitacao":0})"},
        {u"solicitacao", u"0"},
        {u"a", uR"({"b":[10,{"c":"x"}]})"},  // first of the repeated names
        {u"a.b", uR"([10,{"c":"x"}])"},
        {u"a.b[0]", u"10"},
        {u"a.b[1].c", uR"("x")"},
        {u"arr[0][1]", u"2"},
        {u"arr[1][0]", u"3"},
        {u"arr[01][0]", u"3"},
        {u".z", u"1"},  // an empty first name
        {u"A", nullptr},
        {u"a.x", nullptr},
        {u"a.b[2]", nullptr},
        {u"a.b[-1]", nullptr},
        {u"a.b[]", nullptr},
        {u"a.b[1", nullptr},
        {u"a.b[x]", nullptr},
        {u"a.b[99999999999999999999999999]", nullptr},
        {u"a[0]", nullptr},     // index step on an object
        {u"arr.0", nullptr},    // name step on an array
        {u"a.b[1]c", nullptr},  // no '.' before the name
        {u"solicitacao.x", nullptr},
        {u"[0]", nullptr},
    };
    for (const auto& c : cases) {
        const Value* found = FindByPath(doc.get(), c.path);
        if (c.write == nullptr) {
            EXPECT_EQ(found, nullptr) << ::testing::PrintToString(c.path);
        } else {
            ASSERT_NE(found, nullptr) << ::testing::PrintToString(c.path);
            EXPECT_EQ(Write(*found), c.write) << ::testing::PrintToString(c.path);
        }
    }
    EXPECT_EQ(FindByPath(nullptr, u""), nullptr);
    EXPECT_EQ(FindByPath(nullptr, u"a"), nullptr);
    const auto array = ParseUtf8("[[5]]");
    ASSERT_NE(FindByPath(array.get(), u"[0][0]"), nullptr);
    EXPECT_EQ(FindByPath(array.get(), u"[0][0]")->text(), u"5");
}

TEST(JsonModel, CopyIsDeepAndIndependent) {
    const std::string text =
        R"({"s":"\u00E9\u0000","n":-1.50,"e":1E5,"t":true,"f":false,"z":null,"o":{"a":[[],{}]},"o":1})";
    auto original = ParseUtf8(text);
    ASSERT_NE(original, nullptr);
    const std::u16string written = Write(*original);

    Value copy = Copy(*original);
    EXPECT_EQ(Write(copy), written);
    copy.AddMember(u"extra", 1);
    EXPECT_EQ(Write(*original), written);
    original.reset();
    EXPECT_EQ(Write(copy), written.substr(0, written.size() - 1) + u",\"extra\":1}");

    for (const char* scalar : {"\"x\"", "7", "true", "false", "null"}) {
        const auto v = ParseUtf8(scalar);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(Write(Copy(*v)), Write(*v));
    }
}

TEST(JsonModel, CopyReadsEveryNumberAsDouble) {
    const std::u16string in_range[] = {
        u"0",
        u"-0",
        u"1e308",
        u"-1.7976931348623157e308",
        u"1.7976931348623157E+308",
        u"1e-400",
        u"-2.5e-99999999999",
        u"0e999999",
        u"0.000e99999999999999",
        u"123456789012345678901234567890",
        u"0.0000000000000000000001e330",
    };
    for (const auto& text : in_range) {
        Value array = Value::Array();
        array.AddItem(Value::NumberText(text));
        const Value copy = Copy(array);
        ASSERT_EQ(copy.items().size(), 1u);
        EXPECT_EQ(copy.items()[0].text(), text);
    }
    const std::u16string refused[] = {
        u"1e309",
        u"-1e309",
        u"1.8e308",
        u"10e308",
        u"1e99999999999999999999",
        u"100000000000000000000000000000e300",
        u"abc",
        u"",
        u"1.",
        u".5",
        u"1e",
        u"0x10",
        u"inf",
        u"nan",
        u"1 ",
        u"\u0661",
    };
    for (const auto& text : refused) {
        // Deep inside a tree, the failure still comes out of the copy.
        Value tree = Value::Object();
        tree.AddMember(u"a",
                       Value::Array().AddItem(Value::Object().AddMember(u"n", Value::NumberText(text))));
        ExpectError([&] { Copy(tree); }, u"EConvertError",
                    u"'" + text + u"' is not a valid floating point value");
        ExpectError([&] { Copy(Value::NumberText(text)); }, u"EConvertError",
                    u"'" + text + u"' is not a valid floating point value");
    }
}

// Trees built by adds can be far deeper than any parsed tree; none of the walks may
// recurse.
TEST(JsonModel, VeryDeepTreesAreSafe) {
    constexpr int kDepth = 200'000;
    Value deep = Value::Array();
    for (int i = 0; i < kDepth; ++i) {
        Value parent = (i % 2 == 0) ? Value::Object() : Value::Array();
        if (parent.kind() == Kind::Object)
            parent.AddMember(u"a", std::move(deep));
        else
            parent.AddItem(std::move(deep));
        deep = std::move(parent);
    }
    const std::u16string text = Write(deep);
    EXPECT_EQ(text.size(), static_cast<std::size_t>(kDepth / 2 * (6 + 2) + 2));
    Value copy = Copy(deep);
    EXPECT_EQ(Write(copy), text);

    std::u16string path;
    for (int i = 0; i < kDepth / 2; ++i) path += u"[0].a";
    const Value* bottom = FindByPath(&deep, path);
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(bottom->kind(), Kind::Array);
    EXPECT_TRUE(bottom->items().empty());
}  // `deep` and `copy` are freed here

}  // namespace
}  // namespace vantrel::json
