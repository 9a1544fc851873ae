// Conversions between UTF-16 (the tool's inner text) and UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16. Each byte sequence that is not well-formed UTF-8 (stray
// continuation bytes, overlong forms, encoded surrogates, values above U+10FFFF,
// truncated sequences) becomes one U+FFFD per maximal ill-formed part.
std::u16string Utf8ToUtf16(std::string_view bytes);

// ASCII-only widening, for literals and texts known to be ASCII.
std::u16string Ascii(std::string_view ascii);

}  // namespace vantrel
