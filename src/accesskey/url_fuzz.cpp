// libFuzzer target for the query-value encoding and the address rules.
//
// The input is text (UTF-8, or raw UTF-16LE when the first byte is odd, so
// that unpaired surrogates occur). For any text: CodificaUrl gives only
// unreserved characters, "+" and "%XX"; the service address built with it as
// the computer name is changed by normalisation in one way only, each
// apostrophe becoming %27; normalising is idempotent; a normalised query holds
// only bytes that can stand in a request line; resolving it as a redirect
// reference against the service address gives an address that normalises too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "accesskey/access_key.h"
#include "accesskey/url.h"
#include "core/utf.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "url_fuzz: %s\n", what);
        std::abort();
    }
}

std::u16string Replaced(std::u16string text, std::u16string_view from, std::u16string_view to) {
    for (std::size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::u16string text;
    if (data[0] % 2 == 1) {
        for (std::size_t i = 1; i + 1 < size; i += 2)
            text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    } else {
        text = vantrel::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    }
    using namespace vantrel::accesskey;

    std::u16string encoded = CodificaUrl(text);
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        char16_t c = encoded[i];
        bool plain = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
                     std::u16string_view(u"!$'()*-.@_+").find(c) != std::u16string_view::npos;
        bool escape =
            c == u'%' && i + 2 < encoded.size() &&
            std::u16string_view(u"0123456789ABCDEF").find(encoded[i + 1]) != std::u16string_view::npos &&
            std::u16string_view(u"0123456789ABCDEF").find(encoded[i + 2]) != std::u16string_view::npos;
        Check(plain || escape, "CodificaUrl left a character that needs encoding");
        if (escape) i += 2;
    }

    const std::u16string address =
        ServiceAddress(u"12345678000199", u"6f1d3c2a-8b7e-4d5f-9a0b-1c2d3e4f5a6b", text);
    Check(NormalizeUrl(address) == Replaced(address, u"'", u"%27"),
          "normalisation changed more than apostrophes");

    std::u16string normalised = NormalizeUrl(text);
    Check(NormalizeUrl(normalised) == normalised, "normalising is not idempotent");
    for (char16_t c : NormalizeQuery(text)) {
        Check(c > 0x20 && c < 0x7F && std::u16string_view(u"\"#'<>").find(c) == std::u16string_view::npos,
              "a normalised query holds a character that cannot stand in a request line");
    }

    std::u16string resolved = NormalizeUrl(ResolveReference(NormalizeUrl(address), text));
    Check(NormalizeUrl(resolved) == resolved, "a resolved address does not normalise to a fixed point");
    return 0;
}
