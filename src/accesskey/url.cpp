#include "accesskey/url.h"

#include <vector>

#include "core/ascii.h"
#include "core/utf.h"

namespace vantrel::accesskey {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendEscaped(std::u16string& out, unsigned char byte) {
    out += u'%';
    out += static_cast<char16_t>(kHex[byte >> 4]);
    out += static_cast<char16_t>(kHex[byte & 0x0F]);
}

// Length of a scheme followed by ":" at the start of `text`, or 0.
std::size_t SchemeLength(std::u16string_view text) {
    if (text.empty() || !IsAsciiLetter(text[0])) return 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u':') return i;
        if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != u'+' && c != u'-' && c != u'.') return 0;
    }
    return 0;
}

// RFC 3986 dot-segment removal.
std::u16string RemoveDotSegments(std::u16string_view path) {
    std::u16string input(path);
    std::u16string output;
    while (!input.empty()) {
        if (input.rfind(u"../", 0) == 0) {
            input.erase(0, 3);
        } else if (input.rfind(u"./", 0) == 0) {
            input.erase(0, 2);
        } else if (input.rfind(u"/./", 0) == 0) {
            input.erase(0, 2);
        } else if (input == u"/.") {
            input = u"/";
        } else if (input.rfind(u"/../", 0) == 0 || input == u"/..") {
            input = input.size() == 3 ? std::u16string(u"/") : input.substr(3);
            std::size_t cut = output.rfind(u'/');
            output.resize(cut == std::u16string::npos ? 0 : cut);
        } else if (input == u"." || input == u"..") {
            input.clear();
        } else {
            std::size_t next = input.find(u'/', input[0] == u'/' ? 1 : 0);
            if (next == std::u16string::npos) next = input.size();
            output += input.substr(0, next);
            input.erase(0, next);
        }
    }
    return output;
}

// An absolute address as scheme, "://" and authority; path; query.
struct Parts {
    std::u16string origin;
    std::u16string path;
    std::optional<std::u16string> query;
};

std::optional<Parts> Split(std::u16string_view text) {
    std::size_t scheme = SchemeLength(text);
    if (scheme == 0 || text.substr(scheme).rfind(u"://", 0) != 0) return std::nullopt;
    std::size_t end = text.find_first_of(u"/?", scheme + 3);
    if (end == std::u16string_view::npos) end = text.size();
    Parts parts;
    parts.origin = std::u16string(text.substr(0, end));
    std::u16string_view rest = text.substr(end);
    std::size_t question = rest.find(u'?');
    parts.path = std::u16string(rest.substr(0, question));
    if (question != std::u16string_view::npos) parts.query = std::u16string(rest.substr(question + 1));
    return parts;
}

std::u16string Join(const Parts& parts) {
    return parts.origin + parts.path + (parts.query ? u"?" + *parts.query : std::u16string());
}

}  // namespace

std::u16string CodificaUrl(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (IsAsciiLetter(c) || IsAsciiDigit(c) ||
            std::u16string_view(u"!$'()*-.@_").find(c) != std::u16string_view::npos) {
            out += c;
        } else if (c == u' ') {
            out += u'+';
        } else if (c < 0x80) {
            AppendEscaped(out, static_cast<unsigned char>(c));
        } else {
            std::size_t units = (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                                 text[i + 1] <= 0xDFFF)
                                    ? 2
                                    : 1;
            for (unsigned char byte : Utf16ToUtf8(text.substr(i, units))) AppendEscaped(out, byte);
            i += units - 1;
        }
    }
    return out;
}

std::optional<Url> ParseUrl(std::u16string_view text) {
    std::size_t scheme = SchemeLength(text);
    if (scheme == 0 || text.substr(scheme).rfind(u"://", 0) != 0) return std::nullopt;
    Url url;
    url.scheme = std::u16string(text.substr(0, scheme));
    std::size_t start = scheme + 3;
    std::size_t end = text.find_first_of(u"/?", start);
    if (end == std::u16string_view::npos) end = text.size();
    std::u16string_view authority = text.substr(start, end - start);
    std::size_t at = authority.rfind(u'@');
    if (at != std::u16string_view::npos) authority.remove_prefix(at + 1);
    // The port follows the last ":" that is not inside an IPv6 address.
    std::size_t colon = authority.rfind(u':');
    std::size_t bracket = authority.rfind(u']');
    if (colon != std::u16string_view::npos && (bracket == std::u16string_view::npos || colon > bracket)) {
        url.host = std::u16string(authority.substr(0, colon));
        url.port = std::u16string(authority.substr(colon + 1));
    } else {
        url.host = std::u16string(authority);
    }
    std::u16string_view rest = text.substr(end);
    std::size_t question = rest.find(u'?');
    url.path = std::u16string(rest.substr(0, question));
    if (question != std::u16string_view::npos) url.query = std::u16string(rest.substr(question + 1));
    return url;
}

