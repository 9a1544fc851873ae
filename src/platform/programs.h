// Other programs: starting one from a command line, looking whether a service
// runs, and reading the environment variables that tell where programs live.
#pragma once

#include <string>

namespace vantrel::platform {

class Programs {
public:
    virtual ~Programs() = default;

    // Starts the program that `command` names, with the rest of `command` as its
    // arguments, in a new process group, with the tool's environment and current
    // directory. Waits, without a time limit, for its end when `wait` is true and
    // it started. `visible` false keeps a console program without a console
    // window (Windows). Returns whether the program started; the tool itself does
    // not act on it (a program that cannot be started is not reported), only the
    // support trace shows it.
    virtual bool Start(const std::u16string& command, bool wait, bool visible) = 0;

    // One look at the service `name`: true when it is running now. Every failure
    // (no service manager, no such service, a failed query) reads as false.
    virtual bool ServiceRunning(const std::u16string& name) = 0;

    // The value of the environment variable `name`, whole; empty when missing.
    virtual std::u16string Environment(const std::u16string& name) = 0;
};

// The real programs of this machine. Lives for the whole process.
Programs& RealPrograms();

}  // namespace vantrel::platform
