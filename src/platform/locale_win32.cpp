// Code pages and casing through the wide API, under the thread's locale.
#include <windows.h>

#include "platform/locale.h"
#include "platform/wide_win32.h"

namespace vantrel::platform {

namespace {

class Win32Locale : public Locale {
public:
    void UseUserLocale() override {
        LCID user = GetUserDefaultLCID();
        SetThreadLocale(user != 0 ? user : MAKELCID(0x0409, SORT_DEFAULT));
    }

    CodePage AnsiCodePage() override { return GetACP(); }

    std::u16string Decode(CodePage code_page, std::string_view bytes) override {
        if (bytes.empty()) return {};
        int size = static_cast<int>(bytes.size());
        int n = MultiByteToWideChar(code_page, 0, bytes.data(), size, nullptr, 0);
        if (n <= 0) return {};
        std::wstring out(static_cast<std::size_t>(n), L'\0');
        MultiByteToWideChar(code_page, 0, bytes.data(), size, out.data(), n);
        return win32::FromWide(out.data(), out.size());
    }

    std::string Encode(CodePage code_page, std::u16string_view text) override {
        if (text.empty()) return {};
        const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
        int size = static_cast<int>(text.size());
        // No flags: characters without an exact mapping take the best fit or the
        // default character.
        int n = WideCharToMultiByte(code_page, 0, wide, size, nullptr, 0, nullptr, nullptr);
        if (n <= 0) return {};
        std::string out(static_cast<std::size_t>(n), '\0');
        WideCharToMultiByte(code_page, 0, wide, size, out.data(), n, nullptr, nullptr);
        return out;
    }

    std::u16string UpperCase(std::u16string_view text) override {
        if (text.empty()) return {};
        const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
        int size = static_cast<int>(text.size());
        DWORD flags = LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING;
        int n = LCMapStringW(GetThreadLocale(), flags, wide, size, nullptr, 0);
        if (n <= 0) return std::u16string(text);
        std::wstring out(static_cast<std::size_t>(n), L'\0');
        LCMapStringW(GetThreadLocale(), flags, wide, size, out.data(), n);
        return win32::FromWide(out.data(), out.size());
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

Locale& RealLocale() {
    static Win32Locale locale;
    return locale;
}

}  // namespace vantrel::platform
