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
    // Casing of the letter i; a Turkish-style locale maps it to U+0130.
    char16_t upper_i = u'I';
    int locale_calls = 0;

    void UseUserLocale() override { ++locale_calls; }
    std::vector<std::u16string> Arguments() override { return arguments; }
    std::u16string ExecutablePath() override { return executable_path; }
    std::u16string CurrentDirectory() override { return current_directory; }
    std::u16string UpperCase(std::u16string_view text) override {
        std::u16string out(text);
        for (auto& c : out) {
            if (c == u'i')
                c = upper_i;
            else if (c >= u'a' && c <= u'z')
                c = static_cast<char16_t>(c - 32);
        }
        return out;
    }
    char16_t PathSeparator() const override { return separator; }
};

}  // namespace vantrel::platform
