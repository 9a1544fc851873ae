// What identifies this PC to the vendor: the computer's name and the machine
// identifier kept in the registry of the local machine.
//
// The interface is the registry's own shape (open a key with an access mask,
// query a value's type and size, read its data), so that the rules built on it
// (which access rights are tried, what counts as empty, which failures are
// raised) are written once above it. Closing a key is destroying it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

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

class DeviceIdentity {
public:
    virtual ~DeviceIdentity() = default;

    // The computer's name as the platform reports it into a buffer of
    // `capacity` characters; nullopt when the platform cannot tell it.
    virtual std::optional<std::u16string> ComputerName(std::uint32_t capacity) = 0;

    // Opens `path` (no leading backslash) under HKEY_LOCAL_MACHINE with the
    // access mask `access`; nullptr when the key is missing or access is refused.
    virtual std::unique_ptr<RegistryKey> OpenMachineKey(const std::u16string& path, std::uint32_t access) = 0;
};

// The real one. Lives for the whole process. On POSIX the computer name is the
// host name, and the only key is SOFTWARE\Microsoft\Cryptography, whose value
// "MachineGuid" is the first line of /etc/machine-id as text (REG_SZ).
DeviceIdentity& RealDeviceIdentity();

}  // namespace vantrel::platform
