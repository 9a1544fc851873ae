// The install-configure-start step on a fake platform: the branches with their
// exact command lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/trace.h"
#include "core/utf.h"
#include "testing/fake_platform.h"
#include "testing/trace_capture.h"
#include "provisioning/rustdesk.h"
#include "testing/quote.h"

namespace vantrel::provisioning {
namespace {

using Started = platform::FakePrograms::Started;

using testing::Quote;

constexpr char16_t kClient[] = u"C:\\Program Files\\RustDesk\\rustdesk.exe";
constexpr char16_t kInstaller[] = u"C:\\Apps\\rustdesk.exe";  // beside C:\Apps\vantrel.exe

// A started program as every start of the step is made: visible, not waited for.
Started Start(std::u16string command) { return {std::move(command), false, true}; }

const std::u16string kConfig = u" --config \"host=acesso.example,key=K3y+/=\"";

struct InstallFixture {
    platform::FakePlatform fake;
    InstallFixture() { fake.programs.environment[u"ProgramW6432"] = u"C:\\Program Files"; }
    void Install() { InstalaExecutaRustDesk(fake.sys, u"C:\\Apps", u"acesso.example", u"K3y+/="); }
};

TEST(InstalaExecutaRustDeskTest, ClientInstalledIsConfiguredThenStarted) {
    InstallFixture f;
    f.fake.files.Put(kClient, "");
    f.fake.files.Put(kInstaller, "");  // not used when the client is there
    f.Install();
    EXPECT_EQ(f.fake.programs.started,
              (std::vector<Started>{Start(Quote(kClient) + kConfig), Start(Quote(kClient))}));
    EXPECT_TRUE(f.fake.programs.service_queries.empty());
    EXPECT_EQ(f.fake.clock.slept, 0u);
}

TEST(InstalaExecutaRustDeskTest, InstallerBesideTheExecutable) {
    struct Case {
        const char* name;
        bool installs_client;
        int service_up_at;  // query; 0: never
        std::vector<Started> started;
        std::size_t queries;
        std::uint64_t slept;
    };
    const std::u16string installer = Quote(kInstaller);
    const std::u16string client = Quote(kClient);
    const Case cases[] = {
        {"service comes up, client installed",
         true,
         3,
         {Start(installer + u" --silent-install"), Start(client + kConfig), Start(client)},
         3,
         3000},
        {"service already up",
         true,
         1,
         {Start(installer + u" --silent-install"), Start(client + kConfig), Start(client)},
         1,
         1000},
        {"service never up, client installed anyway",
         true,
         0,
         {Start(installer + u" --silent-install"), Start(client + kConfig), Start(client)},
         21,
         22000},
        {"service up, no client: installer started plainly",
         false,
         2,
         {Start(installer + u" --silent-install"), Start(installer)},
         2,
         2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallFixture f;
        f.fake.files.Put(kInstaller, "");
        f.fake.process.current_directory = u"C:\\Elsewhere";
        f.fake.programs.on_start = [&](const std::u16string& command) {
            if (c.installs_client && command.find(u"--silent-install") != std::u16string::npos) {
                f.fake.files.Put(kClient, "");
            }
        };
        f.fake.programs.service_answer = [&](const std::u16string& name) {
            EXPECT_EQ(name, u"RustDesk");
            return c.service_up_at != 0 &&
                   f.fake.programs.service_queries.size() >= static_cast<std::size_t>(c.service_up_at);
        };
        f.Install();
        EXPECT_EQ(f.fake.programs.started, c.started);
        EXPECT_EQ(f.fake.programs.service_queries.size(), c.queries);
        EXPECT_EQ(f.fake.clock.slept, c.slept);
    }
}

TEST(InstalaExecutaRustDeskTest, NothingToStart) {
    InstallFixture f;
    f.fake.files.PutDirectory(kClient);               // a directory is not a client
    f.fake.files.Put(u"C:\\Work\\rustdesk.exe", "");  // the current directory does not count
    f.Install();
    EXPECT_TRUE(f.fake.programs.started.empty());
    EXPECT_TRUE(f.fake.programs.service_queries.empty());
    EXPECT_EQ(f.fake.clock.slept, 0u);
}

TEST(InstalaExecutaRustDeskTest, ClientPathFromTheEnvironment) {
    struct Case {
        std::u16string w6432, files, path;
        char16_t separator;
    };
    const Case cases[] = {
        {u"C:\\Program Files", u"C:\\Program Files (x86)", u"C:\\Program Files\\RustDesk\\rustdesk.exe",
         u'\\'},
        {u"", u"C:\\Programas", u"C:\\Programas\\RustDesk\\rustdesk.exe", u'\\'},
        {u"", u"", u"\\RustDesk\\rustdesk.exe", u'\\'},
        {u"", u"/opt/programs", u"/opt/programs/RustDesk/rustdesk.exe", u'/'},
    };
    for (const Case& c : cases) {
        platform::FakePlatform fake;
        fake.process.separator = c.separator;
        if (!c.w6432.empty()) fake.programs.environment[u"ProgramW6432"] = c.w6432;
        fake.programs.environment[u"ProgramFiles"] = c.files;
        EXPECT_EQ(CaminhoClienteInstalado(fake.programs, fake.process.PathSeparator()), c.path)
            << Utf16ToUtf8(c.path);
    }
}

// The trace of branch B with a service that never comes up and starts that
// fail: the branch, each command line with the key masked, each start's
// outcome, each look at the service and the wait's result.
TEST(InstalaExecutaRustDeskTest, TheTraceTellsWhatWasFoundAndDone) {
    InstallFixture f;
    f.fake.files.Put(kInstaller, "");
    f.fake.programs.start_succeeds = false;
    std::string all;
    {
        testing::TraceCapture capture([&f] { return f.fake.clock.ticks; });
        trace::Conceal(u"K3y+/=");
        f.Install();
        all = capture.Text();
    }
    EXPECT_NE(all.find("provisioning: client C:\\Program Files\\RustDesk\\rustdesk.exe is not there\n"
                       "provisioning: installer C:\\Apps\\rustdesk.exe is there\n"
                       "provisioning: branch B"),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("provisioning: start \"C:\\Apps\\rustdesk.exe\" --silent-install\n"
                       "provisioning: did not start\n"
                       "provisioning: waiting up to 20000 ms for the service RustDesk\n"
                       "provisioning: service RustDesk not running after 0 ms\n"
                       "provisioning: service RustDesk not running after 1000 ms\n"),
              std::string::npos)
        << all;
    EXPECT_NE(
        all.find("provisioning: the service did not come up within the wait\n"
                 "provisioning: the service is not running\n"
                 "provisioning: pause of 1000 ms\n"
                 "provisioning: client C:\\Program Files\\RustDesk\\rustdesk.exe still not there; start the "
                 "installer on its own\n"
                 "provisioning: start \"C:\\Apps\\rustdesk.exe\"\n"
                 "provisioning: did not start\n"),
        std::string::npos)
        << all;
    EXPECT_EQ(all.find("K3y"), std::string::npos) << all;

    // Branch A: the configuration's key is masked in the command line.
    InstallFixture a;
    a.fake.files.Put(kClient, "");
    testing::TraceCapture capture;
    trace::Conceal(u"K3y+/=");
    a.Install();
    EXPECT_NE(
        capture.Text().find("provisioning: start \"C:\\Program Files\\RustDesk\\rustdesk.exe\" --config "
                            "\"host=acesso.example,key=***\"\nprovisioning: started\n"),
        std::string::npos)
        << capture.Text();
}

}  // namespace
}  // namespace vantrel::provisioning
