// Where a POSIX system finds the Firebird client library: the dynamic
// loader's folders and search path.
#include "company/firebird_client.h"

namespace vantrel::company {

const char16_t* const kClientLibraryNames[2] = {u"libfbclient.so.2", u"libfbclient.so"};
const char16_t kLibraryPlace[] =
    u"in the system's library folders or on the library search path (LD_LIBRARY_PATH)";

}  // namespace vantrel::company
