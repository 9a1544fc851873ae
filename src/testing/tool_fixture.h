// The shared fixture of the suites that run the built tool end to end: a
// temporary folder to run in, a local access-key service reached through the
// proxy setting, the locale pinned, and the run log read back.
#pragma once

#include "testing/test_only.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "testing/key_service.h"
#include "testing/run_program.h"

namespace vantrel::testing {

using Environment = std::vector<std::pair<std::string, std::string>>;

// The result document of a request that succeeded.
inline const std::string kSuccess = R"({"log":[],"Msg":"Sucesso"})";

class ToolFixture : public ::testing::Test {
protected:
    // `tool` is the built executable; `reply` is what the key service answers.
    explicit ToolFixture(std::string tool, const std::string& reply = R"({"token":"k"})")
        : tool_(std::move(tool)), key_service(reply) {}

    // A run of the tool in `dir`, under the C locale (the POSIX port reads
    // requests in the locale's codeset), asking the local key service.
    ProgramRun Prepare(std::vector<std::string> args = {}, const Environment& environment = {}) {
        ProgramRun run;
        run.program = tool_;
        run.args = std::move(args);
        run.directory = dir.path();
        run.environment = {{"LC_ALL", "C"}};
        for (auto& variable : key_service.Environment()) run.environment.push_back(variable);
        run.environment.insert(run.environment.end(), environment.begin(), environment.end());
        return run;
    }

    std::string Log() { return ReadFileBytes(dir.File("LogVantrel.txt")); }

    TempDir dir;

private:
    std::string tool_;

protected:
    KeyService key_service;
};

// `text` with every character that a regular expression reads specially escaped.
inline std::string RegexLiteral(const std::string& text) {
    return std::regex_replace(text, std::regex(R"([\\^$.|?*+()\[\]{}])"), R"(\$&)");
}

// The log holds one line per run: "|", the date-time text, "| ", the result, CR LF.
inline void ExpectLogLines(const std::string& log, const std::vector<std::string>& results) {
    std::string pattern;
    for (const auto& r : results) pattern += R"(\|[^|\r\n]+\| )" + RegexLiteral(r) + "\r\n";
    EXPECT_TRUE(std::regex_match(log, std::regex(pattern))) << log;
}

}  // namespace vantrel::testing
