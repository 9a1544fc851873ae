// Everything the tool asks of the operating system, as one set of interfaces.
//
// Each interface has a Windows implementation (*_win32.cpp) and a POSIX one
// (*_posix.cpp); CMake builds the one that fits the target. Unit tests build a
// Platform from the fakes of src/testing.
//
// Platform calls report failures as results. The one exception that may leave
// them is std::bad_alloc (they allocate their results), and whatever a call
// opened is closed before it leaves.
//
// Error numbers. Every error number a platform call reports is the system's own
// for that platform: a Windows error code on Windows, an errno value on POSIX,
// and 0 for no error. Only the interface that gave a number turns it into text
// (FileSystem::ErrorText, LibraryLoad::error_text). The one exception is the
// console's: its numbers reach the result document as "I/O error N", so they
// are Windows error codes on both platforms, the POSIX console mapping errno
// onto them. A failure the system gives no number for (a library that does not
// load on POSIX) reports 0 with its text.
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
