// The real program starts, service looks and environment of this platform,
// against a stand-in program that records how it was started.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/utf.h"
#include "platform/programs.h"
#include "testing/run_program.h"
#include "testing/quote.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vantrel::platform {
namespace {

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

using Clock = std::chrono::steady_clock;

using testing::Quote;

// The stand-in copied to `path`; returns the path of its record.
std::string PlaceStandIn(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::filesystem::copy_file(STAND_IN, path);
    return path + ".log";
}

// The record once it holds `lines` lines, waiting at most 10 s.
std::string AwaitRecord(const std::string& record, std::size_t lines) {
    const auto end = Clock::now() + std::chrono::seconds(10);
    std::string text;
    do {
        text = testing::FileExists(record) ? testing::ReadFileBytes(record) : std::string();
        std::size_t n = 0;
        for (char c : text) n += c == '\n';
        if (n >= lines) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (Clock::now() < end);
    return text;
}

TEST(ProgramsTest, StartsWithTheArgumentsOfTheCommandLine) {
    testing::TempDir dir;
    const std::string program = dir.File(std::string("dir with blank") + kSep + "rustdesk.exe");
    const std::string record = PlaceStandIn(program);
    const std::u16string path = Utf8ToUtf16(program);

    struct Case {
        std::u16string command;
        std::string line;
    };
    const Case cases[] = {
        {Quote(path) + u" --config \"host=h.example,key=a b+/=\"", "[--config] [host=h.example,key=a b+/=]"},
        {Quote(path), ""},
    };
    std::string expected;
    std::size_t lines = 0;
    for (const Case& c : cases) {
        RealPrograms().Start(c.command, false, true);
        expected += c.line + "\n";
        EXPECT_EQ(AwaitRecord(record, ++lines), expected) << Utf16ToUtf8(c.command);
    }

    // Unquoted: the shortest blank-separated prefix that names a program, which
    // gets the whole text. Wine quotes the program it found in the command line
    // it passes on, so there only the argument after the path is the same.
    RealPrograms().Start(path + u" --x", false, true);
    std::string last = AwaitRecord(record, ++lines).substr(expected.size());
    const std::string whole = std::string("[with] [blank") + kSep + "rustdesk.exe] [--x]\n";
#ifdef _WIN32
    EXPECT_TRUE(last == whole || last == "[--x]\n") << last;
#else
    EXPECT_EQ(last, whole);
#endif
}

TEST(ProgramsTest, WaitsOnlyWhenAsked) {
    testing::TempDir dir;
    const std::string program = dir.File("rustdesk.exe");
    const std::string record = PlaceStandIn(program);
    const std::u16string quoted = Quote(Utf8ToUtf16(program));

    auto start = Clock::now();
    RealPrograms().Start(quoted + u" --sleep-ms 700", true, true);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(650));
    EXPECT_EQ(testing::ReadFileBytes(record), "[--sleep-ms] [700]\n");

    start = Clock::now();
    RealPrograms().Start(quoted + u" --sleep-ms 3000", false, false);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000));

    // A program that does not exist: back at once, silently, with or without waiting.
    start = Clock::now();
    RealPrograms().Start(Utf8ToUtf16(dir.File("missing.exe")) + u" --x", true, true);
    RealPrograms().Start(u"", true, true);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000));
    EXPECT_EQ(AwaitRecord(record, 2), "[--sleep-ms] [700]\n[--sleep-ms] [3000]\n");
}

// A Ctrl+C typed in the console the tool runs in must not reach the programs
// it starts: each runs in a process group of its own. The stand-in tells
// whether a Ctrl+C of its starter's console reaches it; started plainly, as the
// control, it does.
TEST(ProgramsTest, CtrlCOfTheConsoleDoesNotReachStartedPrograms) {
#ifdef _WIN32
    // Ctrl+C on for this process, as in a technician's console: a process that
    // has it off passes that on to every program it starts.
    SetConsoleCtrlHandler(nullptr, FALSE);
#endif
    testing::TempDir dir;
    const std::string program = dir.File("rustdesk.exe");
    const std::string record = PlaceStandIn(program);

    testing::ProgramRun plain;
    plain.program = program;
    plain.args = {"--ctrl-c"};
    EXPECT_EQ(testing::RunProgram(plain).exit_code, 0);
    std::string expected = "[--ctrl-c]\nctrl-c reaches it\n";
    std::size_t lines = 2;
    EXPECT_EQ(AwaitRecord(record, lines), expected);

    for (bool visible : {true, false}) {
        RealPrograms().Start(Quote(Utf8ToUtf16(program)) + u" --ctrl-c", true, visible);
        expected += "[--ctrl-c]\nctrl-c kept out\n";
        lines += 2;
        EXPECT_EQ(AwaitRecord(record, lines), expected) << "visible: " << visible;
    }
}

TEST(ProgramsTest, EnvironmentIsReadWhole) {
    const std::string value(5000, 'v');
#ifdef _WIN32
    SetEnvironmentVariableW(L"VANTREL_TEST_LONG", std::wstring(value.begin(), value.end()).c_str());
    SetEnvironmentVariableW(L"VANTREL_TEST_MISSING", nullptr);
#else
    setenv("VANTREL_TEST_LONG", value.c_str(), 1);
    unsetenv("VANTREL_TEST_MISSING");
#endif
    EXPECT_EQ(RealPrograms().Environment(u"VANTREL_TEST_LONG"), Utf8ToUtf16(value));
    EXPECT_EQ(RealPrograms().Environment(u"VANTREL_TEST_MISSING"), u"");
}

TEST(ProgramsTest, ServiceThatDoesNotExistIsNotRunning) {
    EXPECT_FALSE(RealPrograms().ServiceRunning(u"VantrelNoSuchService"));
}

#ifndef _WIN32
// A service is a live process of that name (as far as the kernel keeps it: 15
// bytes): seen while it runs, no longer once it has ended, also before its
// parent has collected it.
TEST(ProgramsTest, ServiceIsALiveProcessOfThatName) {
    testing::TempDir dir;
    const std::string program = dir.File("VantrelServiceProbe");
    PlaceStandIn(program);
    RealPrograms().Start(Quote(Utf8ToUtf16(program)) + u" --sleep-ms 1500", false, true);

    auto seen = [](bool running) {
        const auto end = Clock::now() + std::chrono::seconds(10);
        while (RealPrograms().ServiceRunning(u"VantrelServiceProbe") != running) {
            if (Clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    };
    EXPECT_TRUE(seen(true));
    EXPECT_TRUE(seen(false));
}
#endif

}  // namespace
}  // namespace vantrel::platform
