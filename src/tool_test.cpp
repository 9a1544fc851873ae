// End-to-end: the built tool run as a caller runs it, in a temporary directory.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "testing/key_service.h"
#include "testing/run_program.h"

namespace vantrel {
namespace {

using testing::ProgramResult;
using testing::ProgramRun;

const std::string kSuccess = R"({"log":[],"Msg":"Sucesso"})";
const std::string kInvalidCast =
    R"({"log":[],"erro":{"class_erro":"EInvalidCast","msg_erro":"Invalid class typecast"}})";
const std::string kIoError6 =
    R"({"log":[],"erro":{"class_erro":"EInOutError","msg_erro":"I\/O error 6"}})";
const std::string kIoError104 =
    R"({"log":[],"erro":{"class_erro":"EInOutError","msg_erro":"I\/O error 104"}})";

class ToolTest : public ::testing::Test {
protected:
    ProgramResult Run(std::vector<std::string> args, std::optional<std::string> input = std::nullopt,
                      bool close_output = false) {
        ProgramRun run;
        run.program = VANTREL_EXE;
        run.args = std::move(args);
        run.input = std::move(input);
        run.directory = dir.path();
        run.close_output = close_output;
        // The POSIX port reads requests in the locale's codeset; pin it.
        run.environment = {{"LC_ALL", "C"}};
        // Kind 0 asks for the access key; nothing is installed, so nothing starts.
        for (auto& variable : key_service.Environment()) run.environment.push_back(variable);
        return testing::RunProgram(run);
    }

    std::string Log() { return testing::ReadFileBytes(dir.File("LogVantrel.txt")); }

    testing::TempDir dir;
    testing::KeyService key_service{R"({"token":"k"})"};
};

// The log holds one line per run: "|", the date-time text, "| ", the result, CR LF.
void ExpectLogLines(const std::string& log, const std::vector<std::string>& results) {
    std::string pattern;
    for (const auto& r : results) {
        pattern += R"(\|[^|\r\n]+\| )" + std::regex_replace(r, std::regex(R"([\\^$.|?*+()\[\]{}])"), R"(\$&)") +
                   "\r\n";
    }
    EXPECT_TRUE(std::regex_match(log, std::regex(pattern))) << log;
}

TEST_F(ToolTest, RequestOnStandardInputIsAnsweredAndLogged) {
    ProgramResult r = Run({"x"}, R"({"solicitacao":1})");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kSuccess);
    EXPECT_EQ(r.err, "");
    ExpectLogLines(Log(), {kSuccess});

    r = Run({"x"}, "[1]");
    EXPECT_EQ(r.out, kInvalidCast);
    ExpectLogLines(Log(), {kSuccess, kInvalidCast});
}

// Which input a command line reads: a request file holding an array, and a closed
// standard input, tell the three cases apart.
TEST_F(ToolTest, CommandLineChoosesTheInput) {
    testing::WriteFileBytes(dir.File("pedido.json"), "[1]");
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    } cases[] = {
        {{}, kSuccess},                            // nothing read
        {{"STDIN", "pedido.json"}, kInvalidCast},  // the file in the current directory
        {{"stdin", "pedido.json"}, kInvalidCast},  // the mode word in any case
        {{"sTdIn", "pedido.json", "more"}, kInvalidCast},
        {{"x", "pedido.json"}, kIoError6},         // any other word: standard input
        {{"STDIN"}, kIoError104},                  // no file named
        {{"STDIN", "missing.json"}, kIoError104},
        {{"STDIN", std::string(300, 'a')}, kIoError104},  // over-long path
    };
    for (const auto& c : cases) {
        ProgramResult r = Run(c.args);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, c.expected) << ::testing::PrintToString(c.args);
    }
}

TEST_F(ToolTest, RequestTextRules) {
    struct Case {
        std::string input;
        std::string expected;
    } cases[] = {
        {"[\n1,\r\n2\n]", kInvalidCast},      // lines joined, each ending kept as CR LF
        {"[1,\r2]\r", kInvalidCast},           // lone CR dropped, a final CR ends the line
        {"[1]\x1A{", kInvalidCast},            // nothing after Ctrl-Z is read
        {"[1\x1A]", kSuccess},                 // so a closing bracket after it is lost
        {"\xEF\xBB\xBF[1]", kSuccess},         // a byte-order mark is three ANSI characters
        {"5", kSuccess},                       // a scalar followed by CR LF is no value
        {"", kSuccess},
        {"hello", kSuccess},
        {R"({"solicitacao":256})", kSuccess},
    };
    for (const auto& c : cases) {
        ProgramResult r = Run({"x"}, c.input);
        EXPECT_EQ(r.out, c.expected) << ::testing::PrintToString(c.input);
    }
}

TEST_F(ToolTest, ResultThatCannotBeWrittenIsStillLogged) {
    ProgramResult r = Run({"x"}, "[1]", /*close_output=*/true);
    EXPECT_EQ(r.exit_code, 0);
    ExpectLogLines(Log(), {kInvalidCast});
}

TEST_F(ToolTest, LogHeldByAnotherProgramIsReportedAfterTheResult) {
    testing::WriteFileBytes(dir.File("LogVantrel.txt"), "earlier\r\n");
    ProgramResult r;
    {
        testing::HeldFile held(dir.File("LogVantrel.txt"));
        r = Run({"x"}, R"({"solicitacao":1})");
    }
    EXPECT_EQ(r.exit_code, 0);
    const std::string report = kSuccess + "EInOutError: Cannot open file \"";
    EXPECT_EQ(r.out.substr(0, report.size()), report) << r.out;
    EXPECT_NE(r.out.find("LogVantrel.txt]\r\n"), std::string::npos) << r.out;
    EXPECT_EQ(Log(), "earlier\r\n");
}

// With standard output closed, the report of a log failure cannot be written
// either: the run ends with exit code 1 and says why on standard error.
TEST_F(ToolTest, UnwritableReportEndsWithExitCodeOne) {
    testing::HeldFile held(dir.File("LogVantrel.txt"));
    ProgramResult r = Run({"x"}, R"({"solicitacao":1})", /*close_output=*/true);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err, "");
}

}  // namespace
}  // namespace vantrel
