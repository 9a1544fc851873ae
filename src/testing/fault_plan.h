// Fails one chosen call of a run, for fault-injection tests: the fakes count
// the calls that can fail, in the order they come, and the N-th of them gives
// its real failure outcome. A plan that is not armed only counts.
#pragma once

#include "testing/test_only.h"

#include <cstddef>

namespace vantrel::platform {

class FaultPlan {
public:
    // From now on the `n`-th call fails (0: none), counting from one.
    void Arm(std::size_t n) {
        fail_at_ = n;
        calls_ = 0;
        failed_point_ = nullptr;
    }

    // Asked by a fake at each call that can fail; true when this one is to
    // fail. `point` names the call, for the report of a broken promise.
    bool Fail(const char* point) {
        ++calls_;
        if (calls_ != fail_at_) return false;
        failed_point_ = point;
        return true;
    }

    // The calls that could have failed so far.
    std::size_t calls() const { return calls_; }
    // Whether the chosen call has come (and failed).
    bool fired() const { return failed_point_ != nullptr; }
    // The call that failed, or "none".
    const char* failed_point() const { return failed_point_ != nullptr ? failed_point_ : "none"; }

private:
    std::size_t fail_at_ = 0;
    std::size_t calls_ = 0;
    const char* failed_point_ = nullptr;
};

// True when `plan` is set and fails this call.
inline bool Faulted(FaultPlan* plan, const char* point) { return plan != nullptr && plan->Fail(point); }

}  // namespace vantrel::platform
