// What the running process knows about itself: its arguments, its executable,
// and its current directory.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrel::platform {

class Process {
public:
    virtual ~Process() = default;

    // The command-line arguments as the platform splits them, program excluded.
    virtual std::vector<std::u16string> Arguments() = 0;

    // Full path of the running executable.
    virtual std::u16string ExecutablePath() = 0;

    // The current directory as the platform reports it.
    virtual std::u16string CurrentDirectory() = 0;

    // The separator of directories in the paths the tool builds: "\" on
    // Windows, "/" on POSIX.
    virtual char16_t PathSeparator() const = 0;
};

// The running process. Lives for the whole process.
Process& RealProcess();

}  // namespace vantrel::platform
