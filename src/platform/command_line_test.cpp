// The Windows command-line rules: how a line splits into arguments (checked
// against CommandLineToArgvW on Windows) and which programs a line may name.
#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/utf.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace vantrel::platform {
namespace {

std::vector<std::u16string> U16(std::initializer_list<const char16_t*> items) {
    return std::vector<std::u16string>(items.begin(), items.end());
}

TEST(CommandLineTest, SplitLikeTheStartedProgram) {
    struct Case {
        const char16_t* line;
        std::vector<std::u16string> args;
    };
    const Case cases[] = {
        {u"\"C:\\Program Files\\a.exe\" --config \"host=h,key=a b\"",
         U16({u"C:\\Program Files\\a.exe", u"--config", u"host=h,key=a b"})},
        {u"C:\\Program Files\\a.exe --x", U16({u"C:\\Program", u"Files\\a.exe", u"--x"})},
        {u"a.exe \"x\\\"y\" z", U16({u"a.exe", u"x\"y", u"z"})},
        {u"a.exe x\\\\\"y z\" w", U16({u"a.exe", u"x\\y z", u"w"})},
        {u"a.exe x\\\\\\\"y", U16({u"a.exe", u"x\\\"y"})},
        {u"a.exe c:\\dir\\ \"c:\\dir\\\\\"", U16({u"a.exe", u"c:\\dir\\", u"c:\\dir\\"})},
        {u"a.exe \"\" \t b", U16({u"a.exe", u"", u"b"})},
        {u"\"a\\\"b.exe x", U16({u"a\\", u"b.exe", u"x"})},  // no escapes in the program name
        {u"a.exe   ", U16({u"a.exe"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.line));
        EXPECT_EQ(SplitCommandLine(c.line), c.args);
#ifdef _WIN32
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(reinterpret_cast<const wchar_t*>(c.line), &count);
        ASSERT_NE(argv, nullptr);
        std::vector<std::u16string> real;
        for (int i = 0; i < count; ++i) real.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
        LocalFree(argv);
        EXPECT_EQ(real, c.args);
#endif
    }
}

TEST(CommandLineTest, ProgramCandidates) {
    EXPECT_EQ(ProgramCandidates(u"C:\\Program Files\\R D\\r.exe --config x"),
              U16({u"C:\\Program", u"C:\\Program Files\\R", u"C:\\Program Files\\R D\\r.exe",
                   u"C:\\Program Files\\R D\\r.exe --config", u"C:\\Program Files\\R D\\r.exe --config x"}));
    EXPECT_EQ(ProgramCandidates(u"\"C:\\Program Files\\r.exe\" --x"), U16({u"C:\\Program Files\\r.exe"}));
    EXPECT_EQ(ProgramCandidates(u"r.exe"), U16({u"r.exe"}));
    EXPECT_TRUE(ProgramCandidates(u"").empty());
    EXPECT_TRUE(ProgramCandidates(u"\"\" x").empty());
}

}  // namespace
}  // namespace vantrel::platform
