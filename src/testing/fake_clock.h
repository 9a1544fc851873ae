// A clock that stands still, for unit tests: a set time, dates and times
// rendered in a fixed pattern or as chosen texts, and pauses that only advance
// its millisecond counter.
#pragma once

#include "testing/test_only.h"

#include <cstdio>
#include <functional>
#include <string>

#include "platform/clock.h"

namespace vantrel::platform {

class FakeClock : public Clock {
public:
    LocalTime now{2025, 8, 21, 14, 3, 7, 250};
    // When set, returned in place of the rendering of the given time.
    std::u16string date_text;
    std::u16string time_text;

    std::uint64_t ticks = 5000;
    std::uint64_t slept = 0;  // milliseconds, over all pauses
    // Runs at every pause, after the counter moved: another process's doing.
    std::function<void()> on_sleep;

    LocalTime Now() override { return now; }

    // dd/MM/yyyy
    std::u16string ShortDate(const LocalTime& time) override {
        if (!date_text.empty()) return date_text;
        return Render("%02d/%02d/%04d", time.day, time.month, time.year);
    }

    // HH:mm:ss
    std::u16string LongTime(const LocalTime& time) override {
        if (!time_text.empty()) return time_text;
        return Render("%02d:%02d:%02d", time.hour, time.minute, time.second);
    }

    std::uint64_t Ticks() override { return ticks; }

    void Sleep(std::uint32_t milliseconds) override {
        ticks += milliseconds;
        slept += milliseconds;
        if (on_sleep) on_sleep();
    }

private:
    static std::u16string Render(const char* format, int a, int b, int c) {
        char buffer[32];
        int n = std::snprintf(buffer, sizeof buffer, format, a, b, c);
        return std::u16string(buffer, buffer + (n > 0 ? n : 0));
    }
};

}  // namespace vantrel::platform
