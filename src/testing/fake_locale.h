// A locale for unit tests: a chosen ANSI code page, Latin-1 and UTF-8 as the
// only encodings, ASCII casing with a choice for the letter i, and a count of
// the calls that make the user's locale the thread's.
#pragma once

#include "testing/test_only.h"

#include <string>
#include <string_view>

#include "core/utf.h"
#include "platform/locale.h"

namespace vantrel::platform {

class FakeLocale : public Locale {
public:
    static constexpr CodePage kUtf8 = 65001;

    CodePage ansi = 1252;
    // Casing of the letter i; a Turkish-style locale maps it to U+0130.
    char16_t upper_i = u'I';
    int locale_calls = 0;

    void UseUserLocale() override { ++locale_calls; }

    CodePage AnsiCodePage() override { return ansi; }

    // UTF-8 for code page 65001; every other code page is Latin-1 here.
    std::u16string Decode(CodePage code_page, std::string_view bytes) override {
        if (code_page == kUtf8) return Utf8ToUtf16(bytes);
        std::u16string out;
        for (unsigned char b : bytes) out += static_cast<char16_t>(b);
        return out;
    }

    std::string Encode(CodePage code_page, std::u16string_view text) override {
        if (code_page == kUtf8) return Utf16ToUtf8(text);
        std::string out;
        for (char16_t c : text) out += c < 0x100 ? static_cast<char>(c) : '?';
        return out;
    }

    std::u16string UpperCase(std::u16string_view text) override {
        std::u16string out(text);
        for (auto& c : out) {
            if (c == u'i')
                c = upper_i;
            else if (c >= u'a' && c <= u'z')
                c = static_cast<char16_t>(c - 32);
        }
        return out;
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
