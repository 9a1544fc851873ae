// What Windows says for an error code, read straight from the system's message
// table: the text tests expect where the tool reports a system error.
#pragma once

#include "testing/test_only.h"

#include <windows.h>

#include <string>

namespace vantrel::testing {

inline std::u16string SystemText(DWORD error) {
    wchar_t buffer[512];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                             buffer, 512, nullptr);
    return std::u16string(reinterpret_cast<const char16_t*>(buffer), n);
}

}  // namespace vantrel::testing
