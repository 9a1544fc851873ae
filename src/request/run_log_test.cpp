#include "request/run_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "core/error.h"
#include "testing/outcome.h"
#include "core/utf.h"
#include "testing/fake_platform.h"

#ifdef _WIN32
#include "testing/user_locale_win32.h"
#else
#include <clocale>

#include "testing/locale_environment_posix.h"
#endif

namespace vantrel::request {
namespace {

using platform::FakeFileSystem;

constexpr char kBom[] = "\xEF\xBB\xBF";
const std::u16string kText = u"{\"log\":[],\"Msg\":\"Sucesso\"}";
const std::string kTextBytes = "{\"log\":[],\"Msg\":\"Sucesso\"}";
// The line of a run at the fake clock's default time, in ASCII.
const std::string kLine = "|21/08/2025 14:03:07| " + kTextBytes + "\r\n";

std::string Printable(const std::string& bytes) { return ::testing::PrintToString(bytes); }

// The fake platform's console has ANSI code page 1252, as Latin-1.
class RunLogTest : public ::testing::Test, protected platform::FakePlatform {
protected:
    const std::u16string log = u"C:\\Work\\LogVantrel.txt";
    const std::u16string scratch = u"C:\\Work\\LogVantrel.txt.tmp";

    void Log() { GravaLog(sys, kText); }

