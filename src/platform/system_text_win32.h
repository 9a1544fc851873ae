// The system's text for a Windows error code, shared by the Windows
// implementations that report one.
#pragma once

#include <windows.h>

#include <string>

namespace vantrel::platform::win32 {

// The text of `code` in the system's language, from `module`'s message table
// first when one is given; without trailing blanks, line breaks and periods.
// The empty text when the system has none. Inserts such as "%1" stay as they
// are.
std::u16string SystemText(DWORD code, HMODULE module = nullptr);

}  // namespace vantrel::platform::win32
