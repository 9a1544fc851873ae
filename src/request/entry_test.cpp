#include "request/entry.h"

#include <gtest/gtest.h>

#include "platform/fakes/fake_platform.h"

namespace vantrel::request {
namespace {

class EntryTest : public ::testing::Test, protected platform::FakePlatform {
protected:
    int RunTool() { return request::Run(sys); }
    std::string Log() {
        auto it = files.nodes.find(u"C:\\Work\\LogVantrel.txt");
        return it == files.nodes.end() ? std::string("<none>") : it->second->bytes;
    }
};

TEST_F(EntryTest, LocaleFirstThenRequestFromTheNamedFile) {
    process.arguments = {u"Stdin", u"pedido.json"};
    console.files = {{u"C:\\Work\\pedido.json", "[1]"}};
    EXPECT_EQ(RunTool(), 0);
    EXPECT_EQ(process.locale_calls, 1);
    EXPECT_EQ(console.opened, (std::vector<std::u16string>{u"C:\\Work\\pedido.json", u"<stdout>"}));
    EXPECT_EQ(console.stdout_bytes,
              R"({"log":[],"erro":{"class_erro":"EInvalidCast","msg_erro":"Invalid class typecast"}})");
}

// Where the locale's capital of i is not I, "stdin" is no mode word: the request
// comes from standard input and the second argument is ignored.
TEST_F(EntryTest, ModeWordComparedAfterLocaleCasing) {
    process.upper_i = u'\u0130';
    process.arguments = {u"stdin", u"pedido.json"};
    console.files = {{u"C:\\Work\\pedido.json", "[1]"}};
    console.stdin_bytes = R"({"solicitacao":1})";
    RunTool();
    EXPECT_EQ(console.opened.front(), u"<stdin>");
    EXPECT_EQ(console.stdout_bytes, R"({"log":[],"Msg":"Sucesso"})");
}

TEST_F(EntryTest, NoArgumentsReadsNothing) {
    console.stdin_bytes = "[1]";
    http.script = {platform::FakeHttpTransport::Reply(200, u"OK", {}, R"({"token":"k"})")};
    RunTool();
    EXPECT_EQ(console.opened, std::vector<std::u16string>{u"<stdout>"});
    EXPECT_EQ(console.stdout_bytes, R"({"log":[],"Msg":"Sucesso"})");
    EXPECT_EQ(Log(), "|" + std::string("21/08/2025 14:03:07") +
                         R"(| {"log":[],"Msg":"Sucesso"})"
                         "\r\n");
}

// A log that cannot be written: the report follows the result on the same line,
// and the run still ends normally.
TEST_F(EntryTest, LogFailureIsReportedAfterTheResult) {
    files.Put(u"C:\\Work\\LogVantrel.txt", "old\r\n");
    files.open_error = platform::FakeFileSystem::kAccessDenied;
    process.arguments = {u"x"};
    console.stdin_bytes = R"({"solicitacao":1})";
    EXPECT_EQ(RunTool(), 0);
    EXPECT_EQ(console.stdout_bytes,
              "{\"log\":[],\"Msg\":\"Sucesso\"}"
              "EInOutError: Cannot open file \"C:\\Work\\LogVantrel.txt\". Access is denied\r\n"
              "[C:\\Work\\LogVantrel.txt]\r\n");
    EXPECT_EQ(Log(), "old\r\n");
}

}  // namespace
}  // namespace vantrel::request
