// Everything the tool asks of the operating system, as one set of interfaces.
//
// Each interface has a Windows implementation (*_win32.cpp) and a POSIX one
// (*_posix.cpp); CMake builds the one that fits the target. Unit tests build a
// Platform from fakes (fakes/).
#pragma once

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/machine_identity.h"
#include "platform/error_box.h"
#include "platform/files.h"
#include "platform/http.h"
#include "platform/libraries.h"
#include "platform/locale.h"
#include "platform/process.h"
#include "platform/programs.h"
#include "platform/profiles.h"

namespace vantrel::platform {

struct Platform {
    Process& process;
    Locale& locale;
    Console& console;
    FileSystem& files;
    Clock& clock;
    Profiles& profiles;
    Libraries& libraries;
    ErrorBox& error_box;
    MachineIdentity& identity;
    HttpTransport& http;
    Programs& programs;
};

// The real operating system. Lives for the whole process.
Platform& System();

}  // namespace vantrel::platform
