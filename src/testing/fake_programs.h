// Programs that are only recorded, for unit tests: every start, every service
// query, and set environment variables.
#pragma once

#include "testing/test_only.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/programs.h"
#include "testing/fault_plan.h"

namespace vantrel::platform {

class FakePrograms : public Programs {
public:
    struct Started {
        std::u16string command;
        bool wait = false;
        bool visible = false;
        bool operator==(const Started&) const = default;
    };
    std::vector<Started> started;
    // Runs at every start, after it was recorded: what the started program does.
    std::function<void(const std::u16string& command)> on_start;

    // What every start reports.
    bool start_succeeds = true;

    // The answer to every service query, unless `service_answer` is set.
    bool service_running = false;
    std::function<bool(const std::u16string& name)> service_answer;
    std::vector<std::u16string> service_queries;

    std::map<std::u16string, std::u16string> environment;

    // Every start and every service query is a failure point of this plan,
    // when set: the program does not start (and does nothing), the query
    // fails and reads as not running.
    FaultPlan* faults = nullptr;

    bool Start(const std::u16string& command, bool wait, bool visible) override {
        started.push_back({command, wait, visible});
        if (Faulted(faults, "programs.start")) return false;
        if (on_start) on_start(command);
        return start_succeeds;
    }
    bool ServiceRunning(const std::u16string& name) override {
        service_queries.push_back(name);
        if (Faulted(faults, "programs.service_running")) return false;
        return service_answer ? service_answer(name) : service_running;
    }
    std::u16string Environment(const std::u16string& name) override {
        auto it = environment.find(name);
        return it == environment.end() ? std::u16string() : it->second;
    }
};

}  // namespace vantrel::platform
