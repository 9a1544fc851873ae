// What the running process knows about itself: its arguments, its executable,
// its current directory, and the user's locale for casing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrel::platform {

class Process {
public:
    virtual ~Process() = default;

    // Makes the user's default locale the locale of the running thread (United
    // States English when none is reported). Called once, first thing.
    virtual void UseUserLocale() = 0;

    // The command-line arguments as the platform splits them, program excluded.
    virtual std::vector<std::u16string> Arguments() = 0;

    // Full path of the running executable.
    virtual std::u16string ExecutablePath() = 0;

    // The current directory as the platform reports it.
    virtual std::u16string CurrentDirectory() = 0;

    // `text` in upper case under the casing rules of the thread's locale.
    virtual std::u16string UpperCase(std::u16string_view text) = 0;

    // The separator of directories in the paths the tool builds: "\" on
    // Windows, "/" on POSIX.
    virtual char16_t PathSeparator() const = 0;
};

// The running process. Lives for the whole process.
Process& RealProcess();

}  // namespace vantrel::platform
