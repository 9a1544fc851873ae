// The modal error box: a message the user must acknowledge before the run goes on.
#pragma once

#include <string>
#include <string_view>

namespace vantrel::platform {

class ErrorBox {
public:
    virtual ~ErrorBox() = default;

    // Shows `text` under `caption` with an OK button and the stop icon, and
    // returns when the user has closed it. Windows: a message box without an
    // owner window. POSIX: caption and text on the controlling terminal, and the
    // run waits for Enter there; without a terminal they go to standard error and
    // the run goes on at once.
    virtual void Show(const std::u16string& caption, const std::u16string& text) = 0;
};

// The real error box. Lives for the whole process.
ErrorBox& RealErrorBox();

}  // namespace vantrel::platform
