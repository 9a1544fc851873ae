#include <windows.h>

#include "platform/profiles.h"
#include "platform/wide_win32.h"

namespace vantrel::platform {

namespace {

class Win32Profiles : public Profiles {
public:
    std::u16string ReadString(const std::u16string& path, const std::u16string& section,
                              const std::u16string& key, const std::u16string& default_value) override {
        wchar_t buffer[kValueBuffer];
        DWORD n = GetPrivateProfileStringW(win32::Wide(section), win32::Wide(key), win32::Wide(default_value),
                                           buffer, kValueBuffer, win32::Wide(path));
        // The count the call reports is the value's length.
        return win32::FromWide(buffer, n < kValueBuffer ? n : kValueBuffer - 1);
    }
};

}  // namespace

Profiles& RealProfiles() {
    static Win32Profiles profiles;
    return profiles;
}

}  // namespace vantrel::platform
