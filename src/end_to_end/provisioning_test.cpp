// Whole runs of the built tool for a provisioning request (no arguments): a
// copy of the tool in a folder of its own, a local access-key service reached
// through the proxy setting, and stand-in RustDesk programs that record how
// they were started. Natively the company's tax id comes from a real Firebird
// database; under Wine no Firebird client library is there, so the lookup
// fails (its box returns at once without a display) and the run goes on.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "core/server_host.h"
#include "core/utf.h"
#include "testing/http_server.h"
#include "testing/run_program.h"
#include "testing/tool_fixture.h"
#include "testing/user_proxy.h"
#ifdef _WIN32
#include <windows.h>
#else
#include "testing/firebird_fixture.h"
#endif

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using testing::ProgramResult;

#ifdef _WIN32
constexpr char kSep = '\\';
constexpr char kTool[] = "vantrel.exe";
#else
constexpr char kSep = '/';
constexpr char kTool[] = "vantrel";
#endif

using testing::kSuccess;
const std::string kConfig = "[--config] [host=" + Utf16ToUtf8(ServerHost()) + ",key=";

// The lines of a record, sorted: the two client starts run side by side, so
// their order is not fixed. Waits (at most 10 s) until it holds `lines` lines.
std::vector<std::string> Record(const std::string& path, std::size_t lines) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::vector<std::string> out;
    for (;;) {
        out.clear();
        if (testing::FileExists(path)) {
            std::ifstream in(fs::u8path(path));
            for (std::string line; std::getline(in, line);) out.push_back(line);
        }
        if (out.size() >= lines || std::chrono::steady_clock::now() > end) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Where the tool looks for the installed client: natively a folder of the
// test's own, named by "ProgramW6432"; under Wine the prefix's program folder.
std::string ProgramFolder([[maybe_unused]] const testing::TempDir& dir) {
#ifdef _WIN32
    for (const char* name : {"ProgramW6432", "ProgramFiles"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return value;
    }
    return "";
#else
    return dir.File("programs");
#endif
}

void Copy(const std::string& from, const std::string& to) {
    fs::create_directories(fs::u8path(to).parent_path());
    fs::copy_file(fs::u8path(from), fs::u8path(to), fs::copy_options::overwrite_existing);
}

class ProvisioningToolTest : public testing::ToolFixture {
protected:
    ProvisioningToolTest() : ToolFixture(VANTREL_EXE, R"({"token":"Key+/=9"})") {
        Copy(VANTREL_EXE, app + kSep + kTool);
        fs::create_directories(fs::u8path(work));
        EXPECT_FALSE(fs::exists(fs::u8path(client_folder))) << client_folder;
    }

    ~ProvisioningToolTest() override {
        StopService();
        std::error_code ignored;
        fs::remove_all(fs::u8path(client_folder), ignored);
    }

    // Ends the service stand-in the installer may have left behind, waiting
    // (at most 5 s) until it is gone.
    void StopService() {
#ifndef _WIN32
        std::ifstream pid_file(installer + ".service");
        long pid = 0;
        if (!(pid_file >> pid) || pid <= 0) return;
        kill(static_cast<pid_t>(pid), SIGKILL);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (kill(static_cast<pid_t>(pid), 0) == 0 && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        fs::remove(fs::u8path(installer + ".service"));
#else
        // Stopped (waiting at most 10 s) and removed.
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        if (manager == nullptr) return;
        SC_HANDLE service = OpenServiceW(manager, L"RustDesk", SERVICE_ALL_ACCESS);
        if (service != nullptr) {
            SERVICE_STATUS status{};
            ControlService(service, SERVICE_CONTROL_STOP, &status);
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED &&
                   std::chrono::steady_clock::now() < end) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            DeleteService(service);
            CloseServiceHandle(service);
        }
        CloseServiceHandle(manager);
#endif
    }

    ProgramResult Run(const testing::Environment& environment = {}) {
        testing::Environment all;
#ifndef _WIN32
        all.push_back({"ProgramW6432", programs});
        all.push_back({"ProgramFiles", ""});
#endif
        all.insert(all.end(), environment.begin(), environment.end());
        testing::ProgramRun run = Prepare({}, all);
        run.program = app + kSep + kTool;
        run.directory = work;
        run.detach_terminal = true;  // a box goes to standard error
        run.timeout_ms = 60000;
        return testing::RunProgram(run);
    }

    // The key request that reached the service.
    std::string AskedFor() {
        auto requests = key_service.Requests();
        if (requests.size() == 1) return requests[0].target;
        std::string text = std::to_string(requests.size());
        text += " requests";
        return text;
    }

    const std::string app = dir.File("app");
    const std::string work = dir.File("work");
    const std::string programs = ProgramFolder(dir);
    const std::string installer = app + kSep + "rustdesk.exe";
    const std::string client_folder = programs + kSep + "RustDesk";
    const std::string client = client_folder + kSep + "rustdesk.exe";
};

TEST_F(ProvisioningToolTest, ClientInstalledIsConfiguredAndStarted) {
    Copy(STAND_IN, client);
    Copy(STAND_IN, installer);  // not used when the client is there
    ProgramResult r = Run();
    EXPECT_EQ(r.out, kSuccess);
    EXPECT_EQ(Record(client + ".log", 2), (std::vector<std::string>{"", kConfig + "Key+/=9]"}));
    EXPECT_TRUE(Record(installer + ".log", 0).empty());
    EXPECT_NE(AskedFor().find("/api/acessoremoto?cnpj=&id_dispositivo="), std::string::npos) << AskedFor();
}

TEST_F(ProvisioningToolTest, InstallerBesideTheTool) {
    struct Case {
        const char* installs;  // what the stand-in installer does
        std::vector<std::string> installer_lines, client_lines;
    };
    const Case cases[] = {
        {"client+service", {"[--silent-install]"}, {"", kConfig + "Key+/=9]"}},
        // No client after the installation: the installer is started plainly.
        {"service", {"", "[--silent-install]"}, {}},
    };
    Copy(STAND_IN, installer);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.installs);
        fs::remove_all(fs::u8path(client_folder));
        fs::remove(fs::u8path(installer + ".log"));
        const auto start = std::chrono::steady_clock::now();
        ProgramResult r = Run({{"VANTREL_STAND_IN_INSTALL", c.installs}});
        EXPECT_EQ(r.out, kSuccess);
        // The service came up: no 20 s wait.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
        EXPECT_EQ(Record(installer + ".log", c.installer_lines.size()), c.installer_lines);
        EXPECT_EQ(Record(client + ".log", c.client_lines.size()), c.client_lines);
        StopService();
    }
}

