// The real console's code pages.
#include "platform/console.h"

#include <gtest/gtest.h>

#include <clocale>

namespace vantrel::platform {
namespace {

#ifdef _WIN32
TEST(ConsoleTest, AnsiCodePageRoundTrip) {
    Console& console = RealConsole();
    EXPECT_EQ(console.Decode(1252, "caf\xE9"), u"caf\u00E9");
    EXPECT_EQ(console.Encode(1252, u"caf\u00E9"), "caf\xE9");
    // No exact mapping: the best fit (A for A with macron) or the default character.
    EXPECT_EQ(console.Encode(1252, u"\u0100\u4E00"), "A?");
    EXPECT_EQ(console.Decode(65001, "\xFF"), u"\uFFFD");
}
#else
TEST(ConsoleTest, LocaleCodesetIsTheCodePage) {
    Console& console = RealConsole();
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(console.Decode(0, "caf\xC3\xA9"), u"caf\u00E9");
    EXPECT_EQ(console.Encode(0, u"caf\u00E9"), "caf\xC3\xA9");
    EXPECT_EQ(console.Decode(0, "a\xFF"), u"a\uFFFD");

    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(console.Decode(0, "caf\xE9"), u"caf\uFFFD");  // not ASCII: does not decode
    EXPECT_EQ(console.Encode(0, u"caf\u00E9"), "caf?");
}
#endif

}  // namespace
}  // namespace vantrel::platform
