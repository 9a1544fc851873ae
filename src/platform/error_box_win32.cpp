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
};

}  // namespace

ErrorBox& RealErrorBox() {
    static Win32ErrorBox box;
    return box;
}

}  // namespace vantrel::platform
