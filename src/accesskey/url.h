// Addresses of the access-key exchange: the encoding of a query value, the
// normalisation an address gets before it is sent, and the resolution of a
// redirect's Location against the address it came from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::accesskey {

// Percent-encodes a text for use as a query value, code unit by code unit:
// A-Z, a-z, 0-9 and ! $ ' ( ) * - . @ _ are copied; the space becomes "+";
// every other character below U+0080 becomes "%" and two upper-case hex digits;
// a character from U+0080 up becomes its UTF-8 bytes, each as "%XX" (a
// surrogate pair as the one character it forms, an unpaired surrogate as
// U+FFFD). Never fails.
std::u16string CodificaUrl(std::u16string_view text);

// An absolute address taken apart. Everything after the first "?" is the query
// (a "#" there is data, not a fragment).
struct Url {
    std::u16string scheme;               // as written
    std::u16string host;                 // as written, brackets of an IPv6 address kept
    std::optional<std::u16string> port;  // what follows the host's ":", when there is one
    std::u16string path;                 // from the first "/" after the host, possibly empty
    std::optional<std::u16string> query;
};

// nullopt when the text does not start with a scheme and "://". User
// information before an "@" in the authority is dropped.
std::optional<Url> ParseUrl(std::u16string_view text);

// The address as it is sent: scheme and host in lower case, the port as it
// stands, the path with every byte that cannot stand in a request line
// percent-encoded (controls, space, non-ASCII, " # < >), and the query
// normalised by NormalizeQuery; a query with no pieces left is dropped. A text
// that ParseUrl refuses comes back unchanged.
std::u16string NormalizeUrl(std::u16string_view text);

// The query percent-encoded once more over its UTF-8 bytes (bytes below 0x21 or
// above 0x7E and " # ' < > become "%XX"; a "%" that starts "%XX" with two hex
// digits stays, any other "%" becomes "%25"), then split at every "&" and ";"
// into its non-empty pieces, each rejoined as name=value (name up to its first
// "="), joined with "&".
std::u16string NormalizeQuery(std::u16string_view query);

// The absolute address that `reference` (a Location header's value) names
// when it is read relative to `base`, fragment dropped.
std::u16string ResolveReference(std::u16string_view base, std::u16string_view reference);

// The request target of an address: its path ("/" when empty) and "?" query.
std::u16string RequestTarget(const Url& url);

}  // namespace vantrel::accesskey
