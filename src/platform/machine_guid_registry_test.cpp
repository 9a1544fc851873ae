// How "MachineGuid" is read, over a registry in memory: the access rights tried
// in order, the outcome of each kind of value, the sizes asked for, and the key
// closed on every path.
#include "platform/machine_guid_registry.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <vector>

#include "testing/fake_registry.h"

namespace vantrel::platform {

bool operator==(const MachineGuidRead& a, const MachineGuidRead& b) {
    return a.outcome == b.outcome && a.text == b.text;
}

void PrintTo(const MachineGuidRead& read, std::ostream* os) {
    *os << "outcome " << static_cast<int>(read.outcome) << " text " << ::testing::PrintToString(read.text);
}

namespace {

const std::u16string kKey = u"SOFTWARE\\Microsoft\\Cryptography";
constexpr std::uint32_t kFirst = 0x20119, kSecond = 0x20109, kThird = 0x101;

// The text of a read, or the empty text for any other outcome.
std::u16string Shown(const MachineGuidRead& read) {
    return read.outcome == MachineGuidRead::Outcome::Text ? read.text.substr(0, read.text.find(u'\0')) : u"";
}

TEST(MachineGuidRegistryTest, MachineGuidValues) {
    const std::u16string guid = u"6f1d3c2a-8b7e-4d5f-9a0b-1c2d3e4f5a6b";
    using enum MachineGuidRead::Outcome;
    struct Case {
        const char* what;
        std::optional<RegistryData> value;  // nullopt: no such value
        MachineGuidRead expected;
    } cases[] = {
        {"text", FakeRegistry::Text(kRegSz, guid), {Text, guid + u'\0'}},
        {"expandable text, not expanded",
         FakeRegistry::Text(kRegExpandSz, u"%SystemRoot%\\x"),
         {Text, std::u16string(u"%SystemRoot%\\x\0", 15)}},
        {"NUL inside",
         FakeRegistry::Text(kRegSz, std::u16string(u"abc\0def", 7)),
         {Text, std::u16string(u"abc\0def\0", 8)}},
        {"no terminating NUL", RegistryData{kRegSz, std::string("a\0b\0", 4)}, {Text, u"ab"}},
        {"odd byte count", RegistryData{kRegSz, std::string("a\0b", 3)}, {Text, u"a"}},
        {"binary without data", RegistryData{kRegBinary, ""}, {Empty, {}}},
        {"text of 0 bytes", RegistryData{kRegSz, ""}, {Empty, {}}},
        {"dword", RegistryData{kRegDword, std::string("\x01\0\0\0", 4)}, {NotText, {}}},
        {"binary with data", RegistryData{kRegBinary, "\x01\x02"}, {NotText, {}}},
        {"missing value", std::nullopt, {Missing, {}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeRegistry registry;
        registry.keys[kKey];
        if (c.value) registry.keys[kKey][u"MachineGuid"] = *c.value;
        EXPECT_EQ(ReadMachineGuid(registry), c.expected);
        EXPECT_EQ(registry.opened_with, std::vector<std::uint32_t>{kFirst});
        EXPECT_EQ(registry.open_keys, 0) << "the key is closed on every path";
        if (c.value && !c.value->bytes.empty()) {
            EXPECT_EQ(registry.read_sizes,
                      std::vector<std::uint32_t>{static_cast<std::uint32_t>(c.value->bytes.size())});
        }
    }
}

TEST(MachineGuidRegistryTest, MachineGuidAccessRightsInOrder) {
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
        FakeRegistry registry;
        if (c.key_exists) registry.keys[kKey][u"MachineGuid"] = FakeRegistry::Text(kRegSz, u"G");
        registry.refused_access = c.refused;
        EXPECT_EQ(Shown(ReadMachineGuid(registry)), c.expected);
        EXPECT_EQ(registry.opened_with, c.tried);
        EXPECT_EQ(registry.open_keys, 0);
    }
}

TEST(MachineGuidRegistryTest, MachineGuidThatGrowsBeforeItsReadFails) {
    FakeRegistry registry;
    registry.keys[kKey][u"MachineGuid"] = FakeRegistry::Text(kRegSz, u"G");
    registry.value_grows = true;
    EXPECT_EQ(ReadMachineGuid(registry).outcome, MachineGuidRead::Outcome::ReadFailed);
    EXPECT_EQ(registry.open_keys, 0);
}

}  // namespace
}  // namespace vantrel::platform
