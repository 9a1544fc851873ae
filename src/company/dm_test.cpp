// The company lookup's logic, on a fake platform and a fake database client.
#include "company/dm.h"

#include <gtest/gtest.h>

#include "testing/fake_database_client.h"
#include "company/firebird_client.h"
#include "company/settings.h"
#include "core/utf.h"
#include "testing/fake_platform.h"

namespace vantrel::company {
namespace {

constexpr char16_t kSettings[] = u"C:\\Work\\BANCO.INI";

class DmTest : public ::testing::Test {
protected:
    void SetUp() override { fake.files.Put(kSettings, "[CONFIG]\r\n"); }
    void TearDown() override { LiberaDM(); }

    void Set(const char16_t* key, const char16_t* value) {
        fake.profiles.Set(kSettings, u"CONFIG", key, value);
    }

    // One creation of DM, as the provisioning sequence does it.
    void Create() { CriaDM(fake.sys, FCNPJ, &client); }

    platform::FakePlatform fake;
    FakeDatabaseClient client;
    std::u16string FCNPJ;
};

TEST_F(DmTest, ReadsTheSettingsAndStoresTheTaxId) {
    Set(u"SERVER", u"erpsrv");
    Set(u"BASE", u"C:\\ERP\\DADOS.FDB");
    Set(u"USER", u"SYSDBA");
    Set(u"PWD", u"masterkey");
    Set(u"PORT", u"3051");
    Create();

    EXPECT_EQ(FCNPJ, u"12345678000190");
    EXPECT_TRUE(fake.error_box.shown.empty());
    // Five keys of section CONFIG of BANCO.INI in the current directory, in order,
    // each with the empty default.
    ASSERT_EQ(fake.profiles.reads.size(), 5u);
    const char16_t* keys[] = {u"SERVER", u"BASE", u"USER", u"PWD", u"PORT"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(fake.profiles.reads[i].path, kSettings);
        EXPECT_EQ(fake.profiles.reads[i].section, u"CONFIG");
        EXPECT_EQ(fake.profiles.reads[i].key, keys[i]);
        EXPECT_EQ(fake.profiles.reads[i].default_value, u"");
    }
    ASSERT_EQ(client.attaches.size(), 1u);
    const AttachParameters& attach = client.attaches[0];
    EXPECT_EQ(attach.database, u"erpsrv/3051:C:\\ERP\\DADOS.FDB");
    EXPECT_EQ(attach.user, u"SYSDBA");
    EXPECT_EQ(attach.password, u"masterkey");
    EXPECT_EQ(attach.character_set, u"ISO8859_1");
    EXPECT_EQ(attach.dialect, 3);
    EXPECT_EQ(client.statements, std::vector<std::u16string>{kStatement});

    // The connection stays open until shutdown, when it rolls back and detaches.
    ASSERT_TRUE(DM);
    EXPECT_TRUE(DM->Connection.Connected());
    EXPECT_EQ(client.sessions_ended, 0);
    LiberaDM();
    EXPECT_FALSE(DM);
    EXPECT_EQ(client.sessions_ended, 1);
}

TEST_F(DmTest, DatabaseStringAndCredentials) {
    struct Case {
        const char16_t *server, *base, *user, *pwd, *port;
        std::u16string database;
        std::optional<std::u16string> user_sent, pwd_sent;
    } cases[] = {
        {u"erpsrv", u"C:\\ERP\\DADOS.FDB", u"u", u"p", u"", u"erpsrv/3050:C:\\ERP\\DADOS.FDB", u"u", u"p"},
        // No server: the base alone, and the port is not used.
        {u"", u"/srv/erp.fdb", u"u", u"p", u"3051", u"/srv/erp.fdb", u"u", u"p"},
        // Empty texts are not sent at all.
        {u"h", u"", u"", u"", u"-1", u"h/-1:", std::nullopt, std::nullopt},
        {u"h", u"alias", u"", u"p", u"$BEB", u"h/3051:alias", std::nullopt, u"p"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.database));
        platform::FakePlatform platform;
        platform.files.Put(kSettings, "");
        for (auto [key, value] : {std::pair{u"SERVER", c.server},
                                  {u"BASE", c.base},
                                  {u"USER", c.user},
                                  {u"PWD", c.pwd},
                                  {u"PORT", c.port}}) {
            platform.profiles.Set(kSettings, u"CONFIG", key, value);
        }
        FakeDatabaseClient fresh;
        std::u16string id;
        CriaDM(platform.sys, id, &fresh);
        ASSERT_EQ(fresh.attaches.size(), 1u);
        EXPECT_EQ(fresh.attaches[0].database, c.database);
        EXPECT_EQ(fresh.attaches[0].user, c.user_sent);
        EXPECT_EQ(fresh.attaches[0].password, c.pwd_sent);
        LiberaDM();
    }
}

// No settings file in the current directory: nothing at all happens.
TEST(DmCreationTest, WithoutSettingsFileNothingHappens) {
    struct Case {
        const char* what;
        std::function<void(platform::FakeFileSystem&)> prepare;
    } cases[] = {
        {"no file", [](platform::FakeFileSystem&) {}},
        {"a directory of that name", [](platform::FakeFileSystem& files) { files.PutDirectory(kSettings); }},
        {"beside the executable only",
         [](platform::FakeFileSystem& files) { files.Put(u"C:\\Apps\\BANCO.INI", "[CONFIG]\r\n"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::FakePlatform fake;
        c.prepare(fake.files);
        FakeDatabaseClient client;
        std::u16string FCNPJ = u"untouched";
        CriaDM(fake.sys, FCNPJ, &client);
        EXPECT_EQ(FCNPJ, u"untouched");
        EXPECT_TRUE(fake.profiles.reads.empty());
        EXPECT_TRUE(client.attaches.empty());
        EXPECT_TRUE(fake.error_box.shown.empty());
        EXPECT_TRUE(DM);  // the module exists all the same
        LiberaDM();
    }
}

TEST_F(DmTest, ValueRules) {
    // No row: the empty text, no box.
    client.value = {FirstValue::Kind::NoRow, u""};
    FCNPJ = u"earlier";
    Create();
    EXPECT_EQ(FCNPJ, u"");
    EXPECT_TRUE(fake.error_box.shown.empty());
    LiberaDM();

    // NULL: the conversion failure in the box; FCNPJ keeps its value.
    client.value = {FirstValue::Kind::Null, u""};
    FCNPJ = u"kept";
    Create();
    EXPECT_EQ(FCNPJ, u"kept");
    ASSERT_EQ(fake.error_box.shown.size(), 1u);
    EXPECT_EQ(fake.error_box.shown[0].text, u"Could not convert variant of type (Null) into type (OleStr)");
    EXPECT_EQ(fake.error_box.shown[0].caption, u"vantrel");
}

TEST_F(DmTest, FailuresEndInTheBoxAndTheRunGoesOn) {
    struct Case {
        const char* what;
        bool at_attach;
        std::u16string message, box;
        int sessions_open;  // after the failure, until shutdown
    } cases[] = {
        {"attach refused", true, u"Firebird client error:\r\nYour user name and password are not defined",
         u"Firebird client error:\r\nYour user name and password are not defined.", 0},
        {"statement refused", false, u"Firebird client error:\r\n-Table unknown\r\n-CONFIGURACOES",
         u"Firebird client error:\r\n-Table unknown\r\n-CONFIGURACOES.", 1},
        {"ends in a parenthesis", false, u"Failed (x)", u"Failed (x)", 1},
        {"empty message", true, u"", u"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeDatabaseClient failing;
        (c.at_attach ? failing.attach_failure : failing.query_failure) = Error(kClientErrorKind, c.message);
        fake.error_box.shown.clear();
        FCNPJ.clear();
        CriaDM(fake.sys, FCNPJ, &failing);
        EXPECT_EQ(FCNPJ, u"");
        ASSERT_EQ(fake.error_box.shown.size(), 1u);
        EXPECT_EQ(fake.error_box.shown[0].text, c.box);
        ASSERT_TRUE(DM);
        EXPECT_EQ(DM->Connection.Connected(), c.sessions_open == 1);
        EXPECT_EQ(failing.sessions_ended, 0);
        LiberaDM();
        EXPECT_EQ(failing.sessions_ended, c.sessions_open);
    }
}

TEST_F(DmTest, DmExistsBeforeTheLookupAndCreationNeverFails) {
    bool seen = false;
    client.on_attach = [&] { seen = DM != nullptr; };
    Create();
    EXPECT_TRUE(seen);
    LiberaDM();

    // Not even a failure of no known kind leaves the creation.
    client.on_attach = [] { throw 42; };
    EXPECT_NO_THROW(Create());
    EXPECT_TRUE(DM);
}

TEST(DmTextTest, ApplicationTitle) {
    platform::FakePlatform fake;
    struct Case {
        const char16_t* executable;
        char16_t separator;
        const char16_t* title;
    } cases[] = {
        {u"C:\\Apps\\vantrel.exe", u'\\', u"vantrel"},
        {u"C:\\Apps\\ABC_TOOL.V2.exe", u'\\', u"Abc_tool"},
        {u"C:\\Dir.d\\TOOL", u'\\', u"Tool"},
        {u"C:\\Apps\\.exe", u'\\', u""},
        {u"/opt/vantrel/bin/VANTREL", u'/', u"Vantrel"},
    };
    for (const Case& c : cases) {
        fake.process.executable_path = c.executable;
        fake.process.separator = c.separator;
        EXPECT_EQ(ApplicationTitle(fake.process, fake.locale), c.title) << Utf16ToUtf8(c.executable);
    }
}

TEST(DmTextTest, PeriodRule) {
    struct Case {
        const char16_t *message, *text;
    } cases[] = {
        {u"", u""},     {u"abc", u"abc."}, {u"abc.", u"abc."},   {u"(x)", u"(x)"},
        {u"a-", u"a-"}, {u"a/", u"a/."},   {u"a\r\n", u"a\r\n"}, {u"\u00E7", u"\u00E7."},
    };
    for (const Case& c : cases) EXPECT_EQ(BoxText(c.message), c.text) << Utf16ToUtf8(c.message);
}

}  // namespace
}  // namespace vantrel::company
