#include "core/trace.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vantrel::trace {
namespace {

struct Lines : Sink {
    explicit Lines(std::vector<std::string>& out) : out_(out) {}
    void Write(std::string_view line) override { out_.emplace_back(line); }
    std::vector<std::string>& out_;
};

class TraceTest : public ::testing::Test {
protected:
    void StartHere() {
        Start(std::make_unique<Lines>(lines), [this] { return now; });
    }
    void TearDown() override { Stop(); }

    std::vector<std::string> lines;
    std::uint64_t now = 1000;
};

TEST_F(TraceTest, LinesCarryTheMillisecondsSinceTheStartAndTheStep) {
    StartHere();
    ASSERT_TRUE(On());
    Line("start", u"vantrel 1.0.0");
    now += 12;
    Line("company", u"settings C:\\ERP\\BANCO.INI found");
    now += 123456;
    Line("end", u"");
    EXPECT_EQ(lines,
              (std::vector<std::string>{"    0 start: vantrel 1.0.0",
                                        "   12 company: settings C:\\ERP\\BANCO.INI found", "123468 end: "}));
}

TEST_F(TraceTest, EverythingButPrintableAsciiIsEscaped) {
    struct Case {
        std::u16string text;
        std::string shown;
    } cases[] = {
        {u"plain ~ text!", "plain ~ text!"},
        {u"S\u00e3o Jo\u00e3o", "S\\u00E3o Jo\\u00E3o"},
        {u"tab\there\r\n", "tab\\u0009here\\u000D\\u000A"},
        {std::u16string(u"\u007f\0", 2), "\\u007F\\u0000"},
        {u"\U0001F600", "\\uD83D\\uDE00"},  // each UTF-16 code unit on its own
    };
    for (const auto& c : cases) EXPECT_EQ(PlainAscii(c.text), c.shown);
}

TEST_F(TraceTest, SecretsAreMasked) {
    EXPECT_EQ(Masked(u"--config \"host=h,key=K3y\" K3yK3y", u"K3y"), u"--config \"host=h,key=***\" ******");
    EXPECT_EQ(Masked(u"nothing here", u"K3y"), u"nothing here");
    EXPECT_EQ(Masked(u"an empty secret masks nothing", u""), u"an empty secret masks nothing");

    StartHere();
    Conceal(u"s3cret");
    Conceal(u"");
    Line("key", u"sent s3cret and s3cret again");
    EXPECT_EQ(lines, std::vector<std::string>{"    0 key: sent *** and *** again"});
}

TEST_F(TraceTest, OffWritesNothingAndForgetsTheSecrets) {
    EXPECT_FALSE(On());
    Line("start", u"nothing");  // no sink, nothing happens
    StartHere();
    Conceal(u"s3cret");
    Stop();
    EXPECT_FALSE(On());
    Line("start", u"after the stop");
    EXPECT_TRUE(lines.empty());

    Start(nullptr, [] { return std::uint64_t{0}; });  // no sink: stays off
    EXPECT_FALSE(On());

    StartHere();
    Line("key", u"s3cret");  // a new trace starts with no secrets
    EXPECT_EQ(lines, std::vector<std::string>{"    0 key: s3cret"});
}

}  // namespace
}  // namespace vantrel::trace
