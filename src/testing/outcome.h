// What an action gives, its text or its failure, as one value that tests
// compare; and the check that an action fails with a given kind and message.
#pragma once

#include "testing/test_only.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

#include "core/error.h"

namespace vantrel::testing {

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

}  // namespace vantrel::testing
