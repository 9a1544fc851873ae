// Helpers of the access-key tests: what an action gives (its text or its
// failure), and compressed bodies (gzip, RFC 1952; zlib, RFC 1950, which HTTP
// calls deflate) made with zlib.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <stdexcept>
#include <string>
#include <string_view>

#include "core/error.h"

namespace vantrel::accesskey::testing {

// The text an action returns, or the kind and message of its failure.
struct Outcome {
    std::u16string text;
    std::u16string kind;  // empty on success
    std::u16string message;

    bool operator==(const Outcome&) const = default;
};

inline Outcome Ok(std::u16string text) { return {std::move(text), {}, {}}; }
inline Outcome Fails(std::u16string kind, std::u16string message) {
    return {{}, std::move(kind), std::move(message)};
}

template <typename Action>
Outcome Run(Action action) {
    try {
        return Ok(action());
    } catch (const Error& e) {
        return Fails(e.kind(), e.message());
    }
}

inline void PrintTo(const Outcome& o, std::ostream* os) {
    if (o.kind.empty()) {
        *os << "text " << ::testing::PrintToString(o.text);
    } else {
        *os << ::testing::PrintToString(o.kind) << " " << ::testing::PrintToString(o.message);
    }
}

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

}  // namespace vantrel::accesskey::testing
