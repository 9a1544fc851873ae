// What identifies this PC to the vendor: the computer's name and the machine
// identifier kept in the registry value "MachineGuid" of the local machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vantrel::platform {

// What reading "MachineGuid" gave.
struct MachineGuidRead {
    enum class Outcome {
        Missing,     // no key or no value, or the key cannot be opened
        Empty,       // the value holds no bytes
        ReadFailed,  // its data could not be read after its size was found
        NotText,     // it is neither REG_SZ nor REG_EXPAND_SZ
        Text,        // `text` holds it
    };
    Outcome outcome = Outcome::Missing;
    // The value's UTF-16 code units as stored, NULs included (Text only).
    std::u16string text;
};

class MachineIdentity {
public:
    virtual ~MachineIdentity() = default;

    // The computer's name as the platform reports it into a buffer of
    // `capacity` characters; nullopt when the platform cannot tell it.
    virtual std::optional<std::u16string> ComputerName(std::uint32_t capacity) = 0;

    // The value "MachineGuid" of HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Cryptography,
    // in the machine's native (64-bit) view, opened for reading only. Never fails.
    virtual MachineGuidRead ReadMachineGuid() = 0;
};

// The real one. Lives for the whole process. On POSIX the computer name is the
// host name and the machine identifier the first line of /etc/machine-id.
MachineIdentity& RealMachineIdentity();

}  // namespace vantrel::platform
