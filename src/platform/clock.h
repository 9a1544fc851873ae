// Local wall-clock time, its rendering under the user's regional settings, and a
// monotonic millisecond clock with a pause, for waits that retry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vantrel::platform {

// A local date and time, fields as people read them (month 1-12, day 1-31).
struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

class Clock {
public:
    virtual ~Clock() = default;

    // The local wall-clock time now.
    virtual LocalTime Now() = 0;

    // `time`'s date in the user's short date format.
    virtual std::u16string ShortDate(const LocalTime& time) = 0;

    // `time`'s time of day in the user's long time format.
    virtual std::u16string LongTime(const LocalTime& time) = 0;

    // Milliseconds on a monotonic clock with an arbitrary start.
    virtual std::uint64_t Ticks() = 0;

    // Pauses the thread for about `milliseconds`.
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// The real clock. The formats are taken from the user's regional settings once,
// when the clock is made, and do not follow later changes. On Windows they are
// those of the thread's locale, which is the user's default locale from the start
// of every thread; on POSIX those of the LC_TIME category that the environment
// names, whatever the program later does with setlocale.
std::unique_ptr<Clock> NewRealClock();

// The one real clock of the process, made on first use.
Clock& RealClock();

}  // namespace vantrel::platform
