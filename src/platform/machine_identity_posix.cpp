// The computer name and the machine identifier on POSIX: the host name, and
// the first line of the machine-id file standing in for the registry value
// "MachineGuid".
#include <unistd.h>

#include <fstream>
#include <string>

#include "core/utf.h"
#include "platform/machine_identity_posix.h"

namespace vantrel::platform {

namespace {

class PosixMachineIdentity : public MachineIdentity {
public:
    explicit PosixMachineIdentity(std::string machine_id_path)
        : machine_id_path_(std::move(machine_id_path)) {}

    std::optional<std::u16string> ComputerName(std::uint32_t capacity) override {
        std::string buffer(static_cast<std::size_t>(capacity) + 1, '\0');
        if (gethostname(buffer.data(), buffer.size()) != 0) return std::nullopt;
        buffer.resize(buffer.find('\0') == std::string::npos ? capacity : buffer.find('\0'));
        std::u16string name = Utf8ToUtf16(buffer);
        if (name.size() > capacity) name.resize(capacity);
        return name;
    }

    // A missing or unreadable file is a missing value; its first line, without
    // a carriage return, is the text.
    MachineGuidRead ReadMachineGuid() override {
        std::ifstream in(machine_id_path_, std::ios::binary);
        std::string line;
        if (!in || !std::getline(in, line)) return {MachineGuidRead::Outcome::Missing, {}};
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return {MachineGuidRead::Outcome::Text, Utf8ToUtf16(line)};
    }

private:
    std::string machine_id_path_;
};

}  // namespace

std::unique_ptr<MachineIdentity> NewPosixMachineIdentity(std::string machine_id_path) {
    return std::make_unique<PosixMachineIdentity>(std::move(machine_id_path));
}

MachineIdentity& RealMachineIdentity() {
    static std::unique_ptr<MachineIdentity> real = NewPosixMachineIdentity("/etc/machine-id");
    return *real;
}

}  // namespace vantrel::platform
