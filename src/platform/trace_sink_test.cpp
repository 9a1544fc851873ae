// The real trace sinks of this platform, against real files.
#include "platform/trace_sink.h"

#include <gtest/gtest.h>

#include "core/utf.h"
#include "testing/run_program.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vantrel::platform {
namespace {

#ifdef _WIN32
constexpr char kLineEnd[] = "\r\n";
#else
constexpr char kLineEnd[] = "\n";
#endif

TEST(TraceSinkTest, AFileIsCreatedThenAppendedToLineByLine) {
    testing::TempDir dir;
    const std::string path = dir.File("trace.txt");
    {
        std::unique_ptr<trace::Sink> sink = OpenTraceSink(Utf8ToUtf16(path));
        ASSERT_NE(sink, nullptr);
        sink->Write("    0 start: one");
        // Written at once: readable before the sink goes.
        EXPECT_EQ(testing::ReadFileBytes(path), std::string("    0 start: one") + kLineEnd);
    }
    {
        std::unique_ptr<trace::Sink> sink = OpenTraceSink(Utf8ToUtf16(path));
        ASSERT_NE(sink, nullptr);
        sink->Write("    0 start: two");
    }
    EXPECT_EQ(testing::ReadFileBytes(path),
              std::string("    0 start: one") + kLineEnd + "    0 start: two" + kLineEnd);
}

TEST(TraceSinkTest, NoSinkWithoutASettingOrForAFileThatCannotBeOpened) {
    testing::TempDir dir;
    EXPECT_EQ(OpenTraceSink(u""), nullptr);
    EXPECT_EQ(OpenTraceSink(Utf8ToUtf16(dir.File("missing-folder") + "/trace.txt")), nullptr);
    EXPECT_EQ(OpenTraceSink(Utf8ToUtf16(dir.path())), nullptr);  // a folder
    EXPECT_NE(OpenTraceSink(u"1"), nullptr);                     // this test runs with a standard error
}

#ifdef _WIN32
// A process without a console may have no standard error handle: no sink, and
// nothing fails.
TEST(TraceSinkTest, NoStandardErrorHandleGivesNoSink) {
    HANDLE saved = GetStdHandle(STD_ERROR_HANDLE);
    ASSERT_TRUE(SetStdHandle(STD_ERROR_HANDLE, nullptr));
    std::unique_ptr<trace::Sink> none = OpenTraceSink(u"1");
    ASSERT_TRUE(SetStdHandle(STD_ERROR_HANDLE, INVALID_HANDLE_VALUE));
    std::unique_ptr<trace::Sink> invalid = OpenTraceSink(u"1");
    SetStdHandle(STD_ERROR_HANDLE, saved);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(invalid, nullptr);
}
#endif

}  // namespace
}  // namespace vantrel::platform