std::string RestFailure(const std::string& message) {
    return R"({"log":[],"erro":{"class_erro":"ERESTException","msg_erro":"REST request failed: )" + message +
           "\"}}";
}

// A key reply that ends part-way through its body, reset or closed: how the
// platform's transport words it. Wine's WinHTTP passes on the socket's code
// for a reset (WSAECONNRESET) where Windows reports
// ERROR_WINHTTP_CONNECTION_ERROR, and has no text for the latter.
std::string CutReading(bool reset) {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr) {
        return reset ? "Error reading data: (10054) Connection reset by peer"
                     : "Error reading data: (12030) ";
    }
    return "Error reading data: (12030) The connection with the server was terminated abnormally";
#else
    return reset ? "Error reading data: (56) Failure when receiving data from the peer"
                 : "Error reading data: (18) Transferred a partial file";
#endif
}

// Runs that start nothing, and what they answer; each one still prints its
// document and logs it.
TEST_F(ProvisioningToolTest, NothingStarted) {
    struct Case {
        const char* name;
        std::optional<testing::ScriptedReply> reply;
        bool programs_there;
        std::string result;
    };
    const std::string key = R"({"token":"k"})";
    // That key in gzip, without the stream's last 8 bytes (its check and size).
    const std::string cut_gzip("\x1F\x8B\x08\x00\x00\x00\x00\x00\x02\x03"
                               "\xAB\x56\x2A\xC9\xCF\x4E\xCD\x53\xB2\x52\xCA\x56\xAA\x05\x00",
                               25);
    const Case cases[] = {
        {"neither client nor installer", std::nullopt, false, kSuccess},
        {"refused key", testing::HttpReply(200, "OK", {}, R"({"token":"a,b"})"), true,
         R"({"log":[],"erro":{"class_erro":"EAccessKeyError","msg_erro":"The access key contains a character that is not allowed"}})"},
        {"failing key request", testing::HttpReply(500, "Internal Server Error", {}, "down"), true,
         R"({"log":[],"erro":{"class_erro":"ERESTException","msg_erro":"HTTP\/1.1 500 Internal Server Error"}})"},
        {"key reply reset part-way",
         testing::CutShort(testing::HttpReply(200, "OK", {}, key + std::string(64, ' ')), 32, true), true,
         RestFailure(CutReading(true))},
        // What came holds the whole key: still no key.
        {"key reply closed part-way",
         testing::CutShort(testing::HttpReply(200, "OK", {}, key + std::string(64, ' ')), 32, false), true,
         RestFailure(CutReading(false))},
        {"gzip key reply cut short", testing::HttpReply(200, "OK", {{"Content-Encoding", "gzip"}}, cut_gzip),
         true, RestFailure("Reply body could not be decompressed")},
        {"key reply over 8 MiB", testing::HttpReply(200, "OK", {}, key + std::string(8 * 1024 * 1024, ' ')),
         true, RestFailure("Reply body larger than 8 MiB")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.reply) key_service.Answer(*c.reply);
        if (c.programs_there) {
            Copy(STAND_IN, client);
            Copy(STAND_IN, installer);
        }
        ProgramResult r = Run();
        EXPECT_EQ(r.out, c.result);
        const std::string log = testing::ReadFileBytes(work + kSep + "LogVantrel.txt");
        EXPECT_TRUE(log.ends_with("| " + c.result + "\r\n")) << log;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // anything started would have written
        EXPECT_FALSE(testing::FileExists(client + ".log"));
        EXPECT_FALSE(testing::FileExists(installer + ".log"));
    }
}

