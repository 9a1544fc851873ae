// End-to-end: the built tool run as a caller runs it, in a temporary directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "testing/run_program.h"
#include "testing/tool_fixture.h"

#ifdef _WIN32
#include "testing/user_locale_win32.h"
#else
#include "testing/locale_environment_posix.h"
#endif

namespace vantrel {
namespace {

using testing::ProgramResult;
using testing::ProgramRun;

using testing::kSuccess;
const std::string kInvalidCast =
    R"({"log":[],"erro":{"class_erro":"EInvalidCast","msg_erro":"Invalid class typecast"}})";
const std::string kIoError6 = R"({"log":[],"erro":{"class_erro":"EInOutError","msg_erro":"I\/O error 6"}})";
const std::string kIoError104 =
    R"({"log":[],"erro":{"class_erro":"EInOutError","msg_erro":"I\/O error 104"}})";

const std::string kWriteError = "EWriteError: Stream write error\r\n";

class ToolTest : public testing::ToolFixture {
protected:
    ToolTest() : ToolFixture(VANTREL_EXE) {}

    ProgramRun Prepare(std::vector<std::string> args, std::optional<std::string> input = std::nullopt) {
        ProgramRun run = ToolFixture::Prepare(std::move(args));
        run.input = std::move(input);
        return run;
    }

    ProgramResult Run(std::vector<std::string> args, std::optional<std::string> input = std::nullopt,
                      bool close_output = false) {
        ProgramRun run = Prepare(std::move(args), std::move(input));
        run.close_output = close_output;
        return testing::RunProgram(run);
    }
};

using testing::ExpectLogLines;

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
        {{"x", "pedido.json"}, kIoError6},  // any other word: standard input
        {{"STDIN"}, kIoError104},           // no file named
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
        {"[\n1,\r\n2\n]", kInvalidCast},  // lines joined, each ending kept as CR LF
        {"[1,\r2]\r", kInvalidCast},      // lone CR dropped, a final CR ends the line
        {"[1]\x1A{", kInvalidCast},       // nothing after Ctrl-Z is read
        {"[1\x1A]", kSuccess},            // so a closing bracket after it is lost
        {"\xEF\xBB\xBF[1]", kSuccess},    // a byte-order mark is three ANSI characters
        {"5", kSuccess},                  // a scalar followed by CR LF is no value
        {"", kSuccess},
        {"hello", kSuccess},
        {R"({"solicitacao":256})", kSuccess},
    };
    for (const auto& c : cases) {
        ProgramResult r = Run({"x"}, c.input);
        EXPECT_EQ(r.out, c.expected) << ::testing::PrintToString(c.input);
    }
}

// A standard input whose reading fails (a directory): the failure in the
// document, and the run logged. Windows refuses the read with
// ERROR_INVALID_FUNCTION; POSIX's EISDIR counts as access denied.
TEST_F(ToolTest, UnreadableStandardInputIsReported) {
#ifdef _WIN32
    const std::string expected =
        R"({"log":[],"erro":{"class_erro":"EInOutError","msg_erro":"I\/O error 1"}})";
#else
    const std::string expected =
        R"({"log":[],"erro":{"class_erro":"EInOutError","msg_erro":"File access denied"}})";
#endif
    ProgramRun run = Prepare({"x"});
    run.input_path = dir.path();
    ProgramResult r = testing::RunProgram(run);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, expected);
    ExpectLogLines(Log(), {expected});
}

