// The computer name and the machine identifier on POSIX: the host name, and
// the first line of the machine-id file standing in for the registry value
// "MachineGuid" of the key SOFTWARE\Microsoft\Cryptography.
#include <unistd.h>

#include <fstream>
#include <string>

#include "core/utf.h"
#include "platform/device_identity_posix.h"

namespace vantrel::platform {

namespace {

constexpr char16_t kCryptographyKey[] = u"SOFTWARE\\Microsoft\\Cryptography";
constexpr char16_t kMachineGuid[] = u"MachineGuid";

// Registry names are case-insensitive (ASCII letters at least).
bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

class MachineIdKey : public RegistryKey {
public:
    explicit MachineIdKey(const std::string& path) : path_(path) {}

    std::optional<RegistryValueInfo> QueryValue(const std::u16string& name) override {
        std::optional<std::string> data = Data(name);
        if (!data) return std::nullopt;
        return RegistryValueInfo{kRegSz, static_cast<std::uint32_t>(data->size())};
    }

    std::optional<RegistryData> ReadValue(const std::u16string& name, std::uint32_t size) override {
        std::optional<std::string> data = Data(name);
        if (!data || data->size() > size) return std::nullopt;
        return RegistryData{kRegSz, std::move(*data)};
    }

private:
    // The value's data as the registry would hold it: UTF-16LE text with its
    // terminating NUL.
    std::optional<std::string> Data(const std::u16string& name) const {
        if (!SameName(name, kMachineGuid)) return std::nullopt;
        std::ifstream in(path_, std::ios::binary);
        std::string line;
        if (!in || !std::getline(in, line)) return std::nullopt;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::u16string text = Utf8ToUtf16(line);
        text.push_back(u'\0');
        std::string bytes;
        bytes.reserve(text.size() * 2);
        for (char16_t c : text) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
        return bytes;
    }

    std::string path_;
};

class PosixDeviceIdentity : public DeviceIdentity {
public:
    explicit PosixDeviceIdentity(std::string machine_id_path)
        : machine_id_path_(std::move(machine_id_path)) {}

    std::optional<std::u16string> ComputerName(std::uint32_t capacity) override {
        std::string buffer(static_cast<std::size_t>(capacity) + 1, '\0');
        if (gethostname(buffer.data(), buffer.size()) != 0) return std::nullopt;
        buffer.resize(buffer.find('\0') == std::string::npos ? capacity : buffer.find('\0'));
        std::u16string name = Utf8ToUtf16(buffer);
        if (name.size() > capacity) name.resize(capacity);
        return name;
    }

    std::unique_ptr<RegistryKey> OpenMachineKey(const std::u16string& path, std::uint32_t) override {
        if (!SameName(path, kCryptographyKey)) return nullptr;
        return std::make_unique<MachineIdKey>(machine_id_path_);
    }

private:
    std::string machine_id_path_;
};

}  // namespace

std::unique_ptr<DeviceIdentity> NewPosixDeviceIdentity(std::string machine_id_path) {
    return std::make_unique<PosixDeviceIdentity>(std::move(machine_id_path));
}

DeviceIdentity& RealDeviceIdentity() {
    static std::unique_ptr<DeviceIdentity> real = NewPosixDeviceIdentity("/etc/machine-id");
    return *real;
}

}  // namespace vantrel::platform
