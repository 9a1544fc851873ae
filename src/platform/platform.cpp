#include "platform/platform.h"

namespace vantrel::platform {

Platform& System() {
    static Platform real{RealProcess(),       RealConsole(),   RealFileSystem(), RealClock(),
                         RealProfiles(),      RealLibraries(), RealErrorBox(),   RealDeviceIdentity(),
                         RealHttpTransport(), RealPrograms()};
    return real;
}

}  // namespace vantrel::platform
