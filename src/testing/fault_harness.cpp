#include "testing/fault_harness.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string_view>

#include "company/firebird_client.h"
#include "core/utf.h"
#include "json/json.h"
#include "request/entry.h"
#include "testing/failing_allocator.h"
#include "testing/fake_firebird_api.h"
#include "testing/fake_platform.h"

namespace vantrel::testing {

namespace {

using platform::FakeHttpTransport;

constexpr char16_t kWork[] = u"C:\\Work";
constexpr char16_t kLog[] = u"C:\\Work\\LogVantrel.txt";
constexpr char16_t kScratch[] = u"C:\\Work\\LogVantrel.txt.tmp";
constexpr char16_t kSettings[] = u"C:\\Work\\BANCO.INI";
constexpr char16_t kRequestFile[] = u"C:\\Work\\pedido.json";
constexpr char16_t kClient[] = u"C:\\Program Files\\RustDesk\\rustdesk.exe";
constexpr char16_t kInstaller[] = u"C:\\Apps\\rustdesk.exe";
// The key the service hands out: it must never show anywhere but in the
// client's configuration argument.
constexpr char kKey[] = "Kq7-9xSecretKey";
// The log line's date and time on the fake clock.
constexpr char kLinePrefix[] = "|21/08/2025 14:03:07| ";

// One machine, set up for one kind of run.
struct Machine {
    platform::FakePlatform fake;
    // Every program that really started, and whether the injected failure had
    // come by then.
    std::vector<bool> started_after_failure;
    std::function<bool()> failure_came = [] { return false; };

