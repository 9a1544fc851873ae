// The user's locale as the tool uses it: the code pages text is encoded in, and
// the casing rules of the mode word and of the application title.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel::platform {

// A Windows code page number. The POSIX port has one 8-bit encoding, the codeset
// of the user's locale, and accepts any number for it.
using CodePage = std::uint32_t;

class Locale {
public:
    virtual ~Locale() = default;

    // Makes the user's default locale the locale of the running thread (United
    // States English when none is reported). Called once, first thing.
    virtual void UseUserLocale() = 0;

    // The system's ANSI code page (GetACP).
    virtual CodePage AnsiCodePage() = 0;

    // Bytes in `code_page` to UTF-16; what does not decode becomes U+FFFD.
    virtual std::u16string Decode(CodePage code_page, std::string_view bytes) = 0;

    // UTF-16 to bytes in `code_page`; a character without an exact mapping
    // becomes the code page's best-fit or default character.
    virtual std::string Encode(CodePage code_page, std::u16string_view text) = 0;

    // `text` in upper case under the casing rules of the thread's locale.
    virtual std::u16string UpperCase(std::u16string_view text) = 0;

    // `name` with every character after the first in lower case, by the system's
    // casing rules (Windows CharLowerW; POSIX the locale's).
    virtual std::u16string LowerAfterFirst(std::u16string_view name) = 0;
};

// The operating system's locale. Lives for the whole process.
Locale& RealLocale();

}  // namespace vantrel::platform
