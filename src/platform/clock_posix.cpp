// The clock on POSIX. The short date and long time formats are the locale's %x
// and %X, under the LC_TIME category the environment names.
#include <cerrno>
#include <clocale>
#include <ctime>
#include <cwchar>
#include <locale.h>
#include <time.h>

#include "platform/clock.h"

namespace vantrel::platform {

namespace {

std::u16string FromWide(const wchar_t* text, std::size_t size) {
    std::u16string out;
    out.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        auto c = static_cast<char32_t>(text[i]);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += u'\uFFFD';
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

class PosixClock : public Clock {
public:
    PosixClock() {
        // The environment's choice, independent of the program's own setlocale
        // calls; the plain C locale when it names none that exists. POSIX spells
        // "no locale" (locale_t)0, locale_t being opaque.
        // NOLINTBEGIN(modernize-use-nullptr)
        time_locale_ = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
        if (time_locale_ == static_cast<locale_t>(0)) {
            time_locale_ = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
        }
    }
    ~PosixClock() override {
        if (time_locale_ != static_cast<locale_t>(0)) freelocale(time_locale_);
        // NOLINTEND(modernize-use-nullptr)
    }
    PosixClock(const PosixClock&) = delete;
    PosixClock& operator=(const PosixClock&) = delete;

    LocalTime Now() override {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        std::tm local{};
        localtime_r(&now.tv_sec, &local);
        return {local.tm_year + 1900,
                local.tm_mon + 1,
                local.tm_mday,
                local.tm_hour,
                local.tm_min,
                local.tm_sec,
                static_cast<int>(now.tv_nsec / 1000000)};
    }

    std::u16string ShortDate(const LocalTime& time) override { return Format(L"%x", time); }

    std::u16string LongTime(const LocalTime& time) override { return Format(L"%X", time); }

    std::uint64_t Ticks() override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
               static_cast<std::uint64_t>(now.tv_nsec / 1000000);
    }

    void Sleep(std::uint32_t milliseconds) override {
        timespec left{static_cast<time_t>(milliseconds / 1000),
                      static_cast<long>(milliseconds % 1000) * 1000000L};
        while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        }
    }

private:
    std::u16string Format(const wchar_t* format, const LocalTime& time) {
        std::tm fields{};
        fields.tm_year = time.year - 1900;
        fields.tm_mon = time.month - 1;
        fields.tm_mday = time.day;
        fields.tm_isdst = -1;
        // Weekday and day of the year, for formats that show them.
        std::tm date = fields;
        timegm(&date);
        fields.tm_wday = date.tm_wday;
        fields.tm_yday = date.tm_yday;
        fields.tm_hour = time.hour;
        fields.tm_min = time.minute;
        fields.tm_sec = time.second;
        wchar_t buffer[256];
        std::size_t n = wcsftime_l(buffer, sizeof buffer / sizeof buffer[0], format, &fields, time_locale_);
        return FromWide(buffer, n);
    }

    locale_t time_locale_;
};

}  // namespace

std::unique_ptr<Clock> NewRealClock() { return std::make_unique<PosixClock>(); }

Clock& RealClock() {
    static std::unique_ptr<Clock> clock = NewRealClock();
    return *clock;
}

}  // namespace vantrel::platform