    explicit Machine(RunKind kind) {
        ResetFirebirdStub();
        firebird_stub.data = Varying("12345678000190");
        fake.process.current_directory = kWork;
        fake.programs.environment[u"ProgramW6432"] = u"C:\\Program Files";
        fake.identity.machine_guid = {platform::MachineGuidRead::Outcome::Text,
                                      u"4c4c4544-0042-3010-8052-b4c04f4e4d31"};
        fake.http.script = {FakeHttpTransport::Reply(200, u"OK", {{u"Content-Type", u"application/json"}},
                                                     std::string(R"({"token":")") + kKey + R"("})")};
        // The company lookup: BANCO.INI and a client library that answers.
        fake.files.Put(kSettings, "");
        fake.profiles.Set(kSettings, u"CONFIG", u"SERVER", u"erpsrv");
        fake.profiles.Set(kSettings, u"CONFIG", u"BASE", u"C:\\ERP\\DADOS.FDB");
        fake.profiles.Set(kSettings, u"CONFIG", u"USER", u"SYSDBA");
        fake.profiles.Set(kSettings, u"CONFIG", u"PWD", u"masterkey");
        fake.libraries.available[company::kClientLibraryNames[0]] = FirebirdFunctions();
        fake.programs.on_start = [this](const std::u16string&) {
            started_after_failure.push_back(failure_came());
        };

        switch (kind) {
        case RunKind::NoArgumentClientInstalled: fake.files.Put(kClient, ""); break;
        case RunKind::NoArgumentInstall:
            fake.files.Put(kInstaller, "");
            // The installer puts the client in place and its service comes up.
            fake.programs.on_start = [this](const std::u16string& command) {
                started_after_failure.push_back(failure_came());
                if (command.find(u"--silent-install") != std::u16string::npos) {
                    fake.files.Put(kClient, "");
                    fake.programs.service_running = true;
                }
            };
            break;
        case RunKind::NoArgumentNothingToStart: break;
        case RunKind::RequestFile:
            fake.process.arguments = {u"STDIN", u"pedido.json"};
            fake.files.Put(kRequestFile, "{\"solicitacao\":0}\r\n");
            fake.files.Put(kClient, "");
            break;
        case RunKind::StandardInputKind0:
            fake.process.arguments = {u"x"};
            fake.console.stdin_bytes = "{\"solicitacao\":0}";
            fake.files.Put(kClient, "");
            break;
        case RunKind::StandardInputKind1:
            fake.process.arguments = {u"x"};
            fake.console.stdin_bytes = "{\"solicitacao\":1}";
            fake.files.Put(kClient, "");
            break;
        case RunKind::KeyRequestFails:
            fake.files.Put(kClient, "");
            fake.http.script = {FakeHttpTransport::Failure(u"Error sending data: (12029) Cannot connect")};
            break;
        }
    }
};

// The end of the JSON object at the start of `text` (one past its closing
// brace), or npos when it is not closed.
std::size_t EndOfObject(std::string_view text) {
    if (text.empty() || text.front() != '{') return std::string_view::npos;
    int depth = 0;
    bool in_string = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_string) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if ((c == '}' || c == ']') && --depth == 0) {
            return i + 1;
        }
    }
    return std::string_view::npos;
}

// A complete result document: "log" with an empty array, then "Msg" with
// "Sucesso" or "erro" with its two texts, and nothing else.
bool IsCompleteDocument(std::string_view text, bool& is_error) {
    const std::unique_ptr<json::Value> parsed = json::ParseUtf8(text);
    if (!parsed || parsed->kind() != json::Kind::Object) return false;
    const auto& members = parsed->members();
    if (members.size() != 2 || members[0].name != u"log" || members[0].value.kind() != json::Kind::Array ||
        !members[0].value.items().empty()) {
        return false;
    }
    const json::Value& outcome = members[1].value;
    if (members[1].name == u"Msg") {
        is_error = false;
        return outcome.kind() == json::Kind::String && outcome.text() == u"Sucesso";
    }
    is_error = true;
    if (members[1].name != u"erro" || outcome.kind() != json::Kind::Object) return false;
    const auto& erro = outcome.members();
    return erro.size() == 2 && erro[0].name == u"class_erro" && erro[0].value.kind() == json::Kind::String &&
           !erro[0].value.text().empty() && erro[1].name == u"msg_erro" &&
           erro[1].value.kind() == json::Kind::String;
}

// The last-resort line: a kind name, ": ", a message and CR LF at its end.
bool IsLastResortLine(std::string_view text) {
    const std::size_t colon = text.find(": ");
    return colon != std::string_view::npos && colon > 1 && text.front() == 'E' &&
           text.find_first_of(" \r\n") >= colon && text.ends_with("\r\n");
}

bool HasKey(std::string_view text) { return text.find(kKey) != std::string_view::npos; }
bool HasKey(const std::u16string& text) { return HasKey(Utf16ToUtf8(text)); }

// Checks the promise after one run. Standard output may stay empty only
// when its own opening or write was the call that failed.
::testing::AssertionResult KeptThePromise(Machine& m, RunKind kind, int exit_code, bool output_may_be_lost) {
    auto broken = [&](const std::string& what) {
        return ::testing::AssertionFailure()
               << NameOf(kind) << ": " << what << "\n  standard output: " << m.fake.console.stdout_bytes
               << "\n  log: " << m.fake.files.Bytes(kLog);
    };
    if (exit_code != 0) return broken("exit code " + std::to_string(exit_code));

    // Standard output: the document, then at most the last-resort line.
    const std::string& out = m.fake.console.stdout_bytes;
    std::string document;
    std::string last_resort;
    if (!out.empty()) {
        const std::size_t end = EndOfObject(out);
        if (end == std::string::npos) return broken("standard output holds no complete document");
        document = out.substr(0, end);
        last_resort = out.substr(end);
        if (!last_resort.empty() && !IsLastResortLine(last_resort)) {
            return broken("after the document comes no last-resort line");
        }
    } else if (!output_may_be_lost) {
        return broken("nothing on standard output");
    }

    // The log: nothing, or the document as one complete line.
    const std::string log = m.fake.files.Bytes(kLog);
    if (!log.empty()) {
        if (!log.starts_with(kLinePrefix) || !log.ends_with("\r\n") || log.find("\r\n") != log.size() - 2) {
            return broken("the log holds no one complete line");
        }
        const std::string logged = log.substr(sizeof kLinePrefix - 1, log.size() - sizeof kLinePrefix - 1);
        if (document.empty()) {
            document = logged;  // standard output failed; the log has it
        } else if (logged != document) {
            return broken("the log line is not the document printed");
        }
    } else if (last_resort.empty()) {
        return broken("no log line and no last-resort line");
    }
    if (m.fake.files.Has(kScratch)) return broken("the converted log was left beside the log");
    if (document.empty()) return broken("neither standard output nor the log holds the document");
    bool is_error = false;
    if (!IsCompleteDocument(document, is_error)) return broken("the document is not complete: " + document);

    // Nothing left open.
    if (m.fake.files.OpenHandles() != 0) return broken("files left open");
    if (m.fake.libraries.alive > 1) return broken("libraries left loaded");
    if (firebird_stub.attachments_open != 0 || firebird_stub.transactions_open != 0 ||
        firebird_stub.statements_open != 0) {
        return broken("a database attachment, transaction or statement left open");
    }

    // Nothing started after a failure that ends the request, and nothing at
    // all for a request that asks for nothing.
    if (is_error) {
        for (bool after : m.started_after_failure) {
            if (after) return broken("a program was started after the failure that ended the request");
        }
    }
    if (kind == RunKind::StandardInputKind1 &&
        (!m.fake.programs.started.empty() || !m.fake.http.requests.empty() ||
         !m.fake.profiles.reads.empty())) {
        return broken("a request of kind 1 looked something up or started something");
    }

    // The key only in the client's configuration argument.
    if (HasKey(out) || HasKey(log)) return broken("the key is in the output or the log");
    for (const auto& shown : m.fake.error_box.shown) {
        if (HasKey(shown.caption) || HasKey(shown.text)) return broken("the key is in the error box");
    }
    for (const auto& started : m.fake.programs.started) {
        const std::size_t config = started.command.find(u" --config \"host=");
        const std::u16string outside =
            config == std::u16string::npos ? started.command : started.command.substr(0, config);
        if (HasKey(outside)) return broken("the key is in a command line outside its argument");
    }
    return ::testing::AssertionSuccess();
}

// The outcome of a run without a failure.
bool NaturallyFails(RunKind kind) { return kind == RunKind::KeyRequestFails; }

std::string ReadTextFile(const std::string& path) {
    std::string bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
        std::fclose(f);
    }
    return bytes;
}

}  // namespace