TEST_F(ProvisioningToolTest, EmptyKey) {
    key_service.Answer(testing::HttpReply(200, "OK", {}, R"({"token":""})"));
    Copy(STAND_IN, client);
    EXPECT_EQ(Run().out, kSuccess);
    EXPECT_EQ(Record(client + ".log", 2), (std::vector<std::string>{"", kConfig + "]"}));
}

#ifdef _WIN32
// A customer whose Internet Options name an automatic configuration script:
// the key service is reached through the proxy that the script picks for the
// server's host (the local key service), fetched from the address the
// settings give.
TEST_F(ProvisioningToolTest, KeyServiceThroughTheProxyOfTheConfigurationScript) {
    const std::string host = Utf16ToUtf8(ServerHost());
    const std::string proxy = "127.0.0.1:" + std::to_string(key_service.port());
    // The key service as the proxy for the server's host, a direct connection for any other.
    const std::string script = "function FindProxyForURL(url, host) {\n    return host == \"" + host +
                               "\" ? \"PROXY " + proxy + "\" : \"DIRECT\";\n}\n";
    testing::HttpTestServer scripts;
    scripts.Script(std::vector<testing::ScriptedReply>(
        10, testing::HttpReply(200, "OK", {{"Content-Type", "application/x-ns-proxy-autoconfig"}}, script)));
    testing::ScopedUserProxy settings(
        testing::ConfigurationScript{"http://127.0.0.1:" + std::to_string(scripts.port()) + "/proxy.pac"});
    Copy(STAND_IN, client);

    EXPECT_EQ(Run().out, kSuccess);
    EXPECT_EQ(AskedFor().rfind("http://" + host + ":3002/api/acessoremoto?cnpj=&id_dispositivo=", 0), 0u)
        << AskedFor();
    const auto fetched = scripts.Requests();
    ASSERT_FALSE(fetched.empty());
    EXPECT_EQ(fetched[0].target, "/proxy.pac");
    EXPECT_EQ(Record(client + ".log", 2), (std::vector<std::string>{"", kConfig + "Key+/=9]"}));
}
#endif

#ifndef _WIN32
// The tax id from a real database, punctuation removed; a database that cannot
// be read shows the box and the run goes on without it.
TEST_F(ProvisioningToolTest, CompanyTaxIdFromTheDatabase) {
    company::testing::FirebirdHome home;
    struct Case {
        const char* name;
        company::testing::DatabaseLayout layout;
        std::string cnpj;
        bool box;
    };
    const Case cases[] = {
        {"found", {.rows = {"'12.345.678/0001-90'"}}, "12345678000190", false},
        {"lookup fails", {.with_table = false}, "", true},
    };
    Copy(STAND_IN, client);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string base = home.CreateDatabase("erp" + std::to_string(n++) + ".fdb", c.layout);
        testing::WriteFileBytes(work + "/BANCO.INI", "[CONFIG]\r\nBASE=" + base + "\r\nUSER=SYSDBA\r\n");
        key_service.Answer(testing::HttpReply(200, "OK", {}, R"({"token":"k"})"));
        ProgramResult r = Run(home.Environment());
        EXPECT_EQ(r.out, kSuccess);
        EXPECT_EQ(r.err.find("Firebird client error") != std::string::npos, c.box) << r.err;
        EXPECT_NE(AskedFor().find("?cnpj=" + c.cnpj + "&id_dispositivo="), std::string::npos) << AskedFor();
    }
    EXPECT_EQ(Record(client + ".log", 4).size(), 4u);
}
#endif

