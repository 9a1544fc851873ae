#include "accesskey/reply_body.h"

#include <zlib.h>

#include <algorithm>

#include "core/ascii.h"
#include "core/error.h"
#include "core/trace.h"
#include "core/utf.h"

namespace vantrel::accesskey {

namespace {

// ASCII lower case; other characters become '?', which no known name holds.
std::string LowerNarrow(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char16_t c : s) out += c < 0x80 ? static_cast<char>(AsciiLower(c)) : '?';
    return out;
}

[[noreturn]] void ThrowDamaged() {
    throw Error(u"ERESTException", u"REST request failed: Reply body could not be decompressed");
}

// windows-1252 at 0x80-0x9F; 0 where the code page defines no character.
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

std::u16string Utf16(std::string_view bytes, bool big_endian) {
    std::u16string text;
    text.reserve(bytes.size() / 2 + 1);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto a = static_cast<unsigned char>(bytes[i]);
        auto b = static_cast<unsigned char>(bytes[i + 1]);
        text += static_cast<char16_t>(big_endian ? (a << 8 | b) : (b << 8 | a));
    }
    if (bytes.size() % 2 != 0) text += u'\uFFFD';
    return text;
}

}  // namespace

const std::u16string* FindHeader(const std::vector<platform::HttpHeader>& headers, std::u16string_view name) {
    for (const platform::HttpHeader& header : headers) {
        if (EqualsIgnoringAsciiCase(header.name, name)) return &header.value;
    }
    return nullptr;
}

void ThrowBodyTooLarge(std::size_t limit) {
    throw Error(u"ERESTException",
                u"REST request failed: Reply body larger than " + Decimal(limit / (1024 * 1024)) + u" MiB");
}

std::string Inflate(std::string_view compressed, bool gzip, std::size_t limit) {
    z_stream stream{};
    if (inflateInit2(&stream, gzip ? 16 + MAX_WBITS : MAX_WBITS) != Z_OK) ThrowDamaged();
    struct End {
        z_stream& s;
        ~End() { inflateEnd(&s); }
    } end{stream};

    constexpr std::size_t kChunk = 64 * 1024;
    std::string out;
    std::size_t produced = 0;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    for (;;) {
        if (produced == out.size()) {
            // One byte past the bound tells a body that goes on past it.
            if (out.size() > limit) ThrowBodyTooLarge(limit);
            out.resize(std::min(out.size() + kChunk, limit + 1));
        }
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        stream.avail_out = static_cast<uInt>(out.size() - produced);
        int result = inflate(&stream, Z_NO_FLUSH);
        produced = out.size() - stream.avail_out;
        if (produced > limit) ThrowBodyTooLarge(limit);
        if (result == Z_STREAM_END) {
            // Another gzip member may follow; anything else after the end is
            // not part of the body.
            if (gzip && stream.avail_in >= 2 && stream.next_in[0] == 0x1F && stream.next_in[1] == 0x8B) {
                if (inflateReset(&stream) != Z_OK) ThrowDamaged();
                continue;
            }
            break;
        }
        if (result == Z_OK) continue;
        if (result == Z_BUF_ERROR && stream.avail_out == 0) continue;
        ThrowDamaged();  // damaged data, or input that ends before the stream does
    }
    out.resize(produced);
    return out;
}

std::string MediaTypeOf(std::u16string_view content_type) {
    return LowerNarrow(Trim(content_type.substr(0, content_type.find(u';'))));
}

std::optional<std::string> CharsetOf(std::u16string_view content_type) {
    std::size_t start = content_type.find(u';');
    while (start != std::u16string_view::npos) {
        std::size_t end = content_type.find(u';', start + 1);
        std::u16string_view parameter = content_type.substr(
            start + 1, end == std::u16string_view::npos ? std::u16string_view::npos : end - start - 1);
        std::size_t equals = parameter.find(u'=');
        if (equals != std::u16string_view::npos &&
            LowerNarrow(Trim(parameter.substr(0, equals))) == "charset") {
            std::u16string_view value = Trim(parameter.substr(equals + 1));
            if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"') {
                value = value.substr(1, value.size() - 2);
            }
            if (value.empty()) return std::nullopt;
            return LowerNarrow(value);
        }
        start = end;
    }
    return std::nullopt;
}

bool IsRawMediaType(std::string_view media_type) {
    static constexpr std::string_view kRawTypes[] = {
        "application/octet-stream",
        "application/zip",
        "application/gzip",
        "application/x-gzip",
        "application/x-tar",
        "application/x-7z-compressed",
        "application/x-rar-compressed",
        "application/pdf",
        "application/x-msdownload",
        "application/vnd.ms-cab-compressed",
    };
    static constexpr std::string_view kRawFamilies[] = {"image/", "audio/", "video/", "font/"};
    for (std::string_view raw : kRawTypes) {
        if (media_type == raw) return true;
    }
    for (std::string_view family : kRawFamilies) {
        if (media_type.substr(0, family.size()) == family) return true;
    }
    return false;
}

std::u16string DecodeCharset(std::string_view bytes, std::string_view charset) {
    if (charset == "us-ascii" || charset == "ascii") {
        std::u16string text(bytes.size(), u'\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            auto b = static_cast<unsigned char>(bytes[i]);
            text[i] = b < 0x80 ? b : u'\uFFFD';
        }
        return text;
    }
    if (charset == "iso-8859-1" || charset == "latin1" || charset == "iso_8859-1" || charset == "l1") {
        return Latin1ToUtf16(bytes);
    }
    if (charset == "windows-1252" || charset == "cp1252") {
        std::u16string text(bytes.size(), u'\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            auto b = static_cast<unsigned char>(bytes[i]);
            char16_t c = b >= 0x80 && b < 0xA0 ? kWindows1252[b - 0x80] : b;
            text[i] = c == 0 ? u'\uFFFD' : c;
        }
        return text;
    }
    if (charset == "utf-16le") return Utf16(bytes, false);
    if (charset == "utf-16be") return Utf16(bytes, true);
    if (charset == "utf-16") {
        bool big_endian = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
                          static_cast<unsigned char>(bytes[1]) == 0xFF;
        return Utf16(bytes, big_endian);
    }
    return Utf8ToUtf16(bytes);
}

std::u16string DecodeReplyBody(const platform::HttpReply& reply, std::size_t limit) {
    std::string_view bytes = reply.body;
    std::string inflated;
    const std::u16string* encoding = FindHeader(reply.headers, u"Content-Encoding");
    if (encoding != nullptr && !bytes.empty() && (*encoding == u"gzip" || *encoding == u"deflate")) {
        inflated = Inflate(bytes, *encoding == u"gzip", limit);
        bytes = inflated;
    }
    const std::u16string* type = FindHeader(reply.headers, u"Content-Type");
    std::u16string_view content_type = type != nullptr ? std::u16string_view(*type) : std::u16string_view();
    if (trace::On()) {
        trace::Line("key", u"content type \"" + std::u16string(content_type) + u"\"; encoding \"" +
                               (encoding != nullptr ? *encoding : std::u16string()) + u"\"; body " +
                               Decimal(reply.body.size()) + u" bytes, " + Decimal(bytes.size()) +
                               u" decoded");
    }
    if (std::optional<std::string> charset = CharsetOf(content_type)) return DecodeCharset(bytes, *charset);
    if (reply.status >= 200 && reply.status <= 299 && IsRawMediaType(MediaTypeOf(content_type))) return {};
    return Utf8ToUtf16(bytes);
}

}  // namespace vantrel::accesskey
