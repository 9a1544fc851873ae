// Compressed bodies for tests of HTTP replies: gzip (RFC 1952) and zlib
// (RFC 1950, which HTTP calls deflate), made with zlib.
#pragma once

#include "testing/test_only.h"

#include <zlib.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace vantrel::testing {

inline std::string Compress(std::string_view data, bool gzip) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, gzip ? 16 + MAX_WBITS : MAX_WBITS, 9,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("deflate");
    return out;
}

inline std::string Gzip(std::string_view data) { return Compress(data, true); }
inline std::string Deflate(std::string_view data) { return Compress(data, false); }

}  // namespace vantrel::testing
