// Libraries for unit tests: names that load with a table of symbols, and load
// failures with the system's error number and text.
#pragma once

#include "testing/test_only.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/libraries.h"
#include "testing/fault_plan.h"

namespace vantrel::platform {

class FakeLibraries : public Libraries {
public:
    static constexpr std::uint32_t kModuleNotFound = 126;
    static constexpr std::uint32_t kBadExeFormat = 193;

    struct Failure {
        std::uint32_t error = kModuleNotFound;
        std::u16string text = u"The specified module could not be found";
        bool other_architecture = false;
    };

    // Names that load, with the symbols they export.
    std::map<std::u16string, std::map<std::string, void*>> available;
    // How names that do not load fail; others fail as not found.
    std::map<std::u16string, Failure> failures;

    // Every name asked for, in order, and how many loaded libraries are alive.
    std::vector<std::u16string> loads;
    int alive = 0;
    // Every load is a failure point of this plan, when set: the library is not
    // found.
    FaultPlan* faults = nullptr;

    LibraryLoad Load(const std::u16string& name) override {
        loads.push_back(name);
        LibraryLoad result;
        if (Faulted(faults, "libraries.load")) {
            result.error = kModuleNotFound;
            result.error_text = u"The specified module could not be found";
            return result;
        }
        if (auto it = available.find(name); it != available.end()) {
            result.library = std::make_unique<Loaded>(it->second, alive);
            return result;
        }
        Failure failure;
        if (auto it = failures.find(name); it != failures.end()) failure = it->second;
        result.error = failure.error;
        result.error_text = failure.text;
        result.other_architecture = failure.other_architecture;
        return result;
    }

private:
    class Loaded : public Library {
    public:
        Loaded(std::map<std::string, void*> symbols, int& alive)
            : symbols_(std::move(symbols)), alive_(alive) {
            ++alive_;
        }
        ~Loaded() override { --alive_; }
        Loaded(const Loaded&) = delete;
        Loaded& operator=(const Loaded&) = delete;
        void* Symbol(const char* name) override {
            auto it = symbols_.find(name);
            return it == symbols_.end() ? nullptr : it->second;
        }

    private:
        std::map<std::string, void*> symbols_;
        int& alive_;
    };
};

}  // namespace vantrel::platform