// A request is read up to a bound of 8 MiB and no further: a request file of
// exactly 8 MiB is read, one byte more is refused, and so is a standard input
// far larger than the memory the tool may have (a sparse file bigger than this
// machine's memory and than a 32-bit address space; natively, when the tool is
// not built with the sanitizers, its address space is also capped at 300 MB).
TEST_F(ToolTest, RequestsLargerThan8MiBAreRefusedUnread) {
    const std::string too_large =
        R"({"log":[],"erro":{"class_erro":"EInOutError","msg_erro":"Request larger than 8 MiB"}})";
    const std::size_t bound = std::size_t{8} << 20;
    // {"solicitacao":1} with blanks before its closing brace, `size` bytes long.
    auto request = [](std::size_t size) {
        std::string text = R"({"solicitacao":1)";
        text.resize(size - 1, ' ');
        return text + "}";
    };
    testing::WriteFileBytes(dir.File("exact.json"), request(bound));
    testing::WriteFileBytes(dir.File("over.json"), request(bound + 1));
    ProgramResult r = Run({"STDIN", "exact.json"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kSuccess);
    r = Run({"STDIN", "over.json"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, too_large);

    const std::string huge = dir.File("huge.json");
    testing::WriteFileBytes(huge, "{");
    std::filesystem::resize_file(huge, std::uintmax_t{32} << 30);
    ProgramRun run = Prepare({"x"});
    run.input_path = huge;
#if !defined(_WIN32) && !defined(VANTREL_SANITIZED)
    run.address_space_limit = 300'000'000;
#endif
    r = testing::RunProgram(run);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, too_large);
    EXPECT_EQ(r.err, "");
    std::filesystem::remove(huge);
    ExpectLogLines(Log(), {kSuccess, too_large, too_large});
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

// Settings under which a run's time of day holds letters that the ANSI code
// page lacks, so that its line moves the log to UTF-8, and a line of earlier
// content in that code page. Natively Japanese in EUC-JP, whose date is written
// in kanji; under Wine the current user's time format with Japanese AM and PM
// designators (settings of the whole Wine prefix, hence the CTest lock
// "user_locale").
class NonAsciiTime {
public:
#ifdef _WIN32
    bool ready() const { return GetACP() == 1252 && format_.changed() && am_.changed() && pm_.changed(); }
    // Every run started while this object lives.
    std::vector<std::pair<std::string, std::string>> Environment() const { return {}; }
    static constexpr char kAnsiLine[] = "caf\xE9\r\n";
    static constexpr char kUtf8Line[] = "caf\xC3\xA9\r\n";

private:
    platform::UserLocaleSetting format_{LOCALE_STIMEFORMAT, L"tt h:mm:ss"};
    platform::UserLocaleSetting am_{LOCALE_S1159, L"\u5348\u524D"};
    platform::UserLocaleSetting pm_{LOCALE_S2359, L"\u5348\u5F8C"};
#else
    NonAsciiTime() {
        if (!platform::LocaleEnvironment::Build("ja_JP", "EUC-JP")) return;
        const platform::LocaleEnvironment locale("ja_JP.EUC-JP");
        locale_path_ = std::getenv("LOCPATH");
        // glibc keeps the search path that LOCPATH gives for good; the leak
        // checker of a sanitized tool is told so.
        suppressions_ = locale_path_ + "/leaks.supp";
        testing::WriteFileBytes(suppressions_, "leak:__argz_add_sep\n");
    }
    bool ready() const { return !locale_path_.empty(); }
    // A run given this environment.
    std::vector<std::pair<std::string, std::string>> Environment() const {
        return {{"LOCPATH", locale_path_},
                {"LC_ALL", "ja_JP.EUC-JP"},
                {"LSAN_OPTIONS", "suppressions=" + suppressions_ + ":print_suppressions=0"}};
    }
    static constexpr char kAnsiLine[] = "\xC6\xFC\r\n";  // U+65E5 in EUC-JP
    static constexpr char kUtf8Line[] = "\xE6\x97\xA5\r\n";

private:
    std::string locale_path_;
    std::string suppressions_;
#endif
};

// A disk that fills up while the log is written (the run may not write files
// past a size): the result text comes first, then the report; the earlier
// lines stay. When the line would move the log to UTF-8, the converted log
// does not fit either and the old one stays as it was.
TEST_F(ToolTest, FullDiskIsReportedAfterTheResult) {
    if (!testing::FileSizeLimitAvailable()) GTEST_SKIP() << "no file-size limit on this platform";
    const std::string ascii = "|21/08/2025 14:03:07| " + kSuccess + "\r\n";
    struct Case {
        const char* name;
        std::string earlier;
        bool moves_to_utf8;
    } cases[] = {
        {"appending", ascii + ascii, false},
        {"moving to UTF-8", std::string(NonAsciiTime::kAnsiLine) + ascii, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<NonAsciiTime> non_ascii;
        if (c.moves_to_utf8) {
            non_ascii.emplace();
            if (!non_ascii->ready()) {
                ADD_FAILURE() << "no settings for a time outside the ANSI code page";
                continue;
            }
        }
        testing::WriteFileBytes(dir.File("LogVantrel.txt"), c.earlier);
        ProgramRun run = Prepare({"x"}, R"({"solicitacao":1})");
        if (non_ascii) {
            for (auto& variable : non_ascii->Environment()) run.environment.push_back(variable);
        }
        run.file_size_limit = c.earlier.size() + 10;
        ProgramResult r = testing::RunProgram(run);
#ifndef _WIN32
        EXPECT_EQ(r.exit_code, 0);  // under Wine the launcher's code is not passed back
#endif
        EXPECT_EQ(r.out, kSuccess + kWriteError) << r.err;
        const std::string log = Log();
        if (c.moves_to_utf8) {
            EXPECT_EQ(log, c.earlier);
            EXPECT_FALSE(testing::FileExists(dir.File("LogVantrel.txt.tmp")));
        } else {
            // What the write got in before the disk was full stays.
            EXPECT_EQ(log.substr(0, c.earlier.size()), c.earlier);
            EXPECT_LE(log.size(), *run.file_size_limit);
        }
    }
}

bool IsUtf8(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = lead < 0x80    ? 1
                                   : lead >= 0xF0 ? 4
                                   : lead >= 0xE0 ? 3
                                   : lead >= 0xC2 ? 2
                                                  : 0;
        if (length == 0 || lead > 0xF4 || i + length > bytes.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

// Fifty runs started at once in one directory: each one prints its whole
// document and gets its line into the log, whole and not mixed with another;
// the log stays in one encoding. In the second round the log moves to UTF-8
// while the other runs append (natively one run's line holds kanji; under Wine
// the time format of every run does).
TEST_F(ToolTest, FiftyRunsAtOnce) {
    constexpr int kRuns = 50;
    const std::regex line(R"(\|[^|\r\n]+\| )" +
                          std::regex_replace(kSuccess, std::regex(R"([\\^$.|?*+()\[\]{}])"), R"(\$&)"));
    for (bool moving : {false, true}) {
        SCOPED_TRACE(moving ? "moving to UTF-8" : "ASCII");
        testing::TempDir shared;
        std::optional<NonAsciiTime> non_ascii;
        if (moving) {
            non_ascii.emplace();
            if (!non_ascii->ready()) {
                ADD_FAILURE() << "no settings for a time outside the ANSI code page";
                continue;
            }
            testing::WriteFileBytes(shared.File("LogVantrel.txt"), NonAsciiTime::kAnsiLine);
        }
        std::vector<ProgramResult> results(kRuns);
        std::vector<std::thread> runs;
        for (int i = 0; i < kRuns; ++i) {
            ProgramRun run = Prepare({"x"}, R"({"solicitacao":1})");
            run.directory = shared.path();
            if (moving && i == kRuns / 2) {
                for (auto& variable : non_ascii->Environment()) run.environment.push_back(variable);
            }
            runs.emplace_back([&results, i, run] { results[i] = testing::RunProgram(run); });
        }
        for (auto& r : runs) r.join();
        for (int i = 0; i < kRuns; ++i) {
            EXPECT_FALSE(results[i].timed_out) << i;
            EXPECT_EQ(results[i].out, kSuccess) << i;
            EXPECT_EQ(results[i].err, "") << i;
        }

        std::string log = testing::ReadFileBytes(shared.File("LogVantrel.txt"));
        if (moving) {
            const std::string head = std::string("\xEF\xBB\xBF") + NonAsciiTime::kUtf8Line;
            ASSERT_EQ(log.substr(0, head.size()), head);
            log.erase(0, head.size());
            EXPECT_TRUE(IsUtf8(log));
        } else {
            EXPECT_TRUE(std::all_of(log.begin(), log.end(), [](char c) { return (c & 0x80) == 0; }));
        }
        int lines = 0;
        for (std::size_t start = 0; start < log.size(); ++lines) {
            std::size_t end = log.find("\r\n", start);
            ASSERT_NE(end, std::string::npos) << "an unfinished line: " << log.substr(start);
            const std::string text = log.substr(start, end - start);
            EXPECT_TRUE(std::regex_match(text, line)) << text;
            start = end + 2;
        }
        EXPECT_EQ(lines, kRuns);
        EXPECT_FALSE(testing::FileExists(shared.File("LogVantrel.txt.tmp")));
    }
}

}  // namespace
}  // namespace vantrel
