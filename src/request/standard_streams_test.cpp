#include "request/standard_streams.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "testing/fake_platform.h"
#include "testing/outcome.h"

namespace vantrel::request {
namespace {

using platform::FakeConsole;
using platform::FakePlatform;
using platform::ReadResult;
using Status = ReadResult::Status;

std::vector<std::u16string> Lines(const std::string& bytes, ReadResult ending = {Status::End, 0, 0}) {
    FakePlatform fake;
    fake.console.stdin_bytes = bytes;
    fake.console.stdin_ending = ending;
    StandardStreams streams(fake.console, fake.files, fake.locale);
    return streams.ReadLines();
}

TEST(StandardStreamsTest, LineRules) {
    using L = std::vector<std::u16string>;
    struct Case {
        std::string bytes;
        L lines;
    } cases[] = {
        {"", {}},
        {"a", {u"a"}},
        {"a\n", {u"a"}},  // no extra empty line after a terminator
        {"a\nb", {u"a", u"b"}},
        {"a\r\nb\r\n", {u"a", u"b"}},
        {"a\r", {u"a"}},    // a CR right before the end ends the line
        {"a\rb", {u"ab"}},  // a CR before anything else is dropped
        {"a\r\r\nb", {u"a", u"b"}},
        {"\n\n", {u"", u""}},
        {"a\r\x1A"
         "b",
         {u"a"}},              // a CR before Ctrl-Z is a CR before the end
        {"a\x1A\nb", {u"a"}},  // nothing after the first byte 26
        {"\x1A"
         "abc",
         {}},
        {"caf\xE9\n", {u"caf\u00E9"}},  // decoded in the stream's code page
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Lines(c.bytes), c.lines) << ::testing::PrintToString(c.bytes);
    }
}

TEST(StandardStreamsTest, BrokenPipeEndsTheInput) {
    EXPECT_EQ(Lines("a\nb", {Status::BrokenPipe, 0, 0}), (std::vector<std::u16string>{u"a", u"b"}));
}

TEST(StandardStreamsTest, ReadAndOpenFailures) {
    struct Case {
        std::uint32_t error;
        bool at_open;
        std::u16string message;
    } cases[] = {
        {6, true, u"I/O error 6"},         {2, false, u"File not found"},
        {3, false, u"Invalid filename"},   {4, false, u"Too many open files"},
        {5, false, u"File access denied"}, {100, false, u"Read beyond end of file"},
        {101, false, u"Disk full"},        {106, false, u"Invalid numeric input"},
        {1117, false, u"I/O error 1117"},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        FakeConsole& console = fake.console;
        if (c.at_open) console.stdin_open_error = c.error;
        console.stdin_bytes = "{}\n";
        console.stdin_ending = {Status::Error, 0, c.error};
        StandardStreams streams(console, fake.files, fake.locale);
        SCOPED_TRACE(c.error);
        testing::ExpectError([&] { streams.ReadLines(); }, u"EInOutError", c.message);
    }
}

TEST(StandardStreamsTest, RequestFileTakesThePlaceOfStandardInput) {
    FakePlatform fake;
    fake.console.stdin_bytes = "from stdin";
    // The file is in the ANSI code page (UTF-8 here), not the console's.
    fake.locale.ansi = platform::FakeLocale::kUtf8;
    fake.console.stdin_is_console = true;
    fake.files.Put(u"C:\\Work\\pedido.json", "caf\xC3\xA9");
    StandardStreams streams(fake.console, fake.files, fake.locale);
    streams.RedirectInput(u"C:\\Work\\pedido.json");
    EXPECT_EQ(streams.ReadLines(), std::vector<std::u16string>{u"caf\u00E9"});
    EXPECT_EQ(fake.files.opened_for_reading, std::vector<std::u16string>{u"C:\\Work\\pedido.json"});
    EXPECT_TRUE(fake.console.opened.empty()) << "standard input is never opened";
}

TEST(StandardStreamsTest, RequestFileFailures) {
    const std::u16string long_path = u"C:\\" + std::u16string(300, u'a');
    struct Case {
        std::u16string redirect;
        std::u16string existing;  // a file that opens
        std::u16string message;
    } cases[] = {
        {u"C:\\Work\\missing.json", u"C:\\Work\\other.json", u"I/O error 104"},
        {long_path, u"C:\\nothing", u"I/O error 104"},
        // Cut to 259 code units, the path names a file that opens: still refused.
        {long_path, long_path.substr(0, 259), u"Invalid filename"},
    };
    for (const auto& c : cases) {
        FakePlatform fake;
        fake.files.Put(c.existing, "{}");
        StandardStreams streams(fake.console, fake.files, fake.locale);
        streams.RedirectInput(c.redirect);
        testing::ExpectError([&] { streams.ReadLines(); }, u"EInOutError", c.message);
    }
}

TEST(StandardStreamsTest, OutputIsOpenedOnceAndEncoded) {
    FakePlatform fake;
    FakeConsole& console = fake.console;
    StandardStreams streams(console, fake.files, fake.locale);
    EXPECT_TRUE(console.opened.empty());  // nothing is opened before its first use
    streams.Write(u"a\u00E9");
    streams.Write(u"b\u4E00");  // no mapping: the code page's default character
    EXPECT_EQ(console.stdout_bytes, "a\xE9"
                                    "b?");
    EXPECT_EQ(console.opened, std::vector<std::u16string>{u"<stdout>"});

    FakePlatform failing;
    failing.console.stdout_fails = true;
    StandardStreams broken(failing.console, failing.files, failing.locale);
    EXPECT_THROW(broken.Write(u"x"), Error);
}

}  // namespace
}  // namespace vantrel::request
