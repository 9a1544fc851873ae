// The computer name and the local machine's registry, through the wide API.
#include <windows.h>

#include <vector>

#include "platform/machine_guid_registry.h"
#include "platform/machine_identity.h"
#include "platform/wide_win32.h"

namespace vantrel::platform {

namespace {

class Win32RegistryKey : public RegistryKey {
public:
    explicit Win32RegistryKey(HKEY key) : key_(key) {}
    ~Win32RegistryKey() override { RegCloseKey(key_); }
    Win32RegistryKey(const Win32RegistryKey&) = delete;
    Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

    std::optional<RegistryValueInfo> QueryValue(const std::u16string& name) override {
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (RegQueryValueExW(key_, win32::Wide(name), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        return RegistryValueInfo{type, size};
    }

    std::optional<RegistryData> ReadValue(const std::u16string& name, std::uint32_t size) override {
        RegistryData data;
        data.bytes.resize(size);
        DWORD type = REG_NONE;
        DWORD got = size;
        // A zero-sized buffer still needs a valid address.
        BYTE empty = 0;
        BYTE* buffer = size == 0 ? &empty : reinterpret_cast<BYTE*>(data.bytes.data());
        if (RegQueryValueExW(key_, win32::Wide(name), nullptr, &type, buffer, &got) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        data.type = type;
        data.bytes.resize(got < size ? got : size);
        return data;
    }

private:
    HKEY key_;
};

class Win32MachineRegistry : public MachineRegistry {
public:
    std::unique_ptr<RegistryKey> OpenMachineKey(const std::u16string& path, std::uint32_t access) override {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::Wide(path), 0, access, &key) != ERROR_SUCCESS) {
            return nullptr;
        }
        try {
            return std::make_unique<Win32RegistryKey>(key);
        } catch (...) {
            RegCloseKey(key);  // out of memory: the key does not stay open
            throw;
        }
    }
};

class Win32MachineIdentity : public MachineIdentity {
public:
    std::optional<std::u16string> ComputerName(std::uint32_t capacity) override {
        std::vector<wchar_t> buffer(capacity + 1, L'\0');
        DWORD size = capacity;
        if (!GetComputerNameW(buffer.data(), &size)) return std::nullopt;
        return win32::FromWide(buffer.data(), size < capacity ? size : capacity);
    }

    MachineGuidRead ReadMachineGuid() override {
        Win32MachineRegistry registry;
        return platform::ReadMachineGuid(registry);
    }
};

}  // namespace

MachineIdentity& RealMachineIdentity() {
    static Win32MachineIdentity real;
    return real;
}

}  // namespace vantrel::platform
