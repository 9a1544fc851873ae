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

    // ASCII casing only.
    std::u16string LowerAfterFirst(std::u16string_view name) override {
        std::u16string out(name);
        for (std::size_t i = 1; i < out.size(); ++i)
            if (out[i] >= u'A' && out[i] <= u'Z') out[i] = static_cast<char16_t>(out[i] + 32);
        return out;
    }
};

}  // namespace vantrel::platform