    // Runs GravaLog expecting a failure of `kind` with `message`.
    void ExpectFailure(const std::u16string& kind, const std::u16string& message) {
        testing::ExpectError([&] { Log(); }, kind, message);
        EXPECT_EQ(files.OpenHandles(), 0) << "a file was left open";
    }
};

TEST_F(RunLogTest, FirstRunCreatesAnAsciiLogOfOneLine) {
    Log();
    EXPECT_EQ(files.Bytes(log), kLine);
    EXPECT_EQ(files.OpenHandles(), 0);
}

TEST_F(RunLogTest, DateAloneAtExactlyMidnight) {
    struct Case {
        int hour, minute, second, millisecond;
        std::string date_time;
    } cases[] = {
        {0, 0, 0, 0, "21/08/2025"},          {0, 0, 0, 1, "21/08/2025 00:00:00"},
        {0, 0, 1, 0, "21/08/2025 00:00:01"}, {0, 1, 0, 0, "21/08/2025 00:01:00"},
        {1, 0, 0, 0, "21/08/2025 01:00:00"}, {23, 59, 59, 999, "21/08/2025 23:59:59"},
    };
    for (const auto& c : cases) {
        files.nodes.clear();
        clock.now = {2025, 8, 21, c.hour, c.minute, c.second, c.millisecond};
        Log();
        EXPECT_EQ(files.Bytes(log), "|" + c.date_time + "| " + kTextBytes + "\r\n");
    }
}

TEST_F(RunLogTest, LogLivesInTheCurrentDirectory) {
    struct Case {
        std::u16string directory;
        char16_t separator;
        std::u16string path;
    } cases[] = {
        {u"C:\\Work", u'\\', u"C:\\Work\\LogVantrel.txt"},
        {u"C:\\", u'\\', u"C:\\\\LogVantrel.txt"},  // the system reads the doubled separator as one
        {u"\\\\server\\share\\", u'\\', u"\\\\server\\share\\\\LogVantrel.txt"},
        {u"/home/ana", u'/', u"/home/ana/LogVantrel.txt"},
        {u"/", u'/', u"//LogVantrel.txt"},
    };
    for (const auto& c : cases) {
        files.nodes.clear();
        process.current_directory = c.directory;
        process.separator = c.separator;
        Log();
        EXPECT_TRUE(files.Has(c.path)) << Utf16ToUtf8(c.path);
    }
}

TEST_F(RunLogTest, LongPathsAreRefusedOnOlderSystemsOnly) {
    const std::u16string name = u"\\LogVantrel.txt";
    struct Case {
        std::u16string directory;
        bool long_paths;
        bool refused;
    } cases[] = {
        {u"C:\\" + std::u16string(259 - name.size() - 3, u'd'), false, false},  // 259
        {u"C:\\" + std::u16string(260 - name.size() - 3, u'd'), false, true},   // 260
        {u"C:\\" + std::u16string(260 - name.size() - 3, u'd'), true, false},
        {u"\\\\?\\C:\\" + std::u16string(300, u'd'), false, false},
    };
    for (const auto& c : cases) {
        files = FakeFileSystem();
        files.long_paths = c.long_paths;
        process.current_directory = c.directory;
        const std::u16string path = c.directory + name;
        if (c.refused) {
            ExpectFailure(u"EPathTooLongException", u"The specified path is too long\r\n[" + path + u"]");
            EXPECT_TRUE(files.nodes.empty());
            EXPECT_EQ(files.opens, 0);
        } else {
            Log();
            EXPECT_TRUE(files.Has(path)) << path.size();
        }
    }
}

// What the log holds after one run, by what it held before and the line's text.
TEST_F(RunLogTest, EncodingOfTheLog) {
    struct Case {
        const char* name;
        bool exists;
        std::string before;
        platform::CodePage ansi;
        std::u16string time;  // the line's time text
        std::string after;
    } cases[] = {
        {"ASCII line, ANSI log: appended, nothing else changes", true, "caf\xE9\r\n", 1252, u"14:03:07",
         "caf\xE9\r\n" + kLine},
        {"Latin-1 letter: ANSI byte E9 is no UTF-8, the log moves to UTF-8", true, "caf\xE9\r\n", 1252,
         u"14h03\u00E9",
         std::string(kBom) + "caf\xC3\xA9\r\n|21/08/2025 14h03\xC3\xA9| " + kTextBytes + "\r\n"},
        {"ANSI bytes that are UTF-8 for other text: moves to UTF-8", true, "x\r\n", 1252, u"\u00C3\u00A9",
         std::string(kBom) + "x\r\n|21/08/2025 \xC3\x83\xC2\xA9| " + kTextBytes + "\r\n"},
        {"no ANSI form at all: best-fit '?' does not give the line back", true, "x\r\n", 1252,
         u"\u5348\u5F8C 2:03:07",
         std::string(kBom) + "x\r\n|21/08/2025 \xE5\x8D\x88\xE5\xBE\x8C 2:03:07| " + kTextBytes + "\r\n"},
        {"ANSI code page UTF-8: every line stays as it is", true, "x\r\n", 65001, u"\u5348\u5F8C 2:03:07",
         "x\r\n|21/08/2025 \xE5\x8D\x88\xE5\xBE\x8C 2:03:07| " + kTextBytes + "\r\n"},
        {"empty log, non-ASCII line", true, "", 1252, u"\u00E9",
         std::string(kBom) + "|21/08/2025 \xC3\xA9| " + kTextBytes + "\r\n"},
        {"no log, non-ASCII line", false, "", 1252, u"\u00E9",
         std::string(kBom) + "|21/08/2025 \xC3\xA9| " + kTextBytes + "\r\n"},
        {"UTF-8 log: no second byte-order mark", true, std::string(kBom) + "x\r\n", 1252, u"\u00E9",
         std::string(kBom) + "x\r\n|21/08/2025 \xC3\xA9| " + kTextBytes + "\r\n"},
        {"UTF-8 log, ASCII line", true, std::string(kBom), 1252, u"14:03:07", std::string(kBom) + kLine},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        files.nodes.clear();
        if (c.exists) files.Put(log, c.before);
        locale.ansi = c.ansi;
        clock.time_text = c.time;
        Log();
        EXPECT_EQ(Printable(files.Bytes(log)), Printable(c.after));
        EXPECT_FALSE(files.Has(scratch));
        EXPECT_EQ(files.OpenHandles(), 0);
    }
}

// A log that starts with a UTF-16 byte-order mark is not one of this tool's; the
// line goes in at its end in the file's own byte order.
TEST_F(RunLogTest, Utf16LogGetsUtf16Lines) {
    const std::u16string line = u"|21/08/2025 \u5348| " + kText + u"\r\n";
    for (bool big_endian : {false, true}) {
        std::string expected = big_endian ? "\xFE\xFF" : "\xFF\xFE";
        expected += big_endian ? std::string("\0x", 2) : std::string("x\0", 2);
        files.Put(log, expected);
        for (char16_t c : line) {
            char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
            expected += big_endian ? high : low;
            expected += big_endian ? low : high;
        }
        clock.time_text = u"\u5348";
        Log();
        EXPECT_EQ(Printable(files.Bytes(log)), Printable(expected)) << big_endian;
    }
}

TEST_F(RunLogTest, OnceUtf8AlwaysUtf8) {
    files.Put(log, "caf\xE9\r\n");
    clock.time_text = u"\u5348\u5F8C";
    Log();
    ASSERT_EQ(files.replaces, 1);
    clock.time_text = u"14:03:07";
    Log();
    clock.time_text = u"\u00E9";  // would be the single byte E9 in the ANSI form
    Log();
    EXPECT_EQ(Printable(files.Bytes(log)),
              Printable(std::string(kBom) + "caf\xC3\xA9\r\n" +                           //
                        "|21/08/2025 \xE5\x8D\x88\xE5\xBE\x8C| " + kTextBytes + "\r\n" +  //
                        kLine +                                                           //
                        "|21/08/2025 \xC3\xA9| " + kTextBytes + "\r\n"));
    EXPECT_EQ(files.replaces, 1);
}

TEST_F(RunLogTest, OpenAndCreateFailures) {
    const std::u16string where = u"\"" + log + u"\". ";
    const std::u16string tail = u"\r\n[" + log + u"]";
    struct Case {
        const char* name;
        std::function<void(FakeFileSystem&)> setup;
        std::u16string message;
    } cases[] = {
        {"existing log cannot be opened", [](FakeFileSystem& f) { f.open_error = 5; },
         u"Cannot open file " + where + u"Access is denied" + tail},
        {"log cannot be created",
         [this](FakeFileSystem& f) {
             f.create_errors[log] = 5;
             f.nodes.erase(log);
         },
         u"Cannot create file " + where + u"Access is denied" + tail},
        {"a directory of that name", [this](FakeFileSystem& f) { f.PutDirectory(log); },
         u"Cannot create file " + where + u"Access is denied" + tail},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        files = FakeFileSystem();
        files.Put(log, "earlier\r\n");
        c.setup(files);
        const std::string before = files.Bytes(log);
        ExpectFailure(u"EInOutError", c.message);
        EXPECT_EQ(files.Bytes(log), before);
        EXPECT_EQ(clock.slept, 0u) << "only a held log is waited for";
    }
}

// A line that does not fit is taken back whole: the log keeps what it had,
// never part of a line.
TEST_F(RunLogTest, DiskFullPartWayLeavesNoPartOfTheLine) {
    files.Put(log, "earlier\r\n");
    files.free_space = 10;
    ExpectFailure(u"EWriteError", u"Stream write error");
    EXPECT_EQ(files.Bytes(log), "earlier\r\n");

    // So too in an empty log that moves to UTF-8 in place.
    files = FakeFileSystem();
    files.Put(log, "");
    files.free_space = 5;
    clock.time_text = u"\u5348\u5F8C";
    ExpectFailure(u"EWriteError", u"Stream write error");
    EXPECT_EQ(files.Bytes(log), "");
}

TEST_F(RunLogTest, ReadFailure) {
    files.Put(log, "earlier\r\n");
    files.read_error = 23;
    ExpectFailure(u"EReadError", u"Stream read error");
    EXPECT_EQ(files.Bytes(log), "earlier\r\n");
}

// The move to UTF-8 either completes or leaves the old log as it was.
TEST_F(RunLogTest, FailedMoveToUtf8LeavesTheOldLogWhole) {
    const std::u16string tail = u"\r\n[" + log + u"]";
    struct Case {
        const char* name;
        std::function<void()> setup;
        std::u16string kind;
        std::u16string message;
    } cases[] = {
        {"disk full while writing the converted log", [this] { files.free_space = 20; }, u"EWriteError",
         u"Stream write error"},
        {"converted log cannot be created", [this] { files.create_errors[scratch] = 5; }, u"EInOutError",
         u"Cannot create file \"" + scratch + u"\". Access is denied\r\n[" + scratch + u"]"},
        {"replacement refused", [this] { files.replace_error = 5; }, u"EInOutError",
         u"Cannot create file \"" + log + u"\". Access is denied" + tail},
        {"replacement refused while another program holds the log",
         [this] {
             files.replace_error = 32;
             files.replace_busy = true;
         },
         u"EInOutError",
         u"Cannot create file \"" + log +
             u"\". The process cannot access the file because it is being used by another process" + tail},
    };
    const std::string before = "caf\xE9 1\r\ncaf\xE9 2\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        files = FakeFileSystem();
        files.Put(log, before);
        clock.time_text = u"\u5348\u5F8C";
        c.setup();
        ExpectFailure(c.kind, c.message);
        EXPECT_EQ(Printable(files.Bytes(log)), Printable(before));
        EXPECT_FALSE(files.Has(scratch));
    }
}

TEST_F(RunLogTest, NoOtherRunWritesBetweenTheReadAndTheReplacement) {
    // Another run tries the log at the last moment before the converted copy
    // replaces it; a line it got in there would be lost.
    struct Intruded : FakeFileSystem {
        bool got_in = false;
        platform::ReplaceResult Replace(const std::u16string& replacement,
                                        const std::u16string& path) override {
            if (auto other = OpenExisting(path); other.file) {
                got_in = true;
                std::uint64_t end = 0;
                other.file->SeekToEnd(end);
                other.file->Write("other\r\n");
            }
            return FakeFileSystem::Replace(replacement, path);
        }
    } intruded;
    intruded.Put(log, "x\r\n");
    clock.time_text = u"\u00E9";
    platform::Platform intruded_sys = With(process, locale, console, intruded, clock);
    GravaLog(intruded_sys, kText);
    EXPECT_FALSE(intruded.got_in);
    EXPECT_EQ(Printable(intruded.Bytes(log)),
              Printable(std::string(kBom) + "x\r\n|21/08/2025 \xC3\xA9| " + kTextBytes + "\r\n"));
}

TEST_F(RunLogTest, HeldLogIsWaitedForThenFails) {
    files.Put(log, "earlier\r\n");
    files.busy_opens = -1;
    ExpectFailure(u"EInOutError",
                  u"Cannot open file \"" + log +
                      u"\". The process cannot access the file because it is being used by another "
                      u"process\r\n[" +
                      log + u"]");
    EXPECT_GE(clock.slept, 2000u);
    EXPECT_LT(clock.slept, 2100u);
    EXPECT_EQ(files.Bytes(log), "earlier\r\n");
}

TEST_F(RunLogTest, LogReleasedByAnotherRunGetsBothLines) {
    files.Put(log, "earlier\r\n");
    // Another run holds the log, adds its line and lets go after half a second.
    auto other = files.OpenExisting(log).file;
    clock.on_sleep = [&] {
        if (other && clock.slept >= 500) {
            std::uint64_t end = 0;
            other->SeekToEnd(end);
            other->Write("other\r\n");
            other.reset();
        }
    };
    Log();
    EXPECT_EQ(files.Bytes(log), "earlier\r\nother\r\n" + kLine);
    EXPECT_GE(clock.slept, 500u);
    EXPECT_LT(clock.slept, 600u);
}

TEST_F(RunLogTest, BusyReplacementIsRetried) {
    files.Put(log, "x\r\n");
    clock.time_text = u"\u00E9";
    files.replace_error = 32;
    files.replace_busy = true;
    clock.on_sleep = [&] {
        if (clock.slept >= 100) files.replace_error = 0;
    };
    Log();
    EXPECT_EQ(Printable(files.Bytes(log)),
              Printable(std::string(kBom) + "x\r\n|21/08/2025 \xC3\xA9| " + kTextBytes + "\r\n"));
}

TEST_F(RunLogTest, LogCreatedByAnotherRunMeanwhileIsNotOverwritten) {
    // The log appears, held by its creator, between this run's look and its create.
    struct Racing : FakeFileSystem {
        std::unique_ptr<platform::File> creator;
        platform::OpenResult CreateNew(const std::u16string& path) override {
            if (!creator) {
                creator = FakeFileSystem::CreateNew(path).file;
                creator->Write("other\r\n");
            }
            return FakeFileSystem::CreateNew(path);
        }
    } racing;
    platform::Platform racing_sys = With(process, locale, console, racing, clock);
    clock.on_sleep = [&] { racing.creator.reset(); };
    GravaLog(racing_sys, kText);
    EXPECT_EQ(racing.Bytes(log), "other\r\n" + kLine);
}

TEST_F(RunLogTest, ReplacementUnderWayIsWaitedFor) {
    // Another run has moved the old log aside and not yet moved the converted
    // one in.
    files.Put(scratch, std::string(kBom) + "caf\xC3\xA9\r\n");
    clock.on_sleep = [&] {
        if (clock.slept >= 40 && files.Has(scratch)) files.Replace(scratch, log);
    };
    Log();
    EXPECT_EQ(files.Bytes(log), std::string(kBom) + "caf\xC3\xA9\r\n" + kLine);
    EXPECT_LT(clock.slept, 100u);
}

TEST_F(RunLogTest, ConvertedLogLeftByADeadRunIsPutInPlace) {
    files.Put(scratch, std::string(kBom) + "caf\xC3\xA9\r\n");
    Log();
    EXPECT_EQ(files.Bytes(log), std::string(kBom) + "caf\xC3\xA9\r\n" + kLine);
    EXPECT_FALSE(files.Has(scratch));
    EXPECT_GE(clock.slept, 2000u);
}

// The same rules on the real file system of the platform the tests run on.
class RunLogOnDiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("vantrel-run-log-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        process.current_directory = dir.u16string();
        process.separator = static_cast<char16_t>(std::filesystem::path::preferred_separator);
        path = dir / "LogVantrel.txt";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string Bytes() const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void Write(const std::string& bytes) const { std::ofstream(path, std::ios::binary) << bytes; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    std::filesystem::path dir;
    std::filesystem::path path;
    platform::FakePlatform fakes;
    platform::FakeProcess& process = fakes.process;
    platform::FakeClock& clock = fakes.clock;
    platform::Platform sys =
        fakes.With(process, fakes.locale, fakes.console, platform::RealFileSystem(), clock);
};

TEST_F(RunLogOnDiskTest, AppendsAndMovesToUtf8) {
    Write("caf\xE9\r\n");
    GravaLog(sys, kText);
    EXPECT_EQ(Bytes(), "caf\xE9\r\n" + kLine);

    clock.time_text = u"\u5348\u5F8C";
    GravaLog(sys, kText);
    clock.time_text = u"\u00E9";
    GravaLog(sys, kText);
    EXPECT_EQ(Printable(Bytes()), Printable(std::string(kBom) + "caf\xC3\xA9\r\n" + kLine +
                                            "|21/08/2025 \xE5\x8D\x88\xE5\xBE\x8C| " + kTextBytes + "\r\n" +
                                            "|21/08/2025 \xC3\xA9| " + kTextBytes + "\r\n"));
    // Neither the converted copy nor the old log is left behind.
    EXPECT_EQ(Names(), std::vector<std::string>{"LogVantrel.txt"});
}

// A clock with the fake's texts and real pauses.
struct RealPauses : platform::FakeClock {
    std::uint64_t Ticks() override { return platform::RealClock().Ticks(); }
    void Sleep(std::uint32_t ms) override { platform::RealClock().Sleep(ms); }
};

TEST_F(RunLogOnDiskTest, WaitsForAHolderThatLetsGo) {
    Write("earlier\r\n");
    auto held = platform::RealFileSystem().OpenExisting(path.u16string());
    ASSERT_EQ(held.status, platform::OpenResult::Status::Opened);
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::uint64_t end = 0;
        held.file->SeekToEnd(end);
        held.file->Write("other\r\n");
        held.file.reset();
    });
    RealPauses pauses;
    platform::Platform waiting =
        fakes.With(process, fakes.locale, fakes.console, platform::RealFileSystem(), pauses);
    EXPECT_NO_THROW(GravaLog(waiting, kText));
    other.join();
    EXPECT_EQ(Bytes(), "earlier\r\nother\r\n" + kLine);
}

