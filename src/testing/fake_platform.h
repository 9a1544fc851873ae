// A whole Platform made of fakes, for unit tests that run the tool's logic end
// to end in memory. Each fake is a public member to set up and inspect.
#pragma once

#include "testing/test_only.h"

#include "testing/fake_clock.h"
#include "testing/fake_console.h"
#include "testing/fake_machine_identity.h"
#include "testing/fake_error_box.h"
#include "testing/fake_files.h"
#include "testing/fake_http.h"
#include "testing/fake_libraries.h"
#include "testing/fake_locale.h"
#include "testing/fake_process.h"
#include "testing/fake_profiles.h"
#include "testing/fake_programs.h"
#include "platform/platform.h"

namespace vantrel::platform {

struct FakePlatform {
    FakeProcess process;
    FakeLocale locale;
    FakeConsole console{locale};
    FakeFileSystem files;
    FakeClock clock;
    FakeProfiles profiles{files};
    FakeLibraries libraries;
    FakeErrorBox error_box;
    FakeMachineIdentity identity;
    FakeHttpTransport http;
    FakePrograms programs;
    Platform sys{process,   locale,    console,  files, clock,   profiles,
                 libraries, error_box, identity, http,  programs};

    // Makes every call of the fakes that can fail a failure point of `plan`.
    void InjectFaults(FaultPlan& plan) {
        console.faults = &plan;
        files.faults = &plan;
        profiles.faults = &plan;
        libraries.faults = &plan;
        identity.faults = &plan;
        http.faults = &plan;
        programs.faults = &plan;
    }

    // The given process, locale, console, file system and clock with these
    // fakes for everything else: for tests that use real parts or fakes of
    // their own.
    Platform With(Process& p, Locale& l, Console& c, FileSystem& f, Clock& k) {
        return Platform{p, l, c, f, k, profiles, libraries, error_box, identity, http, programs};
    }
};

}  // namespace vantrel::platform
