// The company lookup against a real Firebird 3: databases made for the test,
// opened through the embedded engine and through a server of the test's own.
// The settings and the error box are fakes here; the tool's own run with all of
// the real platform is in company_tool_test.cpp.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "company/dm.h"
#include "company/firebird_client.h"
#include "company/firebird_fixture.h"
#include "core/utf.h"
#include "platform/fakes/fake_platform.h"

namespace vantrel::company {
namespace {

using testing::FirebirdHome;

constexpr char16_t kSettings[] = u"C:\\Work\\BANCO.INI";
constexpr char kTaxId[] = "'12.345.678/0001-90'";

struct Databases {
    std::string varchar, empty, null_value, fixed, integer, latin1, no_table, no_function, served;
};

// The home, its databases and its server, made at the first use and kept for the
// whole test program. A Firebird that cannot be set up fails every test.
struct Firebird {
    FirebirdHome home;
    Databases db;

    Firebird() {
        home.UseInThisProcess();
        db.varchar = home.CreateDatabase("varchar.fdb", {.rows = {kTaxId}});
        db.empty = home.CreateDatabase("empty.fdb", {});
        db.null_value = home.CreateDatabase("null.fdb", {.rows = {"NULL", kTaxId}});
        db.fixed = home.CreateDatabase("fixed.fdb",
                                       {.column_type = "CHAR(30)", .rows = {kTaxId}, .returns = "CHAR(30)"});
        db.integer =
            home.CreateDatabase("integer.fdb", {.rows = {"'00.123.456/0001-90'"}, .returns = "BIGINT"});
        db.latin1 = home.CreateDatabase("latin1.fdb", {.rows = {"'A\xE7\xE3o 12 '"}, .keeps_digits = false});
        db.no_table = home.CreateDatabase("no-table.fdb", {.with_table = false});
        db.no_function = home.CreateDatabase("no-function.fdb", {.rows = {kTaxId}, .with_function = false});
        db.served = home.CreateDatabase("served.fdb", {.rows = {kTaxId}});
        home.StartServer();
    }
};

std::unique_ptr<Firebird> shared;
std::string setup_failure;

// Stops the server and removes the home when the tests are over.
class FirebirdEnvironment : public ::testing::Environment {
public:
    void TearDown() override { shared.reset(); }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new FirebirdEnvironment);

Firebird* Get() {
    if (!shared && setup_failure.empty()) {
        try {
            shared = std::make_unique<Firebird>();
        } catch (const std::exception& failure) {
            setup_failure = failure.what();
        }
    }
    return shared.get();
}

#define FIREBIRD_OR_FAIL()                                                       \
    Firebird* firebird = Get();                                                  \
    ASSERT_NE(firebird, nullptr) << "Firebird for the tests: " << setup_failure; \
    const Databases& db = firebird->db;                                          \
    FirebirdHome& home = firebird->home

// The real client, one for the test program as for the tool.
DatabaseClient& Client() {
    static FirebirdClient* const client = new FirebirdClient(platform::RealLibraries());
    return *client;
}

struct Settings {
    std::string server{}, base{}, user = "SYSDBA", pwd{}, port{};
};

struct Outcome {
    std::u16string fcnpj;
    std::vector<platform::FakeErrorBox::Shown> boxes;
    bool connected = false;  // the connection was still open when the lookup ended
};

Outcome Lookup(const Settings& s) {
    platform::FakePlatform fake;
    fake.files.Put(kSettings, "");
    for (auto [key, value] : {std::pair{u"SERVER", &s.server},
                              {u"BASE", &s.base},
                              {u"USER", &s.user},
                              {u"PWD", &s.pwd},
                              {u"PORT", &s.port}}) {
        fake.profiles.Set(kSettings, u"CONFIG", key, Utf8ToUtf16(*value));
    }
    Outcome outcome;
    CriaDM(fake.sys, outcome.fcnpj, &Client());
    outcome.connected = DM && DM->Connection.Connected();
    LiberaDM();
    outcome.boxes = fake.error_box.shown;
    return outcome;
}

struct Case {
    const char* what;
    Settings settings;
    std::u16string fcnpj;
    // The box's text holds these, in order, after the client-error prefix; no box
    // when empty.
    std::vector<std::u16string> box;
    bool connected;
};

void Check(const Case& c) {
    SCOPED_TRACE(c.what);
    Outcome outcome = Lookup(c.settings);
    EXPECT_EQ(outcome.fcnpj, c.fcnpj);
    EXPECT_EQ(outcome.connected, c.connected);
    if (c.box.empty()) {
        EXPECT_TRUE(outcome.boxes.empty()) << Utf16ToUtf8(outcome.boxes[0].text);
        return;
    }
    ASSERT_EQ(outcome.boxes.size(), 1u);
    const std::u16string& text = outcome.boxes[0].text;
    EXPECT_EQ(outcome.boxes[0].caption, u"vantrel");
    EXPECT_EQ(text.rfind(kClientErrorPrefix, 0), 0u) << Utf16ToUtf8(text);
    std::size_t at = 0;
    for (const std::u16string& part : c.box) {
        at = text.find(part, at);
        EXPECT_NE(at, std::u16string::npos) << Utf16ToUtf8(part) << " in " << Utf16ToUtf8(text);
        if (at == std::u16string::npos) break;
    }
}

TEST(FirebirdTest, EmbeddedEngine) {
    FIREBIRD_OR_FAIL();
    const Case cases[] = {
        {"tax id", {.base = db.varchar}, u"12345678000190", {}, true},
        {"empty table", {.base = db.empty}, u"", {}, true},
        // Nothing sent: the embedded engine takes the system's user.
        {"no user name, no password", {.base = db.varchar, .user = ""}, u"12345678000190", {}, true},
        {"fixed-length text loses its trailing blanks", {.base = db.fixed}, u"12345678000190", {}, true},
        {"an integer loses its leading zeros", {.base = db.integer}, u"123456000190", {}, true},
        {"variable-length text as it comes, ISO8859-1", {.base = db.latin1}, u"A\u00E7\u00E3o 12 ", {}, true},
        {"unknown database",
         {.base = home.root() + "/data/missing.fdb"},
         u"",
         {u"I/O error", u"missing.fdb"},
         false},
        {"missing table", {.base = db.no_table}, u"", {u"Table unknown", u"CONFIGURACOES"}, true},
        {"missing function", {.base = db.no_function}, u"", {u"Function unknown", u"APENASNUMERO"}, true},
    };
    for (const Case& c : cases) Check(c);
}

// NULL has no text: the conversion failure, with no period after its parenthesis.
TEST(FirebirdTest, NullValue) {
    FIREBIRD_OR_FAIL();
    (void)home;
    Outcome outcome = Lookup({.base = db.null_value});
    EXPECT_EQ(outcome.fcnpj, u"");
    ASSERT_EQ(outcome.boxes.size(), 1u);
    EXPECT_EQ(outcome.boxes[0].text, u"Could not convert variant of type (Null) into type (OleStr)");
    EXPECT_TRUE(outcome.connected);
}

TEST(FirebirdTest, Server) {
    FIREBIRD_OR_FAIL();
    const std::string port = std::to_string(home.port());
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(home.port()));
    const Settings served{"127.0.0.1", db.served, FirebirdHome::kUser, FirebirdHome::kPassword, port};
    auto with = [&](auto change) {
        Settings s = served;
        change(s);
        return s;
    };
    const Case cases[] = {
        {"tax id", served, u"12345678000190", {}, true},
        {"port in hexadecimal", with([&](Settings& s) { s.port = hex; }), u"12345678000190", {}, true},
        {"refused password",
         with([](Settings& s) { s.pwd = "wrong"; }),
         u"",
         {u"Your user name and password are not defined"},
         false},
        {"unknown database",
         with([&](Settings& s) { s.base = home.root() + "/data/missing.fdb"; }),
         u"",
         {u"I/O error", u"missing.fdb"},
         false},
        // Not a number: port 3050, where no server of this test listens.
        {"bad port",
         with([](Settings& s) { s.port = "30.5"; }),
         u"",
         {u"Unable to complete network request to host \"127.0.0.1\""},
         false},
    };
    for (const Case& c : cases) Check(c);
}

}  // namespace
}  // namespace vantrel::company
