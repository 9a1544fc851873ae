// The company lookup inside a whole run of the tool, on a fake platform: the
// provisioning request creates the module, a failure ends in the box and the run
// goes on, and shutdown frees the module.
#include <gtest/gtest.h>

#include "company/dm.h"
#include "company/firebird_client.h"
#include "core/utf.h"
#include "platform/fakes/fake_platform.h"
#include "request/entry.h"

namespace vantrel::company {
namespace {

constexpr char16_t kSettings[] = u"C:\\Work\\BANCO.INI";

TEST(CompanyRunTest, LookupFailureShowsTheBoxAndTheRunGoesOn) {
    platform::FakePlatform fake;
    fake.files.Put(kSettings, "");
    fake.profiles.Set(kSettings, u"CONFIG", u"BASE", u"C:\\ERP\\DADOS.FDB");
    EXPECT_EQ(request::Run(fake.sys), 0);  // no arguments: request kind 0

    // No client library on this fake platform.
    EXPECT_EQ(fake.libraries.loads,
              (std::vector<std::u16string>{kClientLibraryNames[0], kClientLibraryNames[1]}));
    ASSERT_EQ(fake.error_box.shown.size(), 1u);
    EXPECT_EQ(fake.error_box.shown[0].caption, u"vantrel");
    const std::u16string& text = fake.error_box.shown[0].text;
    EXPECT_EQ(text.rfind(u"Error 126: the Firebird database client library could not be loaded", 0), 0u)
        << Utf16ToUtf8(text);
    EXPECT_EQ(text.substr(text.size() - 14), u" architecture.");

    EXPECT_FALSE(DM);  // freed at shutdown
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
    EXPECT_FALSE(DM);
}

}  // namespace
}  // namespace vantrel::company
