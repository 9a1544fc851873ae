// A computer name and a machine identifier as the platform reports them, for
// unit tests of the rules above them.
#pragma once

#include "testing/test_only.h"

#include <optional>
#include <string>

#include "platform/machine_identity.h"
#include "testing/fault_plan.h"

namespace vantrel::platform {

class FakeMachineIdentity : public MachineIdentity {
public:
    // nullopt: the platform cannot tell the name.
    std::optional<std::u16string> computer_name = u"PC-CAIXA-01";
    std::uint32_t asked_capacity = 0;
    // What reading "MachineGuid" gives.
    MachineGuidRead machine_guid{MachineGuidRead::Outcome::Missing, {}};
    // Both reads are failure points of this plan, when set: no name, a value
    // whose data cannot be read.
    FaultPlan* faults = nullptr;

    std::optional<std::u16string> ComputerName(std::uint32_t capacity) override {
        asked_capacity = capacity;
        if (Faulted(faults, "identity.computer_name")) return std::nullopt;
        return computer_name;
    }

    MachineGuidRead ReadMachineGuid() override {
        if (Faulted(faults, "identity.machine_guid")) return {MachineGuidRead::Outcome::ReadFailed, {}};
        return machine_guid;
    }
};

}  // namespace vantrel::platform
