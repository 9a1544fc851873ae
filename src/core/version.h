// The tool's version, as the build gives it (the CMake project version). One
// value for the whole product.
#pragma once

#include <string>

namespace vantrel {

// "MAJOR.MINOR.PATCH".
std::u16string Version();

}  // namespace vantrel
