// An error box that records what it shows and returns at once, for unit tests.
#pragma once

#include "testing/test_only.h"

#include <string>
#include <vector>

#include "platform/error_box.h"

namespace vantrel::platform {

class FakeErrorBox : public ErrorBox {
public:
    struct Shown {
        std::u16string caption, text;
    };
    // Every box shown, in order.
    std::vector<Shown> shown;

    void Show(const std::u16string& caption, const std::u16string& text) override {
        shown.push_back({caption, text});
    }
};

}  // namespace vantrel::platform
