// Deep copy, walked with an explicit stack the same way the parse builds a tree:
// copied children wait on a stack until their container is done.
#include <charconv>
#include <iterator>
#include <string>

#include "core/ascii.h"
#include "core/error.h"
#include "json/json.h"

namespace vantrel::json {

namespace {

// Whether the text reads as a finite double: an optional sign, digits, optionally a
// point and digits, then optionally e or E, an optional sign and digits. Values too small for a double read
// as zero and are fine; values too large are not.
bool ReadsAsDouble(std::u16string_view text) {
    // Narrowed to ASCII for from_chars; short texts (nearly all) need no heap.
    char small[64];
    std::string large;
    char* narrow = small;
    if (text.size() > sizeof small) {
        large.resize(text.size());
        narrow = large.data();
    }
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (text[k] > 0x7F) return false;
        narrow[k] = static_cast<char>(text[k]);
    }
    const std::string_view ascii(narrow, text.size());
    std::size_t i = 0;
    if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-')) ++i;
    const std::size_t mantissa_start = i;
    std::size_t int_digits = 0, digits = 0;
    // Position (among all mantissa digits) of the first non-zero digit.
    std::size_t first_nonzero = std::string_view::npos;
    for (; i < ascii.size() && IsAsciiDigit(ascii[i]); ++i, ++int_digits, ++digits)
        if (ascii[i] != '0' && first_nonzero == std::string_view::npos) first_nonzero = digits;
    if (int_digits == 0) return false;
    if (i < ascii.size() && ascii[i] == '.') {
        ++i;
        if (i == ascii.size() || !IsAsciiDigit(ascii[i])) return false;
        for (; i < ascii.size() && IsAsciiDigit(ascii[i]); ++i, ++digits)
            if (ascii[i] != '0' && first_nonzero == std::string_view::npos) first_nonzero = digits;
    }
    long long exponent = 0;
    if (i < ascii.size() && (ascii[i] == 'e' || ascii[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-')) negative = ascii[i++] == '-';
        if (i == ascii.size() || !IsAsciiDigit(ascii[i])) return false;
        for (; i < ascii.size() && IsAsciiDigit(ascii[i]); ++i)
            if (exponent < 1'000'000'000) exponent = exponent * 10 + (ascii[i] - '0');
        if (negative) exponent = -exponent;
    }
    if (i != ascii.size()) return false;
    if (first_nonzero == std::string_view::npos) return true;  // zero

    double parsed;
    const char* begin = ascii.data() + mantissa_start;
    const char* end = ascii.data() + ascii.size();
    const auto result = std::from_chars(begin, end, parsed);
    if (result.ec == std::errc() && result.ptr == end) return true;
    if (result.ec != std::errc::result_out_of_range) return false;
    // Out of range: the value is 0.d... times ten to this power. Overflow and
    // underflow lie hundreds of decades apart, so its sign tells them apart.
    const long long decade =
        static_cast<long long>(int_digits) - static_cast<long long>(first_nonzero) + exponent;
    return decade <= 0;
}

Value CopyScalar(const Value& value) {
    switch (value.kind()) {
    case Kind::String: return Value::String(value.text());
    case Kind::Number:
        if (!ReadsAsDouble(value.text()))
            throw Error(u"EConvertError", u"'" + value.text() + u"' is not a valid floating point value");
        return Value::NumberText(value.text());
    case Kind::True: return Value::True();
    case Kind::False: return Value::False();
    case Kind::Null:
    case Kind::Object:
    case Kind::Array: break;
    }
    return Value::Null();
}

}  // namespace

Value Copy(const Value& value) {
    if (!value.IsContainer()) return CopyScalar(value);

    struct Frame {
        const Value* source;
        std::size_t next;   // index of the next child to copy
        std::size_t start;  // where the copies of its children begin on their stack
    };
    std::vector<Frame> frames;
    std::vector<Value> items;
    std::vector<Member> members;
    auto open = [&](const Value& container) {
        const bool object = container.kind() == Kind::Object;
        frames.push_back(Frame{&container, 0, object ? members.size() : items.size()});
    };

    open(value);
    for (;;) {
        Frame& top = frames.back();
        const bool object = top.source->kind() == Kind::Object;
        const std::size_t count = object ? top.source->members().size() : top.source->items().size();
        Value copy;
        if (top.next < count) {
            const std::size_t i = top.next++;
            const Value& child = object ? top.source->members()[i].value : top.source->items()[i];
            if (object) members.push_back(Member{top.source->members()[i].name, Value()});
            if (child.IsContainer()) {
                open(child);
                continue;
            }
            copy = CopyScalar(child);
        } else {
            const std::size_t start = top.start;
            frames.pop_back();
            if (object) {
                const auto first = members.begin() + static_cast<std::ptrdiff_t>(start);
                std::vector<Member> done(std::make_move_iterator(first),
                                         std::make_move_iterator(members.end()));
                members.erase(first, members.end());
                copy = Value::Object(std::move(done));
            } else {
                const auto first = items.begin() + static_cast<std::ptrdiff_t>(start);
                std::vector<Value> done(std::make_move_iterator(first), std::make_move_iterator(items.end()));
                items.erase(first, items.end());
                copy = Value::Array(std::move(done));
            }
            if (frames.empty()) return copy;
        }
        // Hand the finished copy to the container being copied.
        if (frames.back().source->kind() == Kind::Object)
            members.back().value = std::move(copy);
        else
            items.push_back(std::move(copy));
    }
}

}  // namespace vantrel::json
