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
    const auto* const end = p + bytes.size();
    while (p != end) {
        if (*p < 0x80) {
            *o++ = static_cast<char16_t>(*p++);
            continue;
        }
        char32_t cp = 0;
        DecodeUtf8(p, end, cp);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *o++ = static_cast<char16_t>(cp);
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

bool IsUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    char32_t cp = 0;
    while (p != end) {
        if (*p < 0x80) {
            ++p;
        } else if (!DecodeUtf8(p, end, cp)) {
            return false;
        }
    }
    return true;
}

std::u16string Latin1ToUtf16(std::string_view bytes) {
    std::u16string text(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<unsigned char>(bytes[i]);
    return text;
}

std::u16string Utf8ElseLatin1(std::string_view bytes) {
    return IsUtf8(bytes) ? Utf8ToUtf16(bytes) : Latin1ToUtf16(bytes);
}

std::u16string Ascii(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace vantrel
