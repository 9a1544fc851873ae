// The tool's UTF-16 text as Windows wide strings: the same code units, no
// conversion. Shared by the Windows implementations only.
#pragma once

#include <string>
#include <string_view>

namespace vantrel::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline std::u16string FromWide(const wchar_t* text, std::size_t size) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), size);
}

inline std::u16string FromWide(const wchar_t* text) {
    return FromWide(text, std::char_traits<wchar_t>::length(text));
}

}  // namespace vantrel::platform::win32
