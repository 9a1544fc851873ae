// libFuzzer target for the parse and everything that walks a parsed tree.
//
// For any bytes: the parse must not crash; an accepted text must write out, parse
// back and write out again to the same text (the written form is a fixed point); the
// UTF-16 parse of that text must agree; copy and the conversions may fail only with
// the tool's own error. The same bytes taken as UTF-16 code units must parse as
// their UTF-8 form does.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/error.h"
#include "core/utf.h"
#include "json/json.h"

namespace {

using vantrel::json::Value;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "json_fuzz: %s\n", what);
        std::abort();
    }
}

std::string Ascii(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        Check(c < 0x80, "written text with both escapes is not ASCII");
        out.push_back(static_cast<char>(c));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantrel::json;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    const auto direct = Parse(units);
    const auto through_utf8 = ParseUtf8(vantrel::Utf16ToUtf8(units));
    Check((direct == nullptr) == (through_utf8 == nullptr) &&
              (direct == nullptr || Write(*direct) == Write(*through_utf8)),
          "UTF-16 parse differs from the parse of its UTF-8 form");

    const auto first = ParseUtf8(bytes);
    if (!first) return 0;

    const std::u16string text = Write(*first, {true, true});
    const auto second = ParseUtf8(Ascii(text));
    Check(second != nullptr, "written text does not parse");
    Check(Write(*second, {true, true}) == text, "written text does not parse back to itself");
    const auto from_utf16 = Parse(text);
    Check(from_utf16 != nullptr && Write(*from_utf16) == text, "UTF-16 parse disagrees");
    // Without the below-32 escape, raw control characters must read back the same.
    const auto raw = Parse(Write(*first, {false, true}));
    Check(raw != nullptr && Write(*raw) == text, "raw control characters do not read back");

    try {
        const Value copy = Copy(*first);
        Check(Write(copy) == text, "copy writes differently");
    } catch (const vantrel::Error&) {
    }
    try {
        (void)ToText(*first);
    } catch (const vantrel::Error&) {
    }
    try {
        (void)ToInteger(*first);
    } catch (const vantrel::Error&) {
    }
    return 0;
}
