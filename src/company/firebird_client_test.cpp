// The Firebird client's use of the C API, against a stand-in library whose
// functions follow the API's contract: the loading rules, the parameter block,
// the failure text, the value rules and the end of a session. Runs on both
// platforms (Windows: the API's own calling conventions); the real library is
// tested below against a real Firebird (POSIX: Windows has no client library
// here).
#include "company/firebird_client.h"

#include <ibase.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>

#include "core/error.h"
#include "testing/outcome.h"
#include "core/utf.h"
#include "testing/fake_firebird_api.h"
#include "testing/fake_libraries.h"

#ifndef _WIN32
#include <memory>
#include <string>

#include "company/dm.h"
#include "testing/fake_platform.h"
#include "testing/firebird_fixture.h"
#endif

namespace vantrel::company {
namespace {

// The stand-in library of the test support.
vantrel::testing::FirebirdStub& stub = vantrel::testing::firebird_stub;
using vantrel::testing::Varying;

std::map<std::string, void*> Functions() { return vantrel::testing::FirebirdFunctions(); }

template <typename T>
std::string Bytes(T value) {
    std::string bytes(sizeof value, '\0');
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

class FirebirdClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        vantrel::testing::ResetFirebirdStub();
        libraries.available[kClientLibraryNames[0]] = Functions();
    }

    AttachParameters Parameters() {
        AttachParameters p;
        p.database = u"erpsrv/3050:C:\\ERP\\DADOS.FDB";
        p.user = u"SYSDBA";
        p.password = u"masterkey";
        p.character_set = u"ISO8859_1";
        p.dialect = 3;
        return p;
    }

