// The rules of the device identity over the platform's reports: the computer
// name's length and NUL, and what each outcome of reading "MachineGuid" gives.
#include "accesskey/device_identity.h"

#include <gtest/gtest.h>

#include <optional>

#include "testing/fake_machine_identity.h"
#include "testing/outcome.h"

namespace vantrel::accesskey {
namespace {

using platform::FakeMachineIdentity;
using platform::MachineGuidRead;
using testing::Fails;
using testing::Ok;
using testing::Outcome;

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
        FakeMachineIdentity identity;
        identity.computer_name = c.reported;
        EXPECT_EQ(LeNomeComputador(identity), c.expected);
        EXPECT_EQ(identity.asked_capacity, 251u);
    }
}

TEST(DeviceIdentityTest, MachineGuidOutcomes) {
    using enum MachineGuidRead::Outcome;
    const std::u16string guid = u"6f1d3c2a-8b7e-4d5f-9a0b-1c2d3e4f5a6b";
    struct Case {
        MachineGuidRead::Outcome outcome;
        std::u16string text;
        Outcome expected;
    } cases[] = {
        {Text, guid + u'\0', Ok(guid)},
        {Text, std::u16string(u"abc\0def\0", 8), Ok(u"abc")},  // up to the first NUL
        {Text, u"", Ok(u"")},
        {Missing, u"", Ok(u"")},  // no key, no value, or access refused: no failure
        {Empty, u"", Ok(u"")},
        {NotText, u"", Fails(u"ERegistryException", u"Invalid data type for 'MachineGuid'")},
        {ReadFailed, u"", Fails(u"ERegistryException", u"Failed to get data for 'MachineGuid'")},
    };
    for (const auto& c : cases) {
        FakeMachineIdentity identity;
        identity.machine_guid.outcome = c.outcome;
        identity.machine_guid.text = c.text;
        EXPECT_EQ(testing::Run([&] { return LeMachineGuid(identity); }), c.expected)
            << static_cast<int>(c.outcome);
    }
}

}  // namespace
}  // namespace vantrel::accesskey
