// The real clock, on the platform the tests are built for.
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include "testing/user_locale_win32.h"
#else
#include <clocale>

#include "testing/locale_environment_posix.h"
#endif

namespace vantrel::platform {
namespace {

// 21 August 2025, 14:03:07, and a morning time.
const LocalTime kAfternoon{2025, 8, 21, 14, 3, 7, 0};
const LocalTime kMorning{2025, 8, 21, 9, 5, 0, 0};

TEST(ClockTest, NowIsTheLocalTime) {
    std::time_t before = std::time(nullptr);
    LocalTime now = RealClock().Now();
    std::tm local = *std::localtime(&before);
    // Equal unless a minute turned over in between.
    EXPECT_EQ(now.year, local.tm_year + 1900);
    EXPECT_EQ(now.month, local.tm_mon + 1);
    EXPECT_EQ(now.day, local.tm_mday);
    EXPECT_EQ(now.hour * 60 + now.minute - (local.tm_hour * 60 + local.tm_min) <= 1, true);
    EXPECT_GE(now.millisecond, 0);
    EXPECT_LE(now.millisecond, 999);
}

TEST(ClockTest, PausesMoveTheTicks) {
    Clock& clock = RealClock();
    std::uint64_t start = clock.Ticks();
    clock.Sleep(100);
    std::uint64_t waited = clock.Ticks() - start;
    // Tick counters may move in steps (16 ms on Windows, coarser under Wine).
    EXPECT_GE(waited, 60u);
    EXPECT_LT(waited, 2000u);
}

#ifdef _WIN32

class ThreadLocale {
public:
    explicit ThreadLocale(LCID locale) : saved_(GetThreadLocale()) { SetThreadLocale(locale); }
    ~ThreadLocale() { SetThreadLocale(saved_); }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;

private:
    LCID saved_;
};

TEST(ClockTest, FormatsOfTheThreadsLocale) {
    struct Case {
        LCID locale;
        std::u16string date, time;
    } cases[] = {
        {MAKELCID(0x0409, SORT_DEFAULT), u"8/21/2025", u"2:03:07 PM"},  // United States
        {MAKELCID(0x0416, SORT_DEFAULT), u"21/08/2025", u"14:03:07"},   // Brazil
    };
    for (const auto& c : cases) {
        ThreadLocale locale(c.locale);
        auto clock = NewRealClock();
        EXPECT_EQ(clock->ShortDate(kAfternoon), c.date) << c.locale;
        EXPECT_EQ(clock->LongTime(kAfternoon), c.time) << c.locale;
    }
}

// The user's own settings, with letters outside ASCII, as a run would see them.
TEST(ClockTest, UserSettingsOutsideAscii) {
    ThreadLocale locale(GetUserDefaultLCID());
    auto before = NewRealClock();
    const std::u16string old_date = before->ShortDate(kAfternoon);
    {
        UserLocaleSetting date(LOCALE_SSHORTDATE, L"dd.MM.yyyy '\u0433.'");
        UserLocaleSetting time(LOCALE_STIMEFORMAT, L"tt h:mm:ss");
        UserLocaleSetting am(LOCALE_S1159, L"\u5348\u524D");
        UserLocaleSetting pm(LOCALE_S2359, L"\u5348\u5F8C");
        ASSERT_TRUE(date.changed() && time.changed() && am.changed() && pm.changed());

        auto clock = NewRealClock();
        EXPECT_EQ(clock->ShortDate(kAfternoon), u"21.08.2025 \u0433.");
        EXPECT_EQ(clock->LongTime(kAfternoon), u"\u5348\u5F8C 2:03:07");
        EXPECT_EQ(clock->LongTime(kMorning), u"\u5348\u524D 9:05:00");
        // A clock keeps the settings it was made with.
        EXPECT_EQ(before->ShortDate(kAfternoon), old_date);
    }
    EXPECT_EQ(NewRealClock()->ShortDate(kAfternoon), old_date);
}

// A locale without a long time format or designators: hours, minutes and
// seconds, and "am" or "pm".
TEST(ClockTest, MissingTimeFormat) {
    if (GetUserDefaultLCID() != MAKELCID(0x0409, SORT_DEFAULT)) {
        GTEST_SKIP() << "written for United States settings";
    }
    ThreadLocale locale(GetUserDefaultLCID());
    UserLocaleSetting format(LOCALE_STIMEFORMAT, L"");
    UserLocaleSetting am(LOCALE_S1159, L"");
    UserLocaleSetting pm(LOCALE_S2359, L"");
    wchar_t probe[32];
    if (!format.changed() || GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, probe, 32) != 1) {
        GTEST_SKIP() << "the system keeps a long time format";
    }
    ASSERT_TRUE(am.changed() && pm.changed());
    auto clock = NewRealClock();
    EXPECT_EQ(clock->LongTime(kAfternoon), u"2:03:07 pm");
    EXPECT_EQ(clock->LongTime(kMorning), u"9:05:00 am");
}

#else

TEST(ClockTest, FormatsOfTheEnvironmentsLocale) {
    if (!LocaleEnvironment::Build("ja_JP", "UTF-8") || !LocaleEnvironment::Build("ja_JP", "EUC-JP")) {
        GTEST_SKIP() << "localedef cannot build ja_JP";
    }
    struct Case {
        std::string locale;
        std::u16string date, time;
    } cases[] = {
        {"C", u"08/21/25", u"14:03:07"},
        {"ja_JP.UTF-8", u"2025\u5E7408\u670821\u65E5", u"14\u664203\u520607\u79D2"},
        // Another codeset, the same text.
        {"ja_JP.EUC-JP", u"2025\u5E7408\u670821\u65E5", u"14\u664203\u520607\u79D2"},
    };
    for (const auto& c : cases) {
        LocaleEnvironment environment(c.locale);
        auto clock = NewRealClock();
        EXPECT_EQ(clock->ShortDate(kAfternoon), c.date) << c.locale;
        EXPECT_EQ(clock->LongTime(kAfternoon), c.time) << c.locale;
    }
}

TEST(ClockTest, SettingsAreTakenWhenTheClockIsMade) {
    if (!LocaleEnvironment::Build("ja_JP", "UTF-8")) GTEST_SKIP() << "localedef cannot build ja_JP";
    std::unique_ptr<Clock> clock;
    {
        LocaleEnvironment environment("ja_JP.UTF-8");
        clock = NewRealClock();
    }
    // Neither the environment nor the program's own locale changes it later.
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(clock->ShortDate(kAfternoon), u"2025\u5E7408\u670821\u65E5");
    EXPECT_EQ(NewRealClock()->ShortDate(kAfternoon), u"08/21/25");
}

#endif

}  // namespace
}  // namespace vantrel::platform
