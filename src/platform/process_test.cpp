// The real process: what it knows of itself, and casing under the thread's locale.
#include "platform/process.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vantrel::platform {
namespace {

TEST(ProcessTest, ProcessKnowsItself) {
    Process& process = RealProcess();
    std::u16string exe = process.ExecutablePath();
    EXPECT_NE(exe.find(u"platform_test"), std::u16string::npos);
    EXPECT_FALSE(process.CurrentDirectory().empty());
    EXPECT_EQ(process.UpperCase(u"stdin"), u"STDIN");
    EXPECT_EQ(process.UpperCase(u"StDiN"), u"STDIN");
}

#ifdef _WIN32
TEST(ProcessTest, TurkishCasingDoesNotMakeTheModeWord) {
    Process& process = RealProcess();
    LCID saved = GetThreadLocale();
    SetThreadLocale(MAKELCID(0x041F, SORT_DEFAULT));  // Turkish
    std::u16string upper = process.UpperCase(u"stdin");
    SetThreadLocale(saved);
    EXPECT_EQ(upper, u"STD\u0130N");
}
#else
TEST(ProcessTest, TurkishCasingDoesNotMakeTheModeWord) {
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
