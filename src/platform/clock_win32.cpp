// The clock on Windows. The user's short date and long time pictures are read
// once from the thread's locale; dates and times are then rendered by the system
// from those pictures, with the locale's names of months and days and its
// calendar.
#include <windows.h>

#include "platform/clock.h"
#include "platform/wide_win32.h"

namespace vantrel::platform {

namespace {

// `text` as a literal inside a date or time picture.
std::wstring Quoted(const std::wstring& text) {
    std::wstring out = L"'";
    for (wchar_t c : text) {
        out += c;
        if (c == L'\'') out += L'\'';
    }
    return out + L"'";
}

// `picture` with each AM/PM marker (t or tt, outside quotes) replaced by the
// literal `designator`: for locales that supply no designator of their own.
std::wstring WithDesignator(const std::wstring& picture, const std::wstring& designator) {
    std::wstring out;
    bool quoted = false;
    for (std::size_t i = 0; i < picture.size(); ++i) {
        wchar_t c = picture[i];
        if (c == L'\'') quoted = !quoted;
        if (quoted || c != L't') {
            out += c;
            continue;
        }
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == L't') ++run;
        out += Quoted(run == 1 ? designator.substr(0, 1) : designator);
        i += run - 1;
    }
    return out;
}

class Win32Clock : public Clock {
public:
    Win32Clock() : locale_(GetThreadLocale()) {
        std::wstring date_separator = Info(LOCALE_SDATE, L"/");
        std::wstring time_separator = Info(LOCALE_STIME, L":");
        am_ = Info(LOCALE_S1159, L"");
        pm_ = Info(LOCALE_S2359, L"");

        date_picture_ = Info(LOCALE_SSHORTDATE, L"");
        if (date_picture_.empty()) {
            date_picture_ = L"M" + Quoted(date_separator) + L"d" + Quoted(date_separator) + L"yyyy";
        }

        time_picture_ = Info(LOCALE_STIMEFORMAT, L"");
        if (time_picture_.empty()) {
            // Hours, minutes and seconds; on a 12-hour clock with the designator
            // after them, or before them where the locale puts it first.
            const bool twelve_hours = Info(LOCALE_ITIME, L"0") == L"0";
            const bool leading_zero = Info(LOCALE_ITLZERO, L"0") == L"1";
            const bool marker_first = Info(LOCALE_ITIMEMARKPOSN, L"0") == L"1";
            std::wstring hours = twelve_hours ? L"h" : L"H";
            if (leading_zero) hours += hours;
            const std::wstring separator = Quoted(time_separator);
            time_picture_ = hours + separator + L"mm" + separator + L"ss";
            if (twelve_hours) {
                time_picture_ = marker_first ? L"tt " + time_picture_ : time_picture_ + L" tt";
            }
        }
    }

    LocalTime Now() override {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
    }

    std::u16string ShortDate(const LocalTime& time) override {
        SYSTEMTIME st = ToSystemTime(time);
        return Render(GetDateFormatW, st, date_picture_);
    }

    std::u16string LongTime(const LocalTime& time) override {
        SYSTEMTIME st = ToSystemTime(time);
        const std::wstring& designator = time.hour < 12 ? am_ : pm_;
        if (!designator.empty()) return Render(GetTimeFormatW, st, time_picture_);
        return Render(GetTimeFormatW, st, WithDesignator(time_picture_, time.hour < 12 ? L"am" : L"pm"));
    }

    std::uint64_t Ticks() override { return GetTickCount64(); }

    void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }

private:
    // A locale setting, or `fallback` where the locale supplies none.
    std::wstring Info(LCTYPE type, const wchar_t* fallback) const {
        wchar_t buffer[128];
        int n = GetLocaleInfoW(locale_, type, buffer, 128);
        if (n <= 1) return fallback;
        return std::wstring(buffer, static_cast<std::size_t>(n - 1));
    }

    static SYSTEMTIME ToSystemTime(const LocalTime& time) {
        SYSTEMTIME st{};
        st.wYear = static_cast<WORD>(time.year);
        st.wMonth = static_cast<WORD>(time.month);
        st.wDay = static_cast<WORD>(time.day);
        st.wHour = static_cast<WORD>(time.hour);
        st.wMinute = static_cast<WORD>(time.minute);
        st.wSecond = static_cast<WORD>(time.second);
        st.wMilliseconds = static_cast<WORD>(time.millisecond);
        // The weekday, for pictures that name it.
        FILETIME ft{};
        SYSTEMTIME full{};
        if (SystemTimeToFileTime(&st, &ft) && FileTimeToSystemTime(&ft, &full)) {
            st.wDayOfWeek = full.wDayOfWeek;
        }
        return st;
    }

    using FormatFn = int(WINAPI*)(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int);

    std::u16string Render(FormatFn format, const SYSTEMTIME& st, const std::wstring& picture) const {
        int n = format(locale_, 0, &st, picture.c_str(), nullptr, 0);
        if (n <= 1) return {};
        std::wstring out(static_cast<std::size_t>(n), L'\0');
        n = format(locale_, 0, &st, picture.c_str(), out.data(), n);
        if (n <= 1) return {};
        return win32::FromWide(out.data(), static_cast<std::size_t>(n - 1));
    }

    LCID locale_;
    std::wstring date_picture_;
    std::wstring time_picture_;
    std::wstring am_;
    std::wstring pm_;
};

}  // namespace

std::unique_ptr<Clock> NewRealClock() { return std::make_unique<Win32Clock>(); }

Clock& RealClock() {
    static std::unique_ptr<Clock> clock = NewRealClock();
    return *clock;
}

}  // namespace vantrel::platform
