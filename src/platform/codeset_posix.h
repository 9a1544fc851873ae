// Text in the codeset of the user's locale, the POSIX stand-in for both the ANSI
// and the console code pages. Shared by the POSIX implementations only.
#pragma once

#include <string>
#include <string_view>

namespace vantrel::platform::posix {

// Bytes in the locale's codeset to UTF-16; bytes that do not decode become U+FFFD.
std::u16string DecodeLocale(std::string_view bytes);

// UTF-16 to the locale's codeset; a character the codeset cannot hold becomes '?'.
std::string EncodeLocale(std::u16string_view text);

// Maps an errno value onto the Windows error number the tool reports.
unsigned WindowsError(int errno_value);

}  // namespace vantrel::platform::posix
