// Fault injection over whole runs: a kind of run is served again and again on
// the fakes, the first time with its first failing call (or allocation) made
// to fail, the next time with its second, and so on, until a run makes fewer
// such calls than the one chosen. After every run the tool's promise to its
// callers is checked: exit code 0; on standard output one complete result
// document, optionally followed by the last-resort line; that document as one
// complete line of the run log, or the last-resort line; nothing left open;
// nothing started after a failure that ends the request; the key nowhere but
// in the client's configuration argument.
#pragma once

#include "testing/test_only.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace vantrel::testing {

// The kinds of run covered.
enum class RunKind {
    NoArgumentClientInstalled,  // kind 0, the company lookup, the client there
    NoArgumentInstall,          // kind 0, the client installed first, its service coming up
    NoArgumentNothingToStart,   // kind 0, no client and no installer
    RequestFile,                // "STDIN" and a request file, kind 0
    StandardInputKind0,
    StandardInputKind1,  // nothing to do
    KeyRequestFails,     // kind 0, the access-key service cannot be reached
};

const std::vector<RunKind>& AllRunKinds();
const char* NameOf(RunKind kind);

// How many runs were made and how many of them had a failure injected.
struct FaultTally {
    std::size_t runs = 0;
    std::size_t injected = 0;
    FaultTally& operator+=(const FaultTally& other) {
        runs += other.runs;
        injected += other.injected;
        return *this;
    }
};

// Every call of the fakes that can fail, failed in turn.
FaultTally EveryFailingCall(RunKind kind);

// Every allocation of the run, failed in turn; needs the failing allocator
// (failing_allocator.h) linked into the test program. With `traced`, the
// support trace is on, to a file in `trace_folder`.
FaultTally EveryFailingAllocation(RunKind kind, bool traced = false, const std::string& trace_folder = {});

}  // namespace vantrel::testing
