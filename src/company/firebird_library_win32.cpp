// Where Windows finds the Firebird client library: the standard search of
// LoadLibrary, which includes the executable's folder.
#include "company/firebird_client.h"

namespace vantrel::company {

const char16_t* const kClientLibraryNames[2] = {u"fbclient.dll", u"fbembed.dll"};
const char16_t kLibraryPlace[] = u"on the library search path or in the executable's folder";

}  // namespace vantrel::company
