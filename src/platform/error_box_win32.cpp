#include <windows.h>

#include "platform/error_box.h"
#include "platform/wide_win32.h"

namespace vantrel::platform {

namespace {

class Win32ErrorBox : public ErrorBox {
public:
    void Show(const std::u16string& caption, const std::u16string& text) override {
        MessageBoxW(nullptr, win32::Wide(text), win32::Wide(caption), MB_OK | MB_ICONSTOP);
    }

    std::u16string LowerAfterFirst(std::u16string_view name) override {
        std::wstring buffer(reinterpret_cast<const wchar_t*>(name.data()), name.size());
        if (buffer.empty()) return {};
        wchar_t* rest = CharNextW(buffer.data());
        const auto offset = static_cast<std::size_t>(rest - buffer.data());
        if (offset < buffer.size()) {
            CharLowerBuffW(rest, static_cast<DWORD>(buffer.size() - offset));
        }
        return win32::FromWide(buffer.data(), buffer.size());
    }
};

}  // namespace

ErrorBox& RealErrorBox() {
    static Win32ErrorBox box;
    return box;
}

}  // namespace vantrel::platform
