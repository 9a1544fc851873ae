// How "MachineGuid" is read from a registry: the key opened with the widest
// read access it grants, in the native view; the value's size asked first, then
// its data read into a buffer of that size; the key closed on every path.
// Written over a registry of the registry's own shape so that the Windows
// implementation and the tests share it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/machine_identity.h"

namespace vantrel::platform {

// Registry value types, numbered as Windows numbers them.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// Registry access rights, as Windows numbers them.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyNotify = 0x0010;
inline constexpr std::uint32_t kKeyWow64_64Key = 0x0100;
inline constexpr std::uint32_t kStandardRightsRead = 0x20000;
inline constexpr std::uint32_t kKeyRead =
    kStandardRightsRead | kKeyQueryValue | kKeyEnumerateSubKeys | kKeyNotify;

struct RegistryValueInfo {
    std::uint32_t type = kRegNone;
    std::uint32_t size = 0;  // bytes
};

struct RegistryData {
    std::uint32_t type = kRegNone;
    std::string bytes;  // as stored: UTF-16LE for the text types
};

// An open key; destroying it closes it.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;

    // The type and size of the value `name`, without its data; nullopt when the
    // query fails (no such value, for instance).
    virtual std::optional<RegistryValueInfo> QueryValue(const std::u16string& name) = 0;

    // The data of the value `name` read into a buffer of `size` bytes; nullopt
    // when the read fails (the value no longer fits, for instance).
    virtual std::optional<RegistryData> ReadValue(const std::u16string& name, std::uint32_t size) = 0;
};

class MachineRegistry {
public:
    virtual ~MachineRegistry() = default;

    // Opens `path` (no leading backslash) under HKEY_LOCAL_MACHINE with the
    // access mask `access`; nullptr when the key is missing or access is refused.
    virtual std::unique_ptr<RegistryKey> OpenMachineKey(const std::u16string& path, std::uint32_t access) = 0;
};

// "MachineGuid" of SOFTWARE\Microsoft\Cryptography, read from `registry`.
MachineGuidRead ReadMachineGuid(MachineRegistry& registry);

}  // namespace vantrel::platform
