#include "platform/platform.h"

namespace vantrel::platform {

Platform& System() {
    static Platform real{RealProcess(), RealConsole(), RealFileSystem(), RealClock()};
    return real;
}

}  // namespace vantrel::platform
