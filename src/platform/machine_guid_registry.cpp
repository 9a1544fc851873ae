#include "platform/machine_guid_registry.h"

namespace vantrel::platform {

namespace {

constexpr char16_t kCryptographyKey[] = u"SOFTWARE\\Microsoft\\Cryptography";
constexpr char16_t kMachineGuid[] = u"MachineGuid";

// Read access in the native view, from the widest to the narrowest: the first
// that the key grants is used. Write access is never asked for.
constexpr std::uint32_t kReadAccess[] = {
    kKeyRead | kKeyWow64_64Key,
    kStandardRightsRead | kKeyQueryValue | kKeyEnumerateSubKeys | kKeyWow64_64Key,
    kKeyQueryValue | kKeyWow64_64Key,
};

}  // namespace

MachineGuidRead ReadMachineGuid(MachineRegistry& registry) {
    using Outcome = MachineGuidRead::Outcome;
    std::unique_ptr<RegistryKey> key;
    for (std::uint32_t access : kReadAccess) {
        key = registry.OpenMachineKey(kCryptographyKey, access);
        if (key) break;
    }
    if (!key) return {Outcome::Missing, {}};

    // The key closes when `key` goes, on every path out of here.
    std::optional<RegistryValueInfo> info = key->QueryValue(kMachineGuid);
    if (!info) return {Outcome::Missing, {}};
    if (info->size == 0) return {Outcome::Empty, {}};

    // A buffer of half the size in characters is the size in bytes.
    std::optional<RegistryData> data = key->ReadValue(kMachineGuid, info->size);
    if (!data) return {Outcome::ReadFailed, {}};
    if (data->type != kRegSz && data->type != kRegExpandSz) return {Outcome::NotText, {}};

    // UTF-16LE code units; an odd last byte is no character.
    std::u16string text(data->bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(data->bytes[2 * i]) |
                                        static_cast<unsigned char>(data->bytes[2 * i + 1]) << 8);
    }
    return {Outcome::Text, std::move(text)};
}

}  // namespace vantrel::platform
