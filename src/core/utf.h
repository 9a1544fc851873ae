// Conversions between UTF-16 (the tool's inner text), UTF-8 and Latin-1, and the
// one UTF-8 decoder that every reader of UTF-8 bytes goes through.
#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16, by DecodeUtf8: each byte sequence that is not well-formed
// UTF-8 (stray continuation bytes, overlong forms, encoded surrogates, values
// above U+10FFFF, truncated sequences) becomes one U+FFFD per maximal ill-formed
// part.
std::u16string Utf8ToUtf16(std::string_view bytes);

// Whether `bytes` are well-formed UTF-8 throughout. A U+FFFD written in the
// bytes (EF BF BD) is well-formed like any other character.
bool IsUtf8(std::string_view bytes);

// One UTF-16 code unit per byte, of the same number: ISO 8859-1.
std::u16string Latin1ToUtf16(std::string_view bytes);

// Text that comes without a stated encoding (a reply header, a client library's
// message): UTF-8 when the bytes are well-formed UTF-8, else Latin-1.
std::u16string Utf8ElseLatin1(std::string_view bytes);

// ASCII-only widening, for literals and texts known to be ASCII.
std::u16string Ascii(std::string_view ascii);

// Decodes the UTF-8 sequence that starts at `p`, a byte of 0x80 or above before
// `end`, into `code_point`, moves `p` past it and returns true. A sequence that is
// not well-formed gives U+FFFD and false, and `p` stops at the byte that broke it
// (at least one byte on), which is then read again as the start of what follows:
// one U+FFFD per maximal ill-formed part. Inline, since the JSON parse calls it
// for each character beyond ASCII.
inline bool DecodeUtf8(const unsigned char*& p, const unsigned char* end, char32_t& code_point) {
    const unsigned char lead = *p;
    int trail = 0;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the first continuation byte
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trail = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trail = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trail = 3;
        cp = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        ++p;
        code_point = 0xFFFD;
        return false;
    }
    ++p;
    for (int i = 0; i < trail; ++i, ++p) {
        if (p == end || *p < low || *p > high) {
            code_point = 0xFFFD;
            return false;
        }
        cp = (cp << 6) | (*p & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    code_point = cp;
    return true;
}

}  // namespace vantrel