std::u16string NormalizeQuery(std::u16string_view query) {
    const std::string bytes = Utf16ToUtf8(query);
    std::u16string encoded;
    encoded.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b == '%' && i + 2 < bytes.size() && IsAsciiHexDigit(bytes[i + 1]) &&
            IsAsciiHexDigit(bytes[i + 2])) {
            encoded += u'%';
        } else if (b < 0x21 || b > 0x7E || b == '"' || b == '#' || b == '\'' || b == '<' || b == '>' ||
                   b == '%') {
            AppendEscaped(encoded, b);
        } else {
            encoded += static_cast<char16_t>(b);
        }
    }

    std::u16string out;
    std::size_t start = 0;
    while (start <= encoded.size()) {
        std::size_t end = encoded.find_first_of(u"&;", start);
        if (end == std::u16string::npos) end = encoded.size();
        std::u16string_view piece(encoded.data() + start, end - start);
        if (!piece.empty()) {
            std::size_t equals = piece.find(u'=');
            if (!out.empty()) out += u'&';
            out += piece.substr(0, equals);
            out += u'=';
            if (equals != std::u16string_view::npos) out += piece.substr(equals + 1);
        }
        start = end + 1;
    }
    return out;
}

std::u16string NormalizeUrl(std::u16string_view text) {
    std::optional<Url> url = ParseUrl(text);
    if (!url) return std::u16string(text);
    std::u16string out = AsciiLower(url->scheme) + u"://" + AsciiLower(url->host);
    if (url->port) out += u':' + *url->port;
    for (unsigned char b : Utf16ToUtf8(url->path)) {
        if (b < 0x21 || b > 0x7E || b == '"' || b == '#' || b == '<' || b == '>') {
            AppendEscaped(out, b);
        } else {
            out += static_cast<char16_t>(b);
        }
    }
    if (url->query) {
        std::u16string query = NormalizeQuery(*url->query);
        if (!query.empty()) out += u'?' + query;
    }
    return out;
}

std::u16string ResolveReference(std::u16string_view base, std::u16string_view reference) {
    std::u16string_view ref = reference.substr(0, reference.find(u'#'));
    if (SchemeLength(ref) != 0) {
        std::optional<Parts> parts = Split(ref);
        if (!parts) return std::u16string(ref);  // not a hierarchical address
        parts->path = RemoveDotSegments(parts->path);
        return Join(*parts);
    }
    std::optional<Parts> parts = Split(base);
    if (!parts) return std::u16string(ref);
    if (ref.rfind(u"//", 0) == 0) {
        return ResolveReference(base,
                                std::u16string(base.substr(0, SchemeLength(base) + 1)) + std::u16string(ref));
    }
    std::size_t question = ref.find(u'?');
    std::u16string_view ref_path = ref.substr(0, question);
    if (question != std::u16string_view::npos) {
        parts->query = std::u16string(ref.substr(question + 1));
    } else if (!ref_path.empty()) {
        parts->query.reset();
    }
    if (ref_path.empty()) return Join(*parts);
    std::u16string merged;
    if (ref_path[0] == u'/') {
        merged = std::u16string(ref_path);
    } else if (parts->path.empty()) {
        merged = u"/" + std::u16string(ref_path);
    } else {
        merged = parts->path.substr(0, parts->path.rfind(u'/') + 1) + std::u16string(ref_path);
    }
    parts->path = RemoveDotSegments(merged);
    return Join(*parts);
}

std::u16string RequestTarget(const Url& url) {
    std::u16string target = url.path.empty() ? std::u16string(u"/") : url.path;
    if (url.query) target += u'?' + *url.query;
    return target;
}

}  // namespace vantrel::accesskey
