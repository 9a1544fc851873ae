#include "core/server_host.h"

#include "core/utf.h"

#ifndef VANTREL_SERVER_HOST
#error "VANTREL_SERVER_HOST names the vendor's server host"
#endif

namespace vantrel {

std::u16string ServerHost() { return Utf8ToUtf16(VANTREL_SERVER_HOST); }

}  // namespace vantrel