    platform::FakeLibraries libraries;
};

TEST_F(FirebirdClientTest, LoadsOnceFallingBackToTheSecondName) {
    libraries.available.clear();
    libraries.available[kClientLibraryNames[1]] = Functions();
    {
        FirebirdClient client(libraries);
        client.Attach(Parameters());
        client.Attach(Parameters());
    }
    EXPECT_EQ(libraries.loads, (std::vector<std::u16string>{kClientLibraryNames[0], kClientLibraryNames[1]}));
    EXPECT_EQ(libraries.alive, 1);  // never unloaded
}

TEST_F(FirebirdClientTest, LibraryThatDoesNotLoadIsExplained) {
    libraries.available.clear();
    libraries.failures[kClientLibraryNames[0]] = {193, u"fbclient.dll is not a valid Win32 application",
                                                  true};
    libraries.failures[kClientLibraryNames[1]] = {126, u"The specified module could not be found", false};
    FirebirdClient client(libraries);
    try {
        client.Attach(Parameters());
        FAIL() << "attached without a library";
    } catch (const Error& failure) {
        const std::u16string first = kClientLibraryNames[0], second = kClientLibraryNames[1];
        const std::u16string& text = failure.message();
        EXPECT_EQ(failure.kind(), kClientLoadKind);
        // The name built for another processor first, then the last error's
        // number, both names, the system's text, and where the library belongs
        // and for which processor.
        const std::u16string opening = u"\"" + first + u"\" was found but is not built for the ";
        EXPECT_EQ(text.substr(0, opening.size()), opening) << Utf16ToUtf8(text);
        EXPECT_NE(text.find(u" architecture.\r\nError 126: the Firebird database client library could not be "
                            u"loaded (tried \"" +
                            first + u"\" and \"" + second +
                            u"\").\r\nThe specified module could not be found.\r\nPlace " + first),
                  std::u16string::npos)
            << Utf16ToUtf8(text);
        EXPECT_NE(text.find(u"; it must be built for the "), std::u16string::npos);
        EXPECT_EQ(text.find(u"\"" + second + u"\" was found"), std::u16string::npos);
    }
    // Nothing stays loaded, and the next attach tries again.
    EXPECT_THROW(client.Attach(Parameters()), Error);
    EXPECT_EQ(libraries.loads.size(), 4u);

    // A library without one of the functions is no client library.
    platform::FakeLibraries partial;
    auto functions = Functions();
    functions.erase("fb_interpret");
    partial.available[kClientLibraryNames[0]] = functions;
    FirebirdClient lacking(partial);
    try {
        lacking.Attach(Parameters());
        FAIL() << "attached with a library that lacks a function";
    } catch (const Error& failure) {
        EXPECT_NE(failure.message().find(u"fb_interpret"), std::u16string::npos);
    }
    EXPECT_EQ(partial.alive, 0);
}

TEST_F(FirebirdClientTest, ParameterBlock) {
    FirebirdClient client(libraries);
    client.Attach(Parameters());
    EXPECT_EQ(stub.database, "erpsrv/3050:C:\\ERP\\DADOS.FDB");
    EXPECT_EQ(stub.dpb, std::string("\x01"                       // version 1
                                    "\x1C\x06SYSDBA"             // user name
                                    "\x1D\x09masterkey"          // password
                                    "\x30\x09ISO8859_1"          // connection character set
                                    "\x3F\x04\x03\x00\x00\x00",  // SQL dialect 3
                                    37));

    // Empty user name and password: nothing is sent for them.
    AttachParameters bare = Parameters();
    bare.user.reset();
    bare.password.reset();
    client.Attach(bare);
    EXPECT_EQ(stub.dpb, std::string("\x01\x30\x09ISO8859_1\x3F\x04\x03\x00\x00\x00", 18));

    // Names beyond ASCII go as UTF-8, flagged as such.
    AttachParameters wide = Parameters();
    wide.database = u"C:\\Dados\\Cora\u00E7\u00E3o.fdb";
    client.Attach(wide);
    EXPECT_EQ(stub.dpb.substr(0, 3), std::string("\x01\x4D\x00", 3));
    EXPECT_EQ(stub.database, "C:\\Dados\\Cora\xC3\xA7\xC3\xA3o.fdb");

    // A value the block cannot carry is refused, not cut or wrapped.
    AttachParameters long_password = Parameters();
    long_password.password = std::u16string(256, u'x');
    stub.dpb.clear();
    EXPECT_THROW(client.Attach(long_password), Error);
    EXPECT_EQ(stub.dpb, "");
    long_password.password = std::u16string(255, u'x');
    EXPECT_NO_THROW(client.Attach(long_password));
}

TEST_F(FirebirdClientTest, ClientErrorsCarryTheLibrarysLines) {
    FirebirdClient client(libraries);
    stub.attach_error = isc_login;
    stub.lines = {"Your user name and password are not defined.",
                  "Ask your database administrator to set up a Firebird login"};
    vantrel::testing::ExpectError(
        [&] { client.Attach(Parameters()); }, kClientErrorKind,
        u"Firebird client error:\r\nYour user name and password are not defined.\r\n"
        u"Ask your database administrator to set up a Firebird login");

    // Lines that are not UTF-8 are read one byte to a character.
    stub.attach_error = 0;
    stub.prepare_error = isc_dsql_error;
    stub.lines = {"Dynamic SQL Error", "-Table unknown",
                  "-CONFIGURA\xC7\xD5"
                  "ES"};
    auto session = client.Attach(Parameters());
    try {
        session->QueryFirstValue(u"SELECT 1 FROM RDB$DATABASE");
        FAIL() << "prepare did not fail";
    } catch (const Error& failure) {
        EXPECT_EQ(
            failure.message(),
            u"Firebird client error:\r\nDynamic SQL Error\r\n-Table unknown\r\n-CONFIGURA\u00C7\u00D5ES");
    }
    EXPECT_EQ(stub.statements_open, 0);  // the statement went with the failure
}

TEST_F(FirebirdClientTest, ValueRules) {
    struct Case {
        const char* what;
        ISC_SHORT type, scale;
        std::string data;
        bool null, row;
        FirstValue::Kind kind;
        std::u16string text;
    } cases[] = {
        {"varying, as it comes", SQL_VARYING, 0, Varying("00123 "), false, true, FirstValue::Kind::Text,
         u"00123 "},
        {"varying, ISO8859-1", SQL_VARYING, 0, Varying("A\xE7\xE3o"), false, true, FirstValue::Kind::Text,
         u"A\u00E7\u00E3o"},
        {"fixed, trailing blanks dropped", SQL_TEXT, 0, "  0012   ", false, true, FirstValue::Kind::Text,
         u"  0012"},
        {"short", SQL_SHORT, 0, Bytes<ISC_SHORT>(-12), false, true, FirstValue::Kind::Text, u"-12"},
        {"long", SQL_LONG, 0, Bytes<ISC_LONG>(123), false, true, FirstValue::Kind::Text, u"123"},
        {"int64", SQL_INT64, 0, Bytes<ISC_INT64>(12345678000190LL), false, true, FirstValue::Kind::Text,
         u"12345678000190"},
        {"scaled", SQL_INT64, -2, Bytes<ISC_INT64>(-5), false, true, FirstValue::Kind::Text, u"-0.05"},
        {"double", SQL_DOUBLE, 0, Bytes<double>(1.5), false, true, FirstValue::Kind::Text, u"1.5"},
        {"null", SQL_VARYING, 0, Varying("x"), true, true, FirstValue::Kind::Null, u""},
        {"no row", SQL_VARYING, 0, Varying("x"), false, false, FirstValue::Kind::NoRow, u""},
    };
    FirebirdClient client(libraries);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        stub.type = c.type;
        stub.scale = c.scale;
        stub.data = c.data;
        stub.null = c.null;
        stub.row = c.row;
        auto session = client.Attach(Parameters());
        FirstValue value = session->QueryFirstValue(u"SELECT FIRST 1 X FROM T");
        EXPECT_EQ(value.kind, c.kind);
        EXPECT_EQ(value.text, c.text);
        EXPECT_EQ(stub.sql, "SELECT FIRST 1 X FROM T");
        EXPECT_EQ(stub.dialect, 3);
    }
}

TEST_F(FirebirdClientTest, SessionKeepsItsTransactionAndRollsBackAtTheEnd) {
    FirebirdClient client(libraries);
    stub.data = Varying("1");
    {
        auto session = client.Attach(Parameters());
        EXPECT_EQ(stub.transactions, 0);  // the first statement starts it
        session->QueryFirstValue(u"SELECT 1 FROM RDB$DATABASE");
        session->QueryFirstValue(u"SELECT 1 FROM RDB$DATABASE");
        EXPECT_EQ(stub.transactions, 1);
        EXPECT_EQ(stub.statements_open, 0);
        EXPECT_EQ(stub.rollbacks, 0);
        EXPECT_EQ(stub.detaches, 0);
    }
    EXPECT_EQ(stub.rollbacks, 1);
    EXPECT_EQ(stub.detaches, 1);
}

#ifndef _WIN32
// ---- The company lookup against a real Firebird 3: databases made for the
// test, opened through the embedded engine and through a server of the test's
// own. The settings and the error box are fakes here.
namespace engine {

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

}  // namespace engine
#endif

}  // namespace
}  // namespace vantrel::company
