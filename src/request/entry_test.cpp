#include "request/entry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "accesskey/access_key.h"
#include "core/server_host.h"
#include "company/dm.h"
#include "company/firebird_client.h"
#include "core/utf.h"
#include "testing/fake_platform.h"
#include "testing/quote.h"

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
    files.Put(u"C:\\Work\\pedido.json", "[1]");
    EXPECT_EQ(RunTool(), 0);
    EXPECT_EQ(locale.locale_calls, 1);
    EXPECT_EQ(files.opened_for_reading, std::vector<std::u16string>{u"C:\\Work\\pedido.json"});
    EXPECT_EQ(console.opened, std::vector<std::u16string>{u"<stdout>"});
    EXPECT_EQ(console.stdout_bytes,
              R"({"log":[],"erro":{"class_erro":"EInvalidCast","msg_erro":"Invalid class typecast"}})");
}

// Where the locale's capital of i is not I, "stdin" is no mode word: the request
// comes from standard input and the second argument is ignored.
TEST_F(EntryTest, ModeWordComparedAfterLocaleCasing) {
    locale.upper_i = u'\u0130';
    process.arguments = {u"stdin", u"pedido.json"};
    files.Put(u"C:\\Work\\pedido.json", "[1]");
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

TEST(RequestFilePathTest, CurrentDirectoryOnlyForABareName) {
    platform::FakeProcess process;
    process.current_directory = u"C:\\Work";
    EXPECT_EQ(RequestFilePath(process, u"pedido.json"), u"C:\\Work\\pedido.json");
    EXPECT_EQ(RequestFilePath(process, u""), u"C:\\Work\\");
    EXPECT_EQ(RequestFilePath(process, u"C:pedido.json"), u"C:pedido.json");
    EXPECT_EQ(RequestFilePath(process, u"sub\\pedido.json"), u"sub\\pedido.json");

    process.separator = u'/';
    process.current_directory = u"/work";
    EXPECT_EQ(RequestFilePath(process, u"pedido.json"), u"/work/pedido.json");
    EXPECT_EQ(RequestFilePath(process, u"sub/pedido.json"), u"sub/pedido.json");
    EXPECT_EQ(RequestFilePath(process, u"c:pedido.json"), u"/work/c:pedido.json");
}

// ---- Whole provisioning requests (no arguments: kind 0) on a fake platform:
// the key rules and what a failure before the install-configure-start step
// leaves started.

using Started = platform::FakePrograms::Started;

using testing::Quote;

constexpr char16_t kClient[] = u"C:\\Program Files\\RustDesk\\rustdesk.exe";

// A started program as every start of the step is made: visible, not waited for.
Started Start(std::u16string command) { return {std::move(command), false, true}; }

// A whole provisioning request (no arguments: kind 0) on a fake platform whose
// access-key service answers `reply`, with the client installed.
struct RequestFixture {
    platform::FakePlatform fake;
    explicit RequestFixture(std::string reply) {
        fake.programs.environment[u"ProgramW6432"] = u"C:\\Program Files";
        fake.files.Put(kClient, "");
        fake.http.script = {platform::FakeHttpTransport::Reply(200, u"OK", {}, std::move(reply))};
    }
    int Run() { return request::Run(fake.sys); }
    std::string Output() const { return fake.console.stdout_bytes; }
};

TEST(ProvisioningRequestTest, KeyCharacters) {
    struct Case {
        const char* reply;
        const char16_t* key;  // as the client's configuration gets it; null: refused
    };
    const Case cases[] = {
        {R"({"token":"abc DEF+/=~\u00e9"})", u"abc DEF+/=~\u00e9"},
        {R"({"token":""})", u""},
        {R"({"token":"a\"b"})", nullptr},
        {R"({"token":"a\\"})", nullptr},
        {R"({"token":"a,key=x"})", nullptr},
        {R"({"token":"a\u0001"})", nullptr},
        {R"({"token":"a\nb"})", nullptr},
        {R"({"token":"a\u007f"})", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        RequestFixture f(c.reply);
        f.Run();
        if (c.key == nullptr) {
            EXPECT_TRUE(f.fake.programs.started.empty());
            EXPECT_NE(f.Output().find(R"("class_erro":"EAccessKeyError")"), std::string::npos) << f.Output();
            EXPECT_NE(f.Output().find("The access key contains a character that is not allowed"),
                      std::string::npos);
        } else {
            const std::u16string client = Quote(kClient);
            EXPECT_EQ(f.fake.programs.started,
                      (std::vector<Started>{
                          Start(client + u" --config \"host=" + ServerHost() + u",key=" + c.key + u"\""),
                          Start(client)}));
            EXPECT_EQ(f.Output().find("erro"), std::string::npos) << f.Output();
        }
    }
}

TEST(ProvisioningRequestTest, FailedKeyRequestStartsNothing) {
    RequestFixture f("");
    f.fake.http.script = {platform::FakeHttpTransport::Failure(u"Error sending data: (12029) refused")};
    f.Run();
    EXPECT_TRUE(f.fake.programs.started.empty());
    EXPECT_NE(f.Output().find("(12029) refused"), std::string::npos) << f.Output();
}

TEST(ProvisioningRequestTest, UnreadableMachineIdAsksNothingAndStartsNothing) {
    RequestFixture f(R"({"token":"k"})");
    f.fake.identity.machine_guid = {platform::MachineGuidRead::Outcome::ReadFailed, {}};
    f.Run();
    EXPECT_TRUE(f.fake.http.requests.empty());
    EXPECT_TRUE(f.fake.programs.started.empty());
    EXPECT_NE(f.Output().find(R"("class_erro":"ERegistryException")"), std::string::npos) << f.Output();
}

TEST(ProvisioningRequestTest, FailedCompanyLookupGoesOnWithoutTheTaxId) {
    RequestFixture f(R"({"token":"k"})");
    f.fake.files.Put(u"C:\\Work\\BANCO.INI", "");
    f.fake.profiles.Set(u"C:\\Work\\BANCO.INI", u"CONFIG", u"BASE", u"C:\\ERP\\DADOS.FDB");
    f.Run();
    EXPECT_EQ(f.fake.error_box.shown.size(), 1u);  // no client library here
    ASSERT_EQ(f.fake.http.requests.size(), 1u);
    EXPECT_NE(f.fake.http.requests[0].target.find(u"?cnpj=&"), std::u16string::npos);
    EXPECT_EQ(f.fake.programs.started.size(), 2u);
}

// ---- The company lookup inside a whole run: the provisioning request creates
// the module, a failure ends in the box and the run goes on, and shutdown frees
// the module.

constexpr char16_t kSettings[] = u"C:\\Work\\BANCO.INI";

TEST(CompanyRunTest, LookupFailureShowsTheBoxAndTheRunGoesOn) {
    platform::FakePlatform fake;
    fake.files.Put(kSettings, "");
    fake.profiles.Set(kSettings, u"CONFIG", u"BASE", u"C:\\ERP\\DADOS.FDB");
    EXPECT_EQ(request::Run(fake.sys), 0);  // no arguments: request kind 0

    // No client library on this fake platform.
    EXPECT_EQ(fake.libraries.loads, (std::vector<std::u16string>{company::kClientLibraryNames[0],
                                                                 company::kClientLibraryNames[1]}));
    ASSERT_EQ(fake.error_box.shown.size(), 1u);
    EXPECT_EQ(fake.error_box.shown[0].caption, u"vantrel");
    const std::u16string& text = fake.error_box.shown[0].text;
    EXPECT_EQ(text.rfind(u"Error 126: the Firebird database client library could not be loaded", 0), 0u)
        << Utf16ToUtf8(text);
    EXPECT_EQ(text.substr(text.size() - 14), u" architecture.");

    EXPECT_FALSE(company::DM);  // freed at shutdown
    // Nothing of the lookup in the result document.
    EXPECT_EQ(fake.console.stdout_bytes.rfind(R"({"log":[],)", 0), 0u) << fake.console.stdout_bytes;
    EXPECT_EQ(fake.console.stdout_bytes.find("Firebird"), std::string::npos);
    EXPECT_EQ(fake.console.stdout_bytes.find("BANCO"), std::string::npos);
}

TEST(CompanyRunTest, OtherRequestKindsLookNothingUp) {
    platform::FakePlatform fake;
    fake.files.Put(kSettings, "");
    fake.process.arguments = {u"x"};
    fake.console.stdin_bytes = R"({"solicitacao":1})";
    request::Run(fake.sys);
    EXPECT_TRUE(fake.profiles.reads.empty());
    EXPECT_TRUE(fake.libraries.loads.empty());
    EXPECT_TRUE(fake.error_box.shown.empty());
    EXPECT_FALSE(company::DM);
}

}  // namespace
}  // namespace vantrel::request
