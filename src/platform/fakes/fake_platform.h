// A whole Platform made of fakes, for unit tests that run the tool's logic end
// to end in memory. Each fake is a public member to set up and inspect.
#pragma once

#include "platform/fakes/fake_clock.h"
#include "platform/fakes/fake_console.h"
#include "platform/fakes/fake_device_identity.h"
#include "platform/fakes/fake_error_box.h"
#include "platform/fakes/fake_files.h"
#include "platform/fakes/fake_http.h"
#include "platform/fakes/fake_libraries.h"
#include "platform/fakes/fake_process.h"
#include "platform/fakes/fake_profiles.h"
#include "platform/fakes/fake_programs.h"
#include "platform/platform.h"

namespace vantrel::platform {

struct FakePlatform {
    FakeProcess process;
    FakeConsole console;
    FakeFileSystem files;
    FakeClock clock;
    FakeProfiles profiles;
    FakeLibraries libraries;
    FakeErrorBox error_box;
    FakeDeviceIdentity identity;
    FakeHttpTransport http;
    FakePrograms programs;
    Platform sys{process, console, files, clock, profiles, libraries, error_box, identity, http, programs};

    // The given process, console, file system and clock with these fakes for
    // everything else: for tests that use real parts or fakes of their own.
    Platform With(Process& p, Console& c, FileSystem& f, Clock& k) {
        return Platform{p, c, f, k, profiles, libraries, error_box, identity, http, programs};
    }
};

}  // namespace vantrel::platform
