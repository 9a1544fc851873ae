// The rules of the device identity over a fake registry and computer name, and
// over the real platform.
#include "accesskey/device_identity.h"

#include <gtest/gtest.h>

#include <optional>

#ifdef _WIN32
#include <windows.h>

#include "testing/registry_value_win32.h"
#else
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/device_identity_posix.h"
#endif

#include "core/utf.h"
#include "testing/outcome.h"
#include "testing/fake_device_identity.h"

namespace vantrel::accesskey {
namespace {

using platform::FakeDeviceIdentity;
using platform::RegistryData;
using testing::Fails;
using testing::Ok;
using testing::Outcome;

const std::u16string kKey = u"SOFTWARE\\Microsoft\\Cryptography";
constexpr std::uint32_t kFirst = 0x20119, kSecond = 0x20109, kThird = 0x101;

TEST(DeviceIdentityTest, ComputerName) {
    struct Case {
        std::optional<std::u16string> reported;
        std::u16string expected;
    } cases[] = {
        {u"CAIXA-LOJA-0001", u"CAIXA-LOJA-0001"},  // 15 characters: all of them, no NUL
        {std::u16string(u"AB\0CD", 5), u"AB"},     // up to the first NUL
        {std::u16string(300, u'N'), std::u16string(251, u'N')},
        {u"", u""},
        {std::nullopt, u""},  // the platform cannot tell: no failure
    };
    for (const auto& c : cases) {
        FakeDeviceIdentity identity;
        identity.computer_name = c.reported;
        EXPECT_EQ(LeNomeComputador(identity), c.expected);
        EXPECT_EQ(identity.asked_capacity, 251u);
    }
}

TEST(DeviceIdentityTest, MachineGuidValues) {
    const std::u16string guid = u"6f1d3c2a-8b7e-4d5f-9a0b-1c2d3e4f5a6b";
    const Outcome invalid_type = Fails(u"ERegistryException", u"Invalid data type for 'MachineGuid'");
    struct Case {
        const char* what;
        std::optional<RegistryData> value;  // nullopt: no such value
        Outcome expected;
    } cases[] = {
        {"text", FakeDeviceIdentity::Text(platform::kRegSz, guid), Ok(guid)},
        {"expandable text, not expanded",
         FakeDeviceIdentity::Text(platform::kRegExpandSz, u"%SystemRoot%\\x"), Ok(u"%SystemRoot%\\x")},
        {"NUL inside", FakeDeviceIdentity::Text(platform::kRegSz, std::u16string(u"abc\0def", 7)),
         Ok(u"abc")},
        {"no terminating NUL", RegistryData{platform::kRegSz, std::string("a\0b\0", 4)}, Ok(u"ab")},
        {"odd byte count", RegistryData{platform::kRegSz, std::string("a\0b", 3)}, Ok(u"a")},
        {"binary without data", RegistryData{platform::kRegBinary, ""}, Ok(u"")},
        {"text of 0 bytes", RegistryData{platform::kRegSz, ""}, Ok(u"")},
        {"dword", RegistryData{platform::kRegDword, std::string("\x01\0\0\0", 4)}, invalid_type},
        {"binary with data", RegistryData{platform::kRegBinary, "\x01\x02"}, invalid_type},
        {"missing value", std::nullopt, Ok(u"")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeDeviceIdentity identity;
        identity.keys[kKey];
        if (c.value) identity.keys[kKey][u"MachineGuid"] = *c.value;
        EXPECT_EQ(testing::Run([&] { return LeMachineGuid(identity); }), c.expected);
        EXPECT_EQ(identity.opened_with, std::vector<std::uint32_t>{kFirst});
        EXPECT_EQ(identity.open_keys, 0) << "the key is closed on every path";
        if (c.value && !c.value->bytes.empty()) {
            EXPECT_EQ(identity.read_sizes,
                      std::vector<std::uint32_t>{static_cast<std::uint32_t>(c.value->bytes.size())});
        }
    }
}

TEST(DeviceIdentityTest, MachineGuidAccessRightsInOrder) {
    struct Case {
        std::set<std::uint32_t> refused;
        bool key_exists;
        std::vector<std::uint32_t> tried;
        std::u16string expected;
    } cases[] = {
        {{kFirst}, true, {kFirst, kSecond}, u"G"},
        {{kFirst, kSecond}, true, {kFirst, kSecond, kThird}, u"G"},
        {{kFirst, kSecond, kThird}, true, {kFirst, kSecond, kThird}, u""},  // refused: empty, no failure
        {{}, false, {kFirst, kSecond, kThird}, u""},                        // no such key
    };
    for (const auto& c : cases) {
        FakeDeviceIdentity identity;
        if (c.key_exists)
            identity.keys[kKey][u"MachineGuid"] = FakeDeviceIdentity::Text(platform::kRegSz, u"G");
        identity.refused_access = c.refused;
        EXPECT_EQ(LeMachineGuid(identity), c.expected);
        EXPECT_EQ(identity.opened_with, c.tried);
        EXPECT_EQ(identity.open_keys, 0);
    }
}

TEST(DeviceIdentityTest, MachineGuidThatGrowsBeforeItsReadFails) {
    FakeDeviceIdentity identity;
    identity.keys[kKey][u"MachineGuid"] = FakeDeviceIdentity::Text(platform::kRegSz, u"G");
    identity.value_grows = true;
    EXPECT_EQ(testing::Run([&] { return LeMachineGuid(identity); }),
              Fails(u"ERegistryException", u"Failed to get data for 'MachineGuid'"));
    EXPECT_EQ(identity.open_keys, 0);
}

// ---- The rules over the real platform: the registry on Windows, the machine-id
// file on POSIX.

#ifdef _WIN32

TEST(DeviceIdentitySystemTest, MachineGuidFromTheRegistry) {
    vantrel::testing::ScopedRegistryValue value(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography",
                                                L"MachineGuid");
    auto text = [](DWORD type, std::wstring_view t) {
        return std::make_pair(
            type, std::string(reinterpret_cast<const char*>(t.data()), t.size() * sizeof(wchar_t)) +
                      std::string(2, '\0'));
    };
    struct Case {
        const char* what;
        std::pair<DWORD, std::string> data;
        Outcome expected;
    } cases[] = {
        {"text", text(REG_SZ, L"6f1d3c2a-8b7e-4d5f-9a0b-1c2d3e4f5a6b"),
         Ok(u"6f1d3c2a-8b7e-4d5f-9a0b-1c2d3e4f5a6b")},
        {"expandable, kept unexpanded", text(REG_EXPAND_SZ, L"%SystemRoot%\\guid"),
         Ok(u"%SystemRoot%\\guid")},
        {"NUL inside", text(REG_SZ, std::wstring_view(L"abc\0def", 7)), Ok(u"abc")},
        {"dword",
         {REG_DWORD, std::string("\x07\0\0\0", 4)},
         Fails(u"ERegistryException", u"Invalid data type for 'MachineGuid'")},
        {"binary without data", {REG_BINARY, ""}, Ok(u"")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(value.Set(c.data.first, c.data.second));
        EXPECT_EQ(vantrel::testing::Run([] { return LeMachineGuid(platform::RealDeviceIdentity()); }),
                  c.expected);
    }
    ASSERT_TRUE(value.Remove());
    EXPECT_EQ(LeMachineGuid(platform::RealDeviceIdentity()), u"");
}

TEST(DeviceIdentitySystemTest, ComputerName) {
    std::u16string name = LeNomeComputador(platform::RealDeviceIdentity());
    EXPECT_FALSE(name.empty());
    const wchar_t* environment = _wgetenv(L"COMPUTERNAME");
    ASSERT_NE(environment, nullptr);
    EXPECT_EQ(name, std::u16string(reinterpret_cast<const char16_t*>(environment)));
}

#else

TEST(DeviceIdentitySystemTest, MachineIdFileStandsInForTheRegistry) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("vantrel-machine-id-" + std::to_string(getpid()));
    fs::create_directories(dir);
    struct Case {
        std::optional<std::string> content;  // nullopt: no file
        std::u16string expected;
    } cases[] = {
        {"3d1219c7c4c5404aaa1f6d2a48adfda4\n", u"3d1219c7c4c5404aaa1f6d2a48adfda4"},
        {"first\r\nsecond\n", u"first"},
        {"caf\xC3\xA9", u"caf\u00E9"},
        {"", u""},
        {"\n", u""},
        {std::string("ab\0cd\n", 6), u"ab"},
        {std::nullopt, u""},
    };
    for (const auto& c : cases) {
        const fs::path file = dir / "machine-id";
        fs::remove(file);
        if (c.content) std::ofstream(file, std::ios::binary) << *c.content;
        auto identity = platform::NewPosixDeviceIdentity(file.string());
        EXPECT_EQ(LeMachineGuid(*identity), c.expected) << (c.content ? *c.content : "(no file)");
    }
    // A file that cannot be read gives the empty text too.
    auto unreadable = platform::NewPosixDeviceIdentity(dir.string());
    EXPECT_EQ(LeMachineGuid(*unreadable), u"");
    fs::remove_all(dir);

    std::ifstream real("/etc/machine-id");
    std::string first;
    std::getline(real, first);
    EXPECT_EQ(LeMachineGuid(platform::RealDeviceIdentity()), Utf8ToUtf16(first));
}

TEST(DeviceIdentitySystemTest, ComputerNameIsTheHostName) {
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(LeNomeComputador(platform::RealDeviceIdentity()), Utf8ToUtf16(host));
}

#endif

}  // namespace
}  // namespace vantrel::accesskey
