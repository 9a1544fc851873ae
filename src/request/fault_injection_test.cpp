// The promise to callers under every failure: whole requests on the fakes with
// each failing call, and each allocation, failed in turn (testing/fault_harness.h).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "testing/fault_harness.h"

namespace vantrel::request {
namespace {

using testing::AllRunKinds;
using testing::FaultTally;
using testing::NameOf;
using testing::RunKind;

void Report(const char* what, const FaultTally& tally) {
    std::printf("[ faults   ] %s: %zu runs, %zu failure points injected\n", what, tally.runs, tally.injected);
}

// Every kind of run through `harness`, each with at least one failure injected.
template <typename Harness>
void EveryKindOfRun(const char* what, Harness harness) {
    FaultTally total;
    for (RunKind kind : AllRunKinds()) {
        SCOPED_TRACE(NameOf(kind));
        const FaultTally tally = harness(kind);
        EXPECT_GT(tally.injected, 0u);
        total += tally;
    }
    Report(what, total);
}

TEST(FaultInjectionTest, EveryFailingCallKeepsThePromise) {
    EveryKindOfRun("every failing call", [](RunKind kind) { return testing::EveryFailingCall(kind); });
}

TEST(FaultInjectionTest, EveryFailingAllocationKeepsThePromise) {
    EveryKindOfRun("every failing allocation",
                   [](RunKind kind) { return testing::EveryFailingAllocation(kind); });
}

// With the support trace on, to a real file: a failure while a line is made
// or the key is concealed must not show the key, nor break the promise.
TEST(FaultInjectionTest, EveryFailingAllocationWithTheTraceOn) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "vantrel-fault-trace";
    std::filesystem::create_directories(folder);
    FaultTally total;
    for (RunKind kind : {RunKind::NoArgumentInstall, RunKind::KeyRequestFails}) {
        SCOPED_TRACE(NameOf(kind));
        total += testing::EveryFailingAllocation(kind, true, folder.string());
    }
    std::filesystem::remove_all(folder);
    Report("every failing allocation, traced", total);
}

}  // namespace
}  // namespace vantrel::request
