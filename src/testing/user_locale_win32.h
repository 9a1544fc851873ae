// Changes one of the current user's regional settings for the length of a test,
// through SetLocaleInfoW so that the system's cache of them follows, and puts
// the old value back afterwards. Windows (and Wine) only.
#pragma once

#include "testing/test_only.h"

#include <windows.h>

#include <string>

namespace vantrel::platform {

class UserLocaleSetting {
public:
    UserLocaleSetting(LCTYPE type, const wchar_t* value) : type_(type) {
        wchar_t buffer[128];
        int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 128);
        if (n <= 0) return;
        old_.assign(buffer, static_cast<std::size_t>(n - 1));
        changed_ = SetLocaleInfoW(LOCALE_USER_DEFAULT, type, value) != 0;
    }
    ~UserLocaleSetting() {
        if (changed_) SetLocaleInfoW(LOCALE_USER_DEFAULT, type_, old_.c_str());
    }
    UserLocaleSetting(const UserLocaleSetting&) = delete;
    UserLocaleSetting& operator=(const UserLocaleSetting&) = delete;

    bool changed() const { return changed_; }

private:
    LCTYPE type_;
    std::wstring old_;
    bool changed_ = false;
};

}  // namespace vantrel::platform
