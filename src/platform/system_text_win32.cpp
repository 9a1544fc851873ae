#include "platform/system_text_win32.h"

#include "platform/wide_win32.h"

namespace vantrel::platform::win32 {

std::u16string SystemText(DWORD code, HMODULE module) {
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    if (module != nullptr) flags |= FORMAT_MESSAGE_FROM_HMODULE;
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(flags, module, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text = n > 0 && buffer != nullptr ? FromWide(buffer, n) : std::u16string();
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && (text.back() <= u' ' || text.back() == u'.')) text.pop_back();
    return text;
}

}  // namespace vantrel::platform::win32
