// A process with settable arguments, paths and casing, for unit tests.
#pragma once

#include "testing/test_only.h"

#include <string>
#include <vector>

#include "platform/process.h"

namespace vantrel::platform {

class FakeProcess : public Process {
public:
    std::vector<std::u16string> arguments;
    std::u16string executable_path = u"C:\\Apps\\vantrel.exe";
    std::u16string current_directory = u"C:\\Work";
    char16_t separator = u'\\';
    std::vector<std::u16string> Arguments() override { return arguments; }
    std::u16string ExecutablePath() override { return executable_path; }
    std::u16string CurrentDirectory() override { return current_directory; }
    char16_t PathSeparator() const override { return separator; }
};

}  // namespace vantrel::platform
