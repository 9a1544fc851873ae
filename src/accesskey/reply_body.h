// From the bytes of a reply body to its text: decompression of gzip and deflate
// bodies within a bound, the charset, and the media types that hold raw data.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/http.h"

namespace vantrel::accesskey {

// The value of the first header named `name` (ASCII letters in any case), or
// nullptr.
const std::u16string* FindHeader(const std::vector<platform::HttpHeader>& headers, std::u16string_view name);

// Fails with "ERESTException" "REST request failed: Reply body larger than N MiB",
// N being `limit` in MiB (8 for the access-key service).
[[noreturn]] void ThrowBodyTooLarge(std::size_t limit);

// Inflates a gzip (RFC 1952, one member or several in a row) or zlib (RFC 1950)
// stream. Fails with ThrowBodyTooLarge as soon as the output would pass
// `limit` bytes, without inflating the rest, and with "ERESTException"
// "REST request failed: Reply body could not be decompressed" for a stream that
// is damaged or cut short.
std::string Inflate(std::string_view compressed, bool gzip, std::size_t limit);

// The charset parameter of a Content-Type value, in lower case, quotes
// removed; nullopt when there is none (or it is empty).
std::optional<std::string> CharsetOf(std::u16string_view content_type);

// The media type of a Content-Type value ("type/subtype"), in lower case.
std::string MediaTypeOf(std::u16string_view content_type);

// Media types that hold raw data rather than text: application/octet-stream,
// the archive and executable types, application/pdf, and every image/, audio/,
// video/ and font/ type.
bool IsRawMediaType(std::string_view media_type);

// Bytes in a charset to text. UTF-8 (also the stand-in for a charset not
// known here), US-ASCII, ISO-8859-1, windows-1252, UTF-16LE, UTF-16BE and
// UTF-16 (little-endian unless a byte-order mark says otherwise) are known.
// Bytes not valid in the charset become U+FFFD.
std::u16string DecodeCharset(std::string_view bytes, std::string_view charset);

// The text of a reply body: decompressed when its Content-Encoding is exactly
// "gzip" or "deflate", then decoded with the charset its Content-Type names;
// without one, a 2xx body of a raw media type counts as empty and every other
// body is UTF-8. The bound and the failures are those of Inflate.
std::u16string DecodeReplyBody(const platform::HttpReply& reply, std::size_t limit);

}  // namespace vantrel::accesskey
