// The two values that identify this PC to the access-key service: the
// computer's name and the machine identifier Windows keeps in the registry.
// An empty text stands for a value that is not available.
#pragma once

#include <string>

#include "platform/machine_identity.h"

namespace vantrel::accesskey {

// The computer's name, at most 251 characters; the empty text when the
// platform cannot tell it. Never fails.
std::u16string LeNomeComputador(platform::MachineIdentity& identity);

// The text of the value "MachineGuid" of HKEY_LOCAL_MACHINE
// \SOFTWARE\Microsoft\Cryptography, read in the machine's native (64-bit) view,
// up to its first NUL. The empty text when the key cannot be opened, the value
// is missing or holds no bytes. Fails with "ERegistryException" when the data
// cannot be read after its size was found, or the value is not text.
std::u16string LeMachineGuid(platform::MachineIdentity& identity);

}  // namespace vantrel::accesskey