// The support trace: the lines of a run's standard error that a trace wrote
// ("MS step: text"), without their line ends.
std::vector<std::string> TraceLines(const std::string& text) {
    static const std::regex kLine(R"(^ *[0-9]+ [a-z]+: .*)");
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(from, end - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (std::regex_match(line, kLine)) lines.push_back(line);
        from = end + 1;
    }
    return lines;
}

// The results of the log's lines, without their date-time texts.
std::vector<std::string> LoggedResults(const std::string& log) {
    std::vector<std::string> results;
    std::size_t from = 0;
    while (from < log.size()) {
        std::size_t end = log.find("\r\n", from);
        if (end == std::string::npos) end = log.size();
        const std::string line = log.substr(from, end - from);
        const std::size_t mark = line.find("| ");
        results.push_back(mark == std::string::npos ? line : line.substr(mark + 2));
        from = end + 2;
    }
    return results;
}

// The header token that the tool sends with the key request.
constexpr char kHeaderToken[] = "5a0f3c7e1d9b2a648c0e7f1b3d5a9c2e";

// Each kind of run twice, with the trace on standard error and without it: the
// same document, log line and exit code; a trace that tells the story and
// never shows the key, the database password or the header token.
TEST_F(ProvisioningToolTest, TraceOfEachKindOfRun) {
    enum class Company { None, Fails };
    struct Case {
        const char* name;
        bool client, installer;
        const char* installs;  // what the stand-in installer does
        std::optional<testing::ScriptedReply> reply;
        Company company;
        std::vector<std::string> expected;  // each is in one line of the trace
    };
    const std::string host = Utf16ToUtf8(ServerHost());
    const std::string start_client =
        "provisioning: start \"" + client + "\" --config \"host=" + host + ",key=***\"";
    const std::string password = "Pwd-Of-The-ERP";
    const Case cases[] = {
        {"branch A",
         true,
         true,
         "",
         std::nullopt,
         Company::None,
         {"start: vantrel ", "start: mode: no argument", "start: request kind 0", "company: settings ",
          "identity: computer name ",
          "key: GET http://" + host + ":3002/api/acessoremoto?cnpj=&id_dispositivo=", "key: proxy ",
          "key: status HTTP/1.1 200 OK", "key: content type \"application/json", "key: a key of 7 characters",
          "provisioning: client " + client + " is there", "provisioning: branch A", start_client,
          "provisioning: start \"" + client + "\"", "provisioning: started",
          "end: result {\"log\":[],\"Msg\":\"Sucesso\"}", "end: log line written"}},
        {"branch B, the service comes up",
         false,
         true,
         "client+service",
         std::nullopt,
         Company::None,
         {"provisioning: client " + client + " is not there",
          "provisioning: installer " + installer + " is there", "provisioning: branch B",
          "provisioning: start \"" + installer + "\" --silent-install",
          "provisioning: service RustDesk running after ", "provisioning: the service is running",
          "provisioning: pause of 1000 ms", "is there after the install", start_client,
          "end: log line written"}},
        {"branch C",
         false,
         false,
         "",
         std::nullopt,
         Company::None,
         {"provisioning: installer " + installer + " is not there", "provisioning: branch C",
          "end: log line written"}},
        {"failed key request",
         true,
         true,
         "",
         testing::HttpReply(500, "Internal Server Error", {}, "down"),
         Company::None,
         {"key: status HTTP/1.1 500 Internal Server Error",
          "end: failed: ERESTException: HTTP/1.1 500 Internal Server Error", "end: log line written"}},
        {"failed company lookup",
         true,
         false,
         "",
         std::nullopt,
         Company::Fails,
         {"company: settings " + work + kSep + "BANCO.INI found",
          "company: failed; the box shows: ", "key: GET http://" + host + ":3002/api/acessoremoto?cnpj=&",
          "provisioning: branch A", start_client}},
    };
#ifndef _WIN32
    company::testing::FirebirdHome home;  // its server is not started: the attach fails
    const testing::Environment database = home.Environment();
    const std::string settings = "[CONFIG]\r\nSERVER=127.0.0.1\r\nPORT=" + std::to_string(home.port()) +
                                 "\r\nBASE=" + work + "/erp.fdb\r\nUSER=SYSDBA\r\nPWD=" + password + "\r\n";
#else
    const testing::Environment database;  // no Firebird client library: the load fails
    const std::string settings = "[CONFIG]\r\nBASE=C:\\erp.fdb\r\nUSER=SYSDBA\r\nPWD=" + password + "\r\n";
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ProgramResult> runs;
        std::vector<std::string> logs;
        for (const char* trace : {"", "1"}) {
            fs::remove_all(fs::u8path(client_folder));
            fs::remove(fs::u8path(installer));
            fs::remove(fs::u8path(work + kSep + "LogVantrel.txt"));
            fs::remove(fs::u8path(work + kSep + "BANCO.INI"));
            if (c.client) Copy(STAND_IN, client);
            if (c.installer) Copy(STAND_IN, installer);
            if (c.company == Company::Fails) testing::WriteFileBytes(work + kSep + "BANCO.INI", settings);
            key_service.Answer(c.reply.value_or(testing::HttpReply(
                200, "OK", {{"Content-Type", "application/json"}}, R"({"token":"Key+/=9"})")));
            testing::Environment environment = database;
            environment.push_back({"VANTREL_TRACE", trace});
            environment.push_back({"VANTREL_STAND_IN_INSTALL", c.installs});
            runs.push_back(Run(environment));
            logs.push_back(testing::ReadFileBytes(work + kSep + "LogVantrel.txt"));
            if (c.client || std::string(c.installs).find("client") != std::string::npos) {
                Record(client + ".log", 2);  // both client starts are done with
            }
            StopService();
            fs::remove(fs::u8path(client + ".log"));
            fs::remove(fs::u8path(installer + ".log"));
        }
        const ProgramResult& off = runs[0];
        const ProgramResult& on = runs[1];
        EXPECT_EQ(on.out, off.out);
        EXPECT_EQ(on.exit_code, off.exit_code);
        EXPECT_EQ(LoggedResults(logs[1]), LoggedResults(logs[0]));
        EXPECT_EQ(LoggedResults(logs[1]).size(), 1u) << logs[1];
        EXPECT_TRUE(TraceLines(off.err).empty()) << off.err;

        const std::vector<std::string> trace = TraceLines(on.err);
        std::string all;
        for (const auto& line : trace) all += line + "\n";
        for (const std::string& expected : c.expected) {
            EXPECT_TRUE(std::any_of(
                trace.begin(), trace.end(),
                [&](const std::string& line) { return line.find(expected) != std::string::npos; }))
                << "no line with: " << expected << "\n"
                << all;
        }
        for (const std::string& secret : {std::string("Key+/=9"), password, std::string(kHeaderToken)}) {
            EXPECT_EQ(on.err.find(secret), std::string::npos) << secret << "\n" << on.err;
        }
    }
}

// The trace to a file: appended to, run after run, and nothing on standard
// error; a file that cannot be opened, or an empty setting, gives no trace and
// the same run.
TEST_F(ProvisioningToolTest, TraceToAFileOrNowhere) {
    const std::string file = dir.File("trace.txt");
    const std::string unusable = dir.File("no-such-folder") + kSep + "trace.txt";
    for (const std::string& setting : {file, file, unusable, std::string()}) {
        SCOPED_TRACE(setting);
        ProgramResult r = Run({{"VANTREL_TRACE", setting}});
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, kSuccess);
        EXPECT_EQ(r.err, "");
    }
    const std::vector<std::string> lines = TraceLines(testing::ReadFileBytes(file));
    EXPECT_EQ(std::count_if(
                  lines.begin(), lines.end(),
                  [](const std::string& line) { return line.find(" start: vantrel ") != std::string::npos; }),
              2);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.ends_with(" end: log line written"); }),
              2);
    EXPECT_FALSE(testing::FileExists(unusable));
    EXPECT_EQ(LoggedResults(testing::ReadFileBytes(work + kSep + "LogVantrel.txt")),
              std::vector<std::string>(4, kSuccess));
}

}  // namespace
}  // namespace vantrel
