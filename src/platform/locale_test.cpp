// The real locale: code pages, the casing of the mode word under the thread's
// locale, and the casing of the application title.
#include "platform/locale.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vantrel::platform {
namespace {

TEST(LocaleTest, ModeWordInAnyCase) {
    EXPECT_EQ(RealLocale().UpperCase(u"stdin"), u"STDIN");
    EXPECT_EQ(RealLocale().UpperCase(u"StDiN"), u"STDIN");
}

#ifdef _WIN32
TEST(LocaleTest, AnsiCodePageRoundTrip) {
    Locale& locale = RealLocale();
    EXPECT_EQ(locale.Decode(1252, "caf\xE9"), u"caf\u00E9");
    EXPECT_EQ(locale.Encode(1252, u"caf\u00E9"), "caf\xE9");
    // No exact mapping: the best fit (A for A with macron) or the default character.
    EXPECT_EQ(locale.Encode(1252, u"\u0100\u4E00"), "A?");
    EXPECT_EQ(locale.Decode(65001, "\xFF"), u"\uFFFD");
}

TEST(LocaleTest, TurkishCasingDoesNotMakeTheModeWord) {
    Locale& locale = RealLocale();
    LCID saved = GetThreadLocale();
    SetThreadLocale(MAKELCID(0x041F, SORT_DEFAULT));  // Turkish
    std::u16string upper = locale.UpperCase(u"stdin");
    SetThreadLocale(saved);
    EXPECT_EQ(upper, u"STD\u0130N");
}

TEST(LocaleTest, CaptionCasingFollowsTheSystem) {
    Locale& locale = RealLocale();
    EXPECT_EQ(locale.LowerAfterFirst(u"ABC_TOOL"), u"Abc_tool");
    EXPECT_EQ(locale.LowerAfterFirst(u"\u00C9COLE\u00C7"), u"\u00C9cole\u00E7");
    EXPECT_EQ(locale.LowerAfterFirst(u"V"), u"V");
    EXPECT_EQ(locale.LowerAfterFirst(u""), u"");
}
#else
TEST(LocaleTest, LocaleCodesetIsTheCodePage) {
    Locale& locale = RealLocale();
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(locale.Decode(0, "caf\xC3\xA9"), u"caf\u00E9");
    EXPECT_EQ(locale.Encode(0, u"caf\u00E9"), "caf\xC3\xA9");
    EXPECT_EQ(locale.Decode(0, "a\xFF"), u"a\uFFFD");

    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(locale.Decode(0, "caf\xE9"), u"caf\uFFFD");  // not ASCII: does not decode
    EXPECT_EQ(locale.Encode(0, u"caf\u00E9"), "caf?");
}

TEST(LocaleTest, TurkishCasingDoesNotMakeTheModeWord) {
    // A Turkish locale built for this test alone.
    std::string dir = ::testing::TempDir() + "vantrel-locales";
    std::string cmd =
        "mkdir -p " + dir + " && localedef -i tr_TR -f UTF-8 " + dir + "/tr_TR.UTF-8 >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "localedef cannot build tr_TR";
    setenv("LOCPATH", dir.c_str(), 1);
    setenv("LC_ALL", "tr_TR.UTF-8", 1);
    RealLocale().UseUserLocale();
    std::u16string upper = RealLocale().UpperCase(u"stdin");
    unsetenv("LC_ALL");
    unsetenv("LOCPATH");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(upper, u"STD\u0130N");
}

TEST(LocaleTest, CaptionCasingFollowsTheLocale) {
    Locale& locale = RealLocale();
    std::string saved = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(locale.LowerAfterFirst(u"ABC_TOOL"), u"Abc_tool");
    EXPECT_EQ(locale.LowerAfterFirst(u"\u00C9COLE\u00C7"), u"\u00C9cole\u00E7");
    EXPECT_EQ(locale.LowerAfterFirst(u"\U0001D400AB"), u"\U0001D400ab");  // a pair stays whole
    EXPECT_EQ(locale.LowerAfterFirst(u""), u"");
    std::setlocale(LC_ALL, saved.c_str());
}
#endif

}  // namespace
}  // namespace vantrel::platform
