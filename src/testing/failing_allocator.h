// A countdown over the allocations of the thread that arms it, for tests that
// run a whole request once per allocation with that allocation failing: the
// program's global operator new is replaced (failing_allocator.cpp), and while
// a countdown runs, the N-th allocation of the arming thread throws
// std::bad_alloc. Other threads (a test's local servers) are never failed.
#pragma once

#include "testing/test_only.h"

#include <cstddef>

namespace vantrel::testing {

// Counts this thread's allocations from now on; the `n`-th fails (0: none).
void ArmAllocationFailure(std::size_t n);

// Stops counting and failing.
void DisarmAllocationFailure();

// The allocations counted since the last arming.
std::size_t AllocationsCounted();

// Whether the chosen allocation has come (and failed).
bool AllocationFailed();

}  // namespace vantrel::testing
