#include "core/utf.h"

#include <cstdint>

namespace vantrel {

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        // A run of ASCII, the common case, copied in one go.
        std::size_t run = i;
        while (run < n && text[run] < 0x80) ++run;
        if (run > i) {
            const std::size_t old = out.size();
            out.resize(old + (run - i));
            char* o = out.data() + old;
            for (; i < run; ++i) *o++ = static_cast<char>(text[i]);
            if (i == n) break;
        }
        char16_t c = text[i];
        if (IsHigh(c) && i + 1 < n && IsLow(text[i + 1])) {
            char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            AppendUtf8(out, cp);
            ++i;
        } else if (IsHigh(c) || IsLow(c)) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, c);
        }
        ++i;
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view bytes) {
    // No byte gives more than one code unit: room for all, cut to size at the end.
    std::u16string out(bytes.size(), u'\0');
    char16_t* o = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        unsigned char b = p[i];
        if (b < 0x80) {
            *o++ = static_cast<char16_t>(b);
            ++i;
            continue;
        }
        // Length and the allowed range of the second byte (excludes overlongs,
        // surrogates and values above U+10FFFF).
        int len = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        char32_t cp = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
            cp = b & 0x1F;
        } else if (b == 0xE0) {
            len = 3;
            cp = b & 0x0F;
            lo = 0xA0;
        } else if (b >= 0xE1 && b <= 0xEC) {
            len = 3;
            cp = b & 0x0F;
        } else if (b == 0xED) {
            len = 3;
            cp = b & 0x0F;
            hi = 0x9F;
        } else if (b >= 0xEE && b <= 0xEF) {
            len = 3;
            cp = b & 0x0F;
        } else if (b == 0xF0) {
            len = 4;
            cp = b & 0x07;
            lo = 0x90;
        } else if (b >= 0xF1 && b <= 0xF3) {
            len = 4;
            cp = b & 0x07;
        } else if (b == 0xF4) {
            len = 4;
            cp = b & 0x07;
            hi = 0x8F;
        }
        if (len == 0) {
            *o++ = u'\uFFFD';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool ok = true;
        for (int k = 1; k < len; ++k, ++j) {
            unsigned char lower = k == 1 ? lo : 0x80;
            unsigned char upper = k == 1 ? hi : 0xBF;
            if (j >= n || p[j] < lower || p[j] > upper) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (p[j] & 0x3F);
        }
        if (!ok) {
            *o++ = u'\uFFFD';
            i = j;  // resume at the byte that broke the sequence
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *o++ = static_cast<char16_t>(cp);
        }
        i = j;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

std::u16string Ascii(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace vantrel
