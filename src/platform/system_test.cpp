// The real console and process implementations, on the platform they are built for.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "platform/console.h"
#include "platform/process.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vantrel::platform {
namespace {

TEST(SystemTest, ProcessKnowsItself) {
    Process& process = RealProcess();
    std::u16string exe = process.ExecutablePath();
    EXPECT_NE(exe.find(u"platform_test"), std::u16string::npos);
    EXPECT_FALSE(process.CurrentDirectory().empty());
    EXPECT_EQ(process.UpperCase(u"stdin"), u"STDIN");
    EXPECT_EQ(process.UpperCase(u"StDiN"), u"STDIN");
}

#ifdef _WIN32
TEST(SystemTest, AnsiCodePageRoundTrip) {
    Console& console = RealConsole();
    EXPECT_EQ(console.Decode(1252, "caf\xE9"), u"caf\u00E9");
    EXPECT_EQ(console.Encode(1252, u"caf\u00E9"), "caf\xE9");
    // No exact mapping: the best fit (A for A with macron) or the default character.
    EXPECT_EQ(console.Encode(1252, u"\u0100\u4E00"), "A?");
    EXPECT_EQ(console.Decode(65001, "\xFF"), u"\uFFFD");
}

TEST(SystemTest, TurkishCasingDoesNotMakeTheModeWord) {
    Process& process = RealProcess();
    LCID saved = GetThreadLocale();
    SetThreadLocale(MAKELCID(0x041F, SORT_DEFAULT));  // Turkish
    std::u16string upper = process.UpperCase(u"stdin");
    SetThreadLocale(saved);
    EXPECT_EQ(upper, u"STD\u0130N");
}
#else
TEST(SystemTest, LocaleCodesetIsTheCodePage) {
    Console& console = RealConsole();
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(console.Decode(0, "caf\xC3\xA9"), u"caf\u00E9");
    EXPECT_EQ(console.Encode(0, u"caf\u00E9"), "caf\xC3\xA9");
    EXPECT_EQ(console.Decode(0, "a\xFF"), u"a\uFFFD");

    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(console.Decode(0, "caf\xE9"), u"caf\uFFFD");  // not ASCII: does not decode
    EXPECT_EQ(console.Encode(0, u"caf\u00E9"), "caf?");
}

TEST(SystemTest, TurkishCasingDoesNotMakeTheModeWord) {
    // A Turkish locale built for this test alone.
    std::string dir = ::testing::TempDir() + "vantrel-locales";
    std::string cmd =
        "mkdir -p " + dir + " && localedef -i tr_TR -f UTF-8 " + dir + "/tr_TR.UTF-8 >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "localedef cannot build tr_TR";
    setenv("LOCPATH", dir.c_str(), 1);
    setenv("LC_ALL", "tr_TR.UTF-8", 1);
    RealProcess().UseUserLocale();
    std::u16string upper = RealProcess().UpperCase(u"stdin");
    unsetenv("LC_ALL");
    unsetenv("LOCPATH");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(upper, u"STD\u0130N");
}
#endif

}  // namespace
}  // namespace vantrel::platform