// Runs that write at the same time, one of them moving the log to UTF-8 half-way:
// every line arrives, once.
TEST_F(RunLogOnDiskTest, ConcurrentRunsLoseNoLine) {
    Write("start\r\n");
    constexpr int kRuns = 4;
    constexpr int kLines = 25;
    std::atomic<int> failures{0};
    std::vector<std::thread> runs;
    for (int r = 0; r < kRuns; ++r) {
        runs.emplace_back([&, r] {
            platform::FakeProcess own_process = process;
            platform::FakeConsole own_console;
            RealPauses own_clock;
            platform::Platform own = fakes.With(own_process, own_console.locale, own_console,
                                                platform::RealFileSystem(), own_clock);
            for (int i = 0; i < kLines; ++i) {
                own_clock.time_text = (r == 0 && i == kLines / 2) ? u"\u5348" : u"t";
                std::string text = "run " + std::to_string(r) + " line " + std::to_string(i);
                try {
                    GravaLog(own, Utf8ToUtf16(text));
                } catch (const Error&) {
                    ++failures;
                }
            }
        });
    }
    for (auto& run : runs) run.join();
    EXPECT_EQ(failures, 0);

    const std::string bytes = Bytes();
    ASSERT_TRUE(bytes.starts_with(kBom));
    EXPECT_TRUE(bytes.substr(3).starts_with("start\r\n"));
    for (int r = 0; r < kRuns; ++r) {
        for (int i = 0; i < kLines; ++i) {
            std::string text = "| run " + std::to_string(r) + " line " + std::to_string(i) + "\r\n";
            std::size_t first = bytes.find(text);
            EXPECT_NE(first, std::string::npos) << text;
            EXPECT_EQ(bytes.find(text, first + 1), std::string::npos) << text;
        }
    }
    std::size_t lines = 0;
    for (char c : bytes) lines += c == '\n';
    EXPECT_EQ(lines, 1u + kRuns * kLines);
    EXPECT_EQ(Names(), std::vector<std::string>{"LogVantrel.txt"});
}

