#include "accesskey/device_identity.h"

#include "core/error.h"

namespace vantrel::accesskey {

namespace {

constexpr std::uint32_t kNameCapacity = 251;

// The key path from the root; the leading backslash only says so.
constexpr char16_t kCryptographyKey[] = u"\\SOFTWARE\\Microsoft\\Cryptography";
constexpr char16_t kMachineGuid[] = u"MachineGuid";

// Read access in the native view, from the widest to the narrowest: the first
// that the key grants is used. Write access is never asked for.
constexpr std::uint32_t kReadAccess[] = {
    platform::kKeyRead | platform::kKeyWow64_64Key,
    platform::kStandardRightsRead | platform::kKeyQueryValue | platform::kKeyEnumerateSubKeys |
        platform::kKeyWow64_64Key,
    platform::kKeyQueryValue | platform::kKeyWow64_64Key,
};

std::u16string UpToNul(std::u16string text) {
    std::size_t nul = text.find(u'\0');
    if (nul != std::u16string::npos) text.resize(nul);
    return text;
}

}  // namespace

std::u16string LeNomeComputador(platform::DeviceIdentity& identity) {
    std::optional<std::u16string> name = identity.ComputerName(kNameCapacity);
    if (!name) return {};
    std::u16string text = UpToNul(std::move(*name));
    if (text.size() > kNameCapacity) text.resize(kNameCapacity);
    return text;
}

std::u16string LeMachineGuid(platform::DeviceIdentity& identity) {
    const std::u16string path = std::u16string(kCryptographyKey).substr(1);
    std::unique_ptr<platform::RegistryKey> key;
    for (std::uint32_t access : kReadAccess) {
        key = identity.OpenMachineKey(path, access);
        if (key) break;
    }
    if (!key) return {};

    // The key closes when `key` goes, on every path out of here.
    std::optional<platform::RegistryValueInfo> info = key->QueryValue(kMachineGuid);
    if (!info || info->size == 0) return {};

    std::optional<platform::RegistryData> data = key->ReadValue(kMachineGuid, info->size);
    if (!data) {
        throw Error(u"ERegistryException", u"Failed to get data for 'MachineGuid'");
    }
    if (data->type != platform::kRegSz && data->type != platform::kRegExpandSz) {
        throw Error(u"ERegistryException", u"Invalid data type for 'MachineGuid'");
    }
    // UTF-16LE code units; an odd last byte is no character.
    std::u16string text(data->bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(data->bytes[2 * i]) |
                                        static_cast<unsigned char>(data->bytes[2 * i + 1]) << 8);
    }
    return UpToNul(std::move(text));
}

}  // namespace vantrel::accesskey
