// The vendor's server host: the host of the access-key service and of the
// remote-access server that the client is configured for. One value for the whole
// product, given when the product is built.
#pragma once

#include <string>

namespace vantrel {

// The bare host name, without scheme or port.
std::u16string ServerHost();

}  // namespace vantrel
