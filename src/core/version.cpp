#include "core/version.h"

#include "core/utf.h"

#ifndef VANTREL_VERSION
#error "VANTREL_VERSION is the tool's version"
#endif

namespace vantrel {

std::u16string Version() { return Utf8ToUtf16(VANTREL_VERSION); }

}  // namespace vantrel
