// Helpers shared by the JSON tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "core/error.h"
#include "json/json.h"

namespace vantrel::json::testing {

// The compact text form (both escapes on) of what the parse gives, or "<none>".
inline std::u16string Reparsed(std::string_view utf8) {
    const auto value = ParseUtf8(utf8);
    return value ? Write(*value) : u"<none>";
}

// Runs `action`, expecting it to fail with exactly this kind and message.
template <typename Action>
void ExpectError(Action action, std::u16string_view kind, std::u16string_view message) {
    try {
        action();
        ADD_FAILURE() << "no failure; expected " << ::testing::PrintToString(std::u16string(message));
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), kind);
        EXPECT_EQ(e.message(), message);
    }
}

}  // namespace vantrel::json::testing
