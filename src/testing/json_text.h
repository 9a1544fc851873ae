// The JSON tests' view of a parse: the compact text form of what it gives.
#pragma once

#include "testing/test_only.h"

#include <string>
#include <string_view>

#include "json/json.h"
#include "testing/outcome.h"

namespace vantrel::json::testing {

using vantrel::testing::ExpectError;

// The compact text form (both escapes on) of what the parse gives, or "<none>".
inline std::u16string Reparsed(std::string_view utf8) {
    const auto value = ParseUtf8(utf8);
    return value ? Write(*value) : u"<none>";
}

}  // namespace vantrel::json::testing
