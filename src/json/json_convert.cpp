// Conversions of a value to text and to a 32-bit integer.
#include "core/error.h"
#include "core/integer_text.h"
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

}  // namespace

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
