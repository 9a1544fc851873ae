// A program path between double quotes, as the command lines the tool builds
// carry it.
#pragma once

#include "testing/test_only.h"

#include <string>
#include <string_view>

namespace vantrel::testing {

inline std::u16string Quote(std::u16string_view path) {
    std::u16string out(1, u'"');
    out += path;
    out += u'"';
    return out;
}

}  // namespace vantrel::testing
