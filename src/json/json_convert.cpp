// Conversions of a value to text and to a 32-bit integer, and the integer-text rule.
#include "core/error.h"
#include "json/json.h"

namespace vantrel::json {

namespace {

// Both conversions word their failure with this one pattern: %0:s is the value's
// kind name, %1:s the target's name.
constexpr std::u16string_view kUnsupported = u"Conversion from %0:s to %1:s is not supported";

[[noreturn]] void ThrowUnsupported(std::u16string_view kind_name, std::u16string_view target) {
    std::u16string message(kUnsupported);
    const std::u16string_view slots[2] = {u"%0:s", u"%1:s"};
    const std::u16string_view args[2] = {kind_name, target};
    for (int i = 0; i < 2; ++i) {
        const std::size_t at = message.find(slots[i]);
        message.replace(at, slots[i].size(), args[i]);
    }
    throw Error(u"EJSONException", std::move(message));
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::int32_t> ParseIntegerText(std::u16string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && text[i] == u' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        hex = true;
        i += 1;
    } else if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i == text.size()) return std::nullopt;

    // Accumulate in 64 bits; anything past 32 bits of magnitude fails either way.
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit =
            hex ? HexDigit(text[i]) : (text[i] >= u'0' && text[i] <= u'9' ? text[i] - u'0' : -1);
        if (digit < 0) return std::nullopt;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (magnitude > 0xFFFFFFFFu) return std::nullopt;
    }
    if (hex) {
        // The digits are a 32-bit pattern; a minus sign negates it with wrap-around.
        std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
        if (negative) bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }
    if (negative) {
        if (magnitude > 0x80000000u) return std::nullopt;
        return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(magnitude));
    }
    if (magnitude > 0x7FFFFFFFu) return std::nullopt;
    return static_cast<std::int32_t>(magnitude);
}

std::u16string ToText(const Value& value) {
    switch (value.kind()) {
    case Kind::String:
    case Kind::Number: return value.text();
    case Kind::True: return u"true";
    case Kind::False: return u"false";
    case Kind::Null: return std::u16string();
    case Kind::Object: ThrowUnsupported(u"TJSONObject", u"string");
    case Kind::Array: ThrowUnsupported(u"TJSONArray", u"string");
    }
    return std::u16string();
}

std::int32_t ToInteger(const Value& value) {
    switch (value.kind()) {
    case Kind::String:
    case Kind::Number:
        if (const auto number = ParseIntegerText(value.text())) return *number;
        throw Error(u"EConvertError", u"'" + value.text() + u"' is not a valid integer value");
    case Kind::True: return 1;
    case Kind::False: return 0;
    case Kind::Null: ThrowUnsupported(u"TJSONNull", u"Integer");
    case Kind::Object: ThrowUnsupported(u"TJSONObject", u"Integer");
    case Kind::Array: ThrowUnsupported(u"TJSONArray", u"Integer");
    }
    return 0;
}

}  // namespace vantrel::json
