// Test helper for POSIX: locale data built for the tests (the machine may have
// no locales installed) and an environment that names one of them, for the
// length of a scope.
#pragma once

#include "testing/test_only.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>

// glibc's newlocale keeps the search path it builds from LOCPATH and never frees
// it; that is not this program's leak. Marked used: nothing here calls it, the
// sanitizer runtime looks it up.
extern "C" __attribute__((used)) inline const char* __lsan_default_suppressions() {
    return "leak:__argz_add_sep\n";
}

namespace vantrel::platform {

class LocaleEnvironment {
public:
    explicit LocaleEnvironment(const std::string& locale) {
        const char* old = std::getenv("LC_ALL");
        if (old != nullptr) saved_ = old;
        setenv("LOCPATH", Directory().c_str(), 1);
        setenv("LC_ALL", locale.c_str(), 1);
    }
    ~LocaleEnvironment() {
        unsetenv("LOCPATH");
        if (saved_)
            setenv("LC_ALL", saved_->c_str(), 1);
        else
            unsetenv("LC_ALL");
    }
    LocaleEnvironment(const LocaleEnvironment&) = delete;
    LocaleEnvironment& operator=(const LocaleEnvironment&) = delete;

    // Builds `source` in `codeset` (as "ja_JP", "EUC-JP"); false when that is
    // not possible here.
    static bool Build(const std::string& source, const std::string& codeset) {
        static std::map<std::string, bool> built;
        auto known = built.find(source + "." + codeset);
        if (known != built.end()) return known->second;
        std::string command = "mkdir -p " + Directory() + " && localedef -i " + source + " -f " + codeset +
                              " " + Directory() + "/" + source + "." + codeset + " >/dev/null 2>&1";
        return built[source + "." + codeset] = std::system(command.c_str()) == 0;
    }

private:
    // One directory per test process, so that test programs running side by side
    // do not build into each other's files; removed when the process ends.
    static const std::string& Directory() {
        struct Owned {
            std::string path = ::testing::TempDir() + "vantrel-test-locales-" + std::to_string(getpid());
            ~Owned() { std::filesystem::remove_all(path); }
        };
        static const Owned directory;
        return directory.path;
    }
    std::optional<std::string> saved_;
};

}  // namespace vantrel::platform