const std::vector<RunKind>& AllRunKinds() {
    static const std::vector<RunKind> kinds = {
        RunKind::NoArgumentClientInstalled, RunKind::NoArgumentInstall,
        RunKind::NoArgumentNothingToStart,  RunKind::RequestFile,
        RunKind::StandardInputKind0,        RunKind::StandardInputKind1,
        RunKind::KeyRequestFails,
    };
    return kinds;
}

const char* NameOf(RunKind kind) {
    switch (kind) {
    case RunKind::NoArgumentClientInstalled: return "no argument, client installed";
    case RunKind::NoArgumentInstall: return "no argument, client installed first";
    case RunKind::NoArgumentNothingToStart: return "no argument, nothing to start";
    case RunKind::RequestFile: return "request file";
    case RunKind::StandardInputKind0: return "standard input, kind 0";
    case RunKind::StandardInputKind1: return "standard input, kind 1";
    case RunKind::KeyRequestFails: return "key request fails";
    }
    return "?";
}

FaultTally EveryFailingCall(RunKind kind) {
    FaultTally tally;
    for (std::size_t n = 1;; ++n) {
        Machine m(kind);
        platform::FaultPlan plan;
        m.fake.InjectFaults(plan);
        firebird_stub.faults = &plan;
        m.failure_came = [&plan] { return plan.fired(); };
        plan.Arm(n);
        const int code = request::Run(m.fake.sys);
        firebird_stub.faults = nullptr;
        ++tally.runs;
        const std::string point = plan.failed_point();
        const bool lost = point == "console.open_output" || point == "console.write";
        EXPECT_TRUE(KeptThePromise(m, kind, code, lost)) << "failing call " << n << ": " << point;
        if (!plan.fired()) {
            // The last run made fewer calls than the one chosen: it ran
            // without a failure and ends as such a run ends.
            const bool failed = m.fake.console.stdout_bytes.find("\"erro\"") != std::string::npos;
            EXPECT_EQ(failed, NaturallyFails(kind)) << NameOf(kind) << ": " << m.fake.console.stdout_bytes;
            break;
        }
        ++tally.injected;
    }
    return tally;
}

FaultTally EveryFailingAllocation(RunKind kind, bool traced, const std::string& trace_folder) {
    FaultTally tally;
    const std::string trace_file = traced ? trace_folder + "/trace.txt" : std::string();
    for (std::size_t n = 1;; ++n) {
        Machine m(kind);
        if (traced) {
            std::remove(trace_file.c_str());
            m.fake.programs.environment[u"VANTREL_TRACE"] = Utf8ToUtf16(trace_file);
        }
        m.failure_came = [] { return AllocationFailed(); };
        ArmAllocationFailure(n);
        const int code = request::Run(m.fake.sys);
        DisarmAllocationFailure();
        ++tally.runs;
        EXPECT_TRUE(KeptThePromise(m, kind, code, false)) << "failing allocation " << n;
        if (traced) {
            EXPECT_FALSE(HasKey(ReadTextFile(trace_file)))
                << "the key in the trace, failing allocation " << n;
        }
        if (!AllocationFailed()) {
            const bool failed = m.fake.console.stdout_bytes.find("\"erro\"") != std::string::npos;
            EXPECT_EQ(failed, NaturallyFails(kind)) << NameOf(kind) << ": " << m.fake.console.stdout_bytes;
            break;
        }
        ++tally.injected;
    }
    if (traced) std::remove(trace_file.c_str());
    return tally;
}

}  // namespace vantrel::testing
