#include "platform/platform.h"

namespace vantrel::platform {

Platform& System() {
    static Platform real{RealProcess(),         RealLocale(),        RealConsole(),   RealFileSystem(),
                         RealClock(),           RealProfiles(),      RealLibraries(), RealErrorBox(),
                         RealMachineIdentity(), RealHttpTransport(), RealPrograms()};
    return real;
}

}  // namespace vantrel::platform
