// UTF-8 and UTF-16 as the Windows test support converts them, and paths from
// the build system as Windows paths.
#pragma once

#include "testing/test_only.h"

#include <windows.h>

#include <string>

namespace vantrel::testing {

inline std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

inline std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

// A path from the build system (a Unix path when the tests run under Wine) as a
// Windows path: Wine shows the Unix root as drive Z:.
inline std::wstring WindowsPath(const std::string& path) {
    std::wstring wide = Widen(path);
    if (!wide.empty() && wide[0] == L'/') wide = L"Z:" + wide;
    for (auto& c : wide)
        if (c == L'/') c = L'\\';
    return wide;
}

}  // namespace vantrel::testing
