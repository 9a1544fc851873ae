// The POSIX machine identity with the machine identifier read from a file of
// the caller's choice (the real one reads /etc/machine-id), for tests.
#pragma once

#include <memory>
#include <string>

#include "platform/machine_identity.h"

namespace vantrel::platform {

std::unique_ptr<MachineIdentity> NewPosixMachineIdentity(std::string machine_id_path);

}  // namespace vantrel::platform
