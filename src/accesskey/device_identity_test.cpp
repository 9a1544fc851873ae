// The rules of the device identity over a fake registry and computer name.
#include "accesskey/device_identity.h"

#include <gtest/gtest.h>

#include <optional>

#include "accesskey/test_support.h"
#include "platform/fakes/fake_device_identity.h"

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

}  // namespace
}  // namespace vantrel::accesskey
