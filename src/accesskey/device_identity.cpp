#include "accesskey/device_identity.h"

#include "core/error.h"

namespace vantrel::accesskey {

namespace {

constexpr std::uint32_t kNameCapacity = 251;

std::u16string UpToNul(std::u16string text) {
    std::size_t nul = text.find(u'\0');
    if (nul != std::u16string::npos) text.resize(nul);
    return text;
}

}  // namespace

std::u16string LeNomeComputador(platform::MachineIdentity& identity) {
    std::optional<std::u16string> name = identity.ComputerName(kNameCapacity);
    if (!name) return {};
    std::u16string text = UpToNul(std::move(*name));
    if (text.size() > kNameCapacity) text.resize(kNameCapacity);
    return text;
}

std::u16string LeMachineGuid(platform::MachineIdentity& identity) {
    using Outcome = platform::MachineGuidRead::Outcome;
    platform::MachineGuidRead read = identity.ReadMachineGuid();
    switch (read.outcome) {
    case Outcome::Missing:
    case Outcome::Empty: return {};
    case Outcome::ReadFailed: throw Error(u"ERegistryException", u"Failed to get data for 'MachineGuid'");
    case Outcome::NotText: throw Error(u"ERegistryException", u"Invalid data type for 'MachineGuid'");
    case Outcome::Text: break;
    }
    return UpToNul(std::move(read.text));
}

}  // namespace vantrel::accesskey
