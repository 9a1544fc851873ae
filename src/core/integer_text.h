// The integer-text rule: how the tool reads a 32-bit integer from a text (the
// request kind given as a string, the database port of BANCO.INI).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantrel {

// The rule, over the whole text: leading SPACEs (U+0020 only), one optional '+'
// or '-', then either '$', 'x', 'X', "0x" or "0X" and one or more hexadecimal
// digits whose value fits in 32 bits (taken as a signed 32-bit pattern and
// negated under '-', so "$FFFFFFFF" is -1), or one or more decimal digits whose
// signed value lies in the 32-bit range. Anything else, trailing spaces and the
// empty text included, gives nullopt.
std::optional<std::int32_t> ParseIntegerText(std::u16string_view text) noexcept;

}  // namespace vantrel
