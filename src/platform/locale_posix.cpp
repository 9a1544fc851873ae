// Code pages and casing on POSIX: the user's locale (setlocale) with its one
// codeset for every code page, and the C library's wide-character casing.
#include <clocale>
#include <cwctype>

#include "platform/codeset_posix.h"
#include "platform/locale.h"

namespace vantrel::platform {

namespace {

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// `c` mapped by `map` where the result is one UTF-16 code unit; halves of
// surrogate pairs stay as they are.
template <typename Map>
char16_t MapUnit(char16_t c, Map map) {
    if (IsSurrogate(c)) return c;
    wint_t mapped = map(static_cast<wint_t>(c));
    return mapped <= 0xFFFF && !IsSurrogate(static_cast<char16_t>(mapped)) ? static_cast<char16_t>(mapped)
                                                                           : c;
}

class PosixLocale : public Locale {
public:
    void UseUserLocale() override {
        // The user's locale, or the plain C locale when it names none that exists.
        if (std::setlocale(LC_ALL, "") == nullptr) std::setlocale(LC_ALL, "C");
    }

    CodePage AnsiCodePage() override { return 0; }

    std::u16string Decode(CodePage, std::string_view bytes) override { return posix::DecodeLocale(bytes); }

    std::string Encode(CodePage, std::u16string_view text) override { return posix::EncodeLocale(text); }

    std::u16string UpperCase(std::u16string_view text) override {
        std::u16string out(text);
        for (char16_t& c : out) c = MapUnit(c, [](wint_t w) { return std::towupper(w); });
        return out;
    }

    std::u16string LowerAfterFirst(std::u16string_view name) override {
        std::u16string out(name);
        std::size_t first = out.size() >= 2 && IsSurrogate(out[0]) && IsSurrogate(out[1]) ? 2 : 1;
        for (std::size_t i = first; i < out.size(); ++i) {
            out[i] = MapUnit(out[i], [](wint_t w) { return std::towlower(w); });
        }
        return out;
    }
};

}  // namespace

Locale& RealLocale() {
    static PosixLocale locale;
    return locale;
}

}  // namespace vantrel::platform