// Every piece real but the current directory: the user's settings render the
// time of day in letters the ANSI code page lacks, so the log moves to UTF-8 and
// its earlier content is converted from the ANSI code page.
#ifdef _WIN32
TEST_F(RunLogOnDiskTest, UserSettingsOutsideTheAnsiCodePage) {
    if (GetACP() != 1252) GTEST_SKIP() << "written for code page 1252";
    platform::UserLocaleSetting format(LOCALE_STIMEFORMAT, L"tt h:mm:ss");
    platform::UserLocaleSetting am(LOCALE_S1159, L"\u5348\u524D");
    platform::UserLocaleSetting pm(LOCALE_S2359, L"\u5348\u5F8C");
    ASSERT_TRUE(format.changed() && am.changed() && pm.changed());
    auto real_clock = platform::NewRealClock();
    platform::Platform real = fakes.With(process, platform::RealLocale(), platform::RealConsole(),
                                         platform::RealFileSystem(), *real_clock);
    Write("caf\xE9\r\n");
    GravaLog(real, kText);
    const std::string bytes = Bytes();
    EXPECT_TRUE(bytes.starts_with(std::string(kBom) + "caf\xC3\xA9\r\n|")) << Printable(bytes);
    EXPECT_NE(bytes.find(" \xE5\x8D\x88"), std::string::npos) << Printable(bytes);  // the designator
    EXPECT_TRUE(bytes.ends_with("| " + kTextBytes + "\r\n")) << Printable(bytes);
}
#else
TEST_F(RunLogOnDiskTest, UserSettingsOutsideTheAnsiCodePage) {
    // Japanese in EUC-JP: the date is in kanji, whose EUC-JP bytes are no UTF-8.
    if (!platform::LocaleEnvironment::Build("ja_JP", "EUC-JP")) {
        GTEST_SKIP() << "localedef cannot build ja_JP";
    }
    platform::LocaleEnvironment environment("ja_JP.EUC-JP");
    ASSERT_NE(std::setlocale(LC_ALL, ""), nullptr);
    auto real_clock = platform::NewRealClock();
    platform::Platform real = fakes.With(process, platform::RealLocale(), platform::RealConsole(),
                                         platform::RealFileSystem(), *real_clock);
    Write("\xC6\xFC\r\n");  // U+65E5 in EUC-JP
    GravaLog(real, kText);
    std::setlocale(LC_ALL, "C");
    const std::string bytes = Bytes();
    EXPECT_TRUE(bytes.starts_with(std::string(kBom) + "\xE6\x97\xA5\r\n|")) << Printable(bytes);
    EXPECT_NE(bytes.find("\xE5\xB9\xB4"), std::string::npos) << Printable(bytes);  // U+5E74 of the date
    EXPECT_TRUE(bytes.ends_with("| " + kTextBytes + "\r\n")) << Printable(bytes);
}
#endif

}  // namespace
}  // namespace vantrel::request
