// Whole runs of the built tool against their references, side by side:
//
//   vantrel_bench_runs <tool> <stand-in client> <floor> [rounds]
//
// 1. A kind-1 request (standard input, result written, log line appended)
//    against /bin/true, the cost of starting a process at all; 3a. its peak
//    memory (/usr/bin/time -v).
// 2. A kind-0 run on a demo machine (client installed: configured and started)
//    against its floor (vantrel_bench_floor: the same unavoidable work with
//    the same libraries, nothing else), wall time and peak memory: a. with the
//    embedded database; b. as information, against the sum of isql-fb running
//    the same query through the embedded engine and curl making the same GET
//    through the same proxy; c. through the Firebird server on a loopback port
//    (SERVER set).
// Every figure is a median over interleaved rounds, with min and max. Prints
// one line per target, ending PASS or MISS; the exit status is 0 when every
// measurement could be made.
//
//   vantrel_bench_runs --on-demo-machine <stand-in client> <command> [args]
//
// sets up the same demo machine and runs the command once in the tool's
// working folder, with the tool's environment, for looking closer at a kind-0
// run (strace, perf, heaptrack, ...). "$VANTREL_DEMO_DATABASE" in the command
// names the database.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "demo/machine.h"
#include "measure.h"
#include "testing/run_program.h"

namespace {

using namespace vantrel;
using bench::Command;

constexpr double kMs = 1e3;
constexpr double kMiB = 1.0 / 1024;

std::vector<std::string> Variables(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::vector<std::string> variables;
    for (const auto& [name, value] : pairs) variables.push_back(name + "=" + value);
    return variables;
}

// Fails unless `text` holds `part`, naming what was run.
void Expect(const std::string& what, const std::string& text, const std::string& part) {
    if (text.find(part) == std::string::npos) {
        throw std::runtime_error(what + " did not give " + part + ":\n" + text);
    }
}

int misses = 0;

void Ratio(const std::string& what, double ratio, double target) {
    if (!bench::PrintRatio(what, ratio, target)) ++misses;
}

void KindOne(const std::string& tool, int rounds) {
    testing::TempDir scratch;
    const std::string request = scratch.File("request.json");
    testing::WriteFileBytes(request, "{\"solicitacao\":1}\n");
    const std::vector<std::string> environment = bench::EnvironmentWith({});
    const Command run{"vantrel x (kind 1)", {tool, "x"}, environment, scratch.path(), request};
    const Command floor{"/bin/true", {"/bin/true"}, environment, scratch.path(), request};

    testing::ProgramRun check;
    check.program = tool;
    check.args = {"x"};
    check.input = "{\"solicitacao\":1}\n";
    check.directory = scratch.path();
    Expect("the kind-1 run", testing::RunProgram(check).out, "\"Msg\":\"Sucesso\"");

    std::printf("== 1. Kind-1 run against /bin/true (%d interleaved rounds, wall time)\n", rounds);
    const auto samples = bench::Interleave({run, floor}, rounds);
    const bench::Stats tool_time = bench::Summarize(samples[0]);
    const bench::Stats floor_time = bench::Summarize(samples[1]);
    bench::PrintStats(run.name, tool_time, kMs, "ms");
    bench::PrintStats(floor.name, floor_time, kMs, "ms");
    Ratio("kind 1 / true", tool_time.median / floor_time.median, 2.5);
    if (!testing::ReadFileBytes(scratch.File("LogVantrel.txt")).empty()) {
        std::printf("  (log lines appended: yes)\n");
    }

    std::printf("\n== 3a. Peak memory of the kind-1 run (/usr/bin/time -v, %d rounds)\n", 5);
    const auto peaks = bench::InterleavePeakRss({run, floor}, 5);
    const bench::Stats tool_peak = bench::Summarize(peaks[0]);
    bench::PrintStats(run.name, tool_peak, kMiB, "MiB");
    bench::PrintStats(floor.name, bench::Summarize(peaks[1]), kMiB, "MiB");
    if (!bench::PrintLimit("kind 1 peak", tool_peak.median * kMiB, 4.0, "MiB")) ++misses;
}

// The floor's command line for the request the service got: the database as
// BANCO.INI names it, the same URL and headers, the installed client and the
// server host of its configuration argument (the URL's host).
Command FloorCommand(const std::string& floor, const demo::DemoMachine& machine,
                     const testing::ReceivedRequest& request, const std::string& database,
                     const std::string& user, const std::string& password,
                     const std::vector<std::string>& environment) {
    const std::string& url = request.target;
    const std::size_t host_start = url.find("://") + 3;
    const std::string host = url.substr(host_start, url.find_first_of(":/", host_start) - host_start);
    Command command{"floor (same work, nothing else)",
                    {floor, database, user, password, url, machine.client(), host},
                    environment,
                    machine.work()};
    for (const auto& [name, value] : request.headers) {
        if (name != "Host" && name != "Proxy-Connection") command.argv.push_back(name + ": " + value);
    }
    return command;
}

// One checked run of `command` in the machine's folder: it must have asked
// the service for the key, and the client must have been given it. Gives the
// request the service got.
testing::ReceivedRequest CheckRun(const std::string& what, demo::DemoMachine& machine, const Command& command,
                                  const std::string& expected_output) {
    const std::size_t before = machine.service().Requests().size();
    std::remove((machine.client() + ".log").c_str());
    testing::ProgramRun check;
    check.program = command.argv[0];
    check.args.assign(command.argv.begin() + 1, command.argv.end());
    check.directory = machine.work();
    check.environment = machine.Environment();
    check.detach_terminal = true;
    check.timeout_ms = 60000;
    const testing::ProgramResult result = testing::RunProgram(check);
    Expect(what, result.out + result.err, expected_output);
    const std::vector<testing::ReceivedRequest> requests = machine.service().Requests();
    if (requests.size() != before + 1) throw std::runtime_error(what + " did not reach the key service");
    // The client starts are not waited for: give them a moment.
    for (int i = 0;
         i < 100 && testing::ReadFileBytes(machine.client() + ".log").find(machine.kKey) == std::string::npos;
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Expect(what, testing::ReadFileBytes(machine.client() + ".log"), machine.kKey);
    machine.RefillService();
    return requests.back();
}

// The tool against its floor on the machine as it is set up: wall time, then
// peak memory, each with its target.
void AgainstFloor(const std::string& title, const Command& run, const Command& floor, int rounds,
                  const std::function<void()>& settle) {
    std::printf("\n== %s (%d interleaved rounds, wall time)\n", title.c_str(), rounds);
    const auto samples = bench::Interleave({run, floor}, rounds, settle);
    const bench::Stats tool_time = bench::Summarize(samples[0]);
    const bench::Stats floor_time = bench::Summarize(samples[1]);
    bench::PrintStats(run.name, tool_time, kMs, "ms");
    bench::PrintStats(floor.name, floor_time, kMs, "ms");
    Ratio("kind 0 / floor, wall time", tool_time.median / floor_time.median, 1.10);

    const int peak_rounds = 7;
    std::printf("   peak memory (/usr/bin/time -v, %d rounds)\n", peak_rounds);
    const auto peaks = bench::InterleavePeakRss({run, floor}, peak_rounds, settle);
    const bench::Stats tool_peak = bench::Summarize(peaks[0]);
    const bench::Stats floor_peak = bench::Summarize(peaks[1]);
    bench::PrintStats(run.name, tool_peak, kMiB, "MiB");
    bench::PrintStats(floor.name, floor_peak, kMiB, "MiB");
    Ratio("kind 0 / floor, peak memory", tool_peak.median / floor_peak.median, 1.10);
}

void KindZero(const std::string& tool, const std::string& stand_in, const std::string& floor_program,
              int rounds) {
    demo::DemoMachine machine(stand_in);
    const std::vector<std::string> variables = Variables(machine.Environment());
    const std::vector<std::string> environment = bench::EnvironmentWith(variables);

    // One checked run first: the result, and the request the service got,
    // which the floor and curl then repeat.
    const Command run{"vantrel (kind 0, client installed)", {tool}, environment, machine.work()};
    const testing::ReceivedRequest request = CheckRun("the kind-0 run", machine, run, "\"Msg\":\"Sucesso\"");

    const Command floor =
        FloorCommand(floor_program, machine, request, machine.database(), "SYSDBA", "", environment);
    CheckRun("the floor", machine, floor, "12345678000190 " + std::string(machine.kKey));

    // The client starts are not waited for by the tool: let them end, and
    // keep the service's script full.
    auto settle = [&machine] {
        machine.RefillService();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    };
    AgainstFloor("2a. Kind-0 run against its floor, embedded database", run, floor, rounds, settle);

    // Information: the two separate programs that did the same jobs before.
    const std::string query = machine.folder() + "/query.sql";
    testing::WriteFileBytes(query, "SELECT FIRST 1 APENASNUMERO(CONFIGURACOES.CNPJ) FROM CONFIGURACOES;\n");
    const Command isql{"isql-fb (same query, embedded)",
                       {"/usr/bin/isql-fb", "-q", "-ch", "ISO8859_1", "-user", "SYSDBA", machine.database()},
                       environment,
                       machine.work(),
                       query};
    Command curl{"curl (same GET, same proxy)",
                 {"/usr/bin/curl", "-s", "-f", "-o", "/dev/null"},
                 environment,
                 machine.work()};
    for (const auto& [name, value] : request.headers) {
        if (name != "Host" && name != "Proxy-Connection") curl.argv.push_back("-H" + name + ": " + value);
    }
    curl.argv.push_back(request.target);

    testing::ProgramRun isql_check;
    isql_check.program = isql.argv[0];
    isql_check.args.assign(isql.argv.begin() + 1, isql.argv.end());
    isql_check.input = testing::ReadFileBytes(query);
    isql_check.environment = machine.Environment();
    Expect("isql-fb", testing::RunProgram(isql_check).out, "12345678000190");

    std::printf("\n== 2b. Kind-0 run against isql-fb + curl, embedded (information; %d rounds, wall time)\n",
                rounds);
    const auto samples = bench::Interleave({run, isql, curl}, rounds, settle);
    std::vector<double> sums;
    for (std::size_t i = 0; i < samples[1].size(); ++i) sums.push_back(samples[1][i] + samples[2][i]);
    const bench::Stats tool_time = bench::Summarize(samples[0]);
    const bench::Stats sum_time = bench::Summarize(sums);
    bench::PrintStats(run.name, tool_time, kMs, "ms");
    bench::PrintStats(isql.name, bench::Summarize(samples[1]), kMs, "ms");
    bench::PrintStats(curl.name, bench::Summarize(samples[2]), kMs, "ms");
    bench::PrintStats("isql-fb + curl (each round)", sum_time, kMs, "ms");
    std::printf("  %-34s ratio %6.2f\n", "kind 0 / (isql-fb + curl)", tool_time.median / sum_time.median);
    const auto peaks = bench::InterleavePeakRss({run, isql, curl}, 5, settle);
    const bench::Stats tool_peak = bench::Summarize(peaks[0]);
    const bench::Stats isql_peak = bench::Summarize(peaks[1]);
    bench::PrintStats(run.name + ", peak", tool_peak, kMiB, "MiB");
    bench::PrintStats(isql.name + ", peak", isql_peak, kMiB, "MiB");
    bench::PrintStats(curl.name + ", peak", bench::Summarize(peaks[2]), kMiB, "MiB");
    std::printf("  %-34s ratio %6.2f\n", "kind 0 peak / isql-fb peak", tool_peak.median / isql_peak.median);

    // The same through the Firebird server on a loopback port (SERVER set).
    machine.ServeDatabase();
    CheckRun("the kind-0 run (server)", machine, run, "\"Msg\":\"Sucesso\"");
    const std::string remote =
        "127.0.0.1/" + std::to_string(machine.home().port()) + ":" + machine.database();
    const Command server_floor =
        FloorCommand(floor_program, machine, request, remote, company::testing::FirebirdHome::kUser,
                     company::testing::FirebirdHome::kPassword, environment);
    CheckRun("the floor (server)", machine, server_floor, "12345678000190 " + std::string(machine.kKey));
    AgainstFloor("2c. Kind-0 run against its floor, Firebird server on a loopback port", run, server_floor,
                 rounds, settle);
}

int OnDemoMachine(const std::string& stand_in, char** command) {
    demo::DemoMachine machine(stand_in);
    auto environment = machine.Environment();
    environment.push_back({"VANTREL_DEMO_DATABASE", machine.database()});
    testing::ProgramRun run;
    run.program = "/bin/sh";
    run.args = {"-c", "cd \"$0\" && exec \"$@\"", machine.work()};
    for (char** arg = command; *arg != nullptr; ++arg) run.args.push_back(*arg);
    run.environment = environment;
    run.detach_terminal = true;
    run.timeout_ms = 600000;
    const testing::ProgramResult result = testing::RunProgram(run);
    std::fwrite(result.out.data(), 1, result.out.size(), stdout);
    std::fwrite(result.err.data(), 1, result.err.size(), stderr);
    return result.exit_code;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 3 && std::string(argv[1]) == "--on-demo-machine") {
        try {
            return OnDemoMachine(argv[2], argv + 3);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "benchmark failed: %s\n", e.what());
            return 1;
        }
    }
    if (argc < 4 || argc > 5) {
        std::fprintf(stderr, "usage: vantrel_bench_runs <tool> <stand-in client> <floor> [rounds]\n");
        return 2;
    }
    const int rounds = argc == 5 ? std::atoi(argv[4]) : 31;
    try {
        if (!bench::HaveGnuTime()) throw std::runtime_error("no /usr/bin/time (Debian package time)");
        // A kind-1 run costs a few milliseconds, and the figures are the
        // steadier for more of them.
        KindOne(argv[1], rounds * 5);
        KindZero(argv[1], argv[2], argv[3], rounds);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
    std::printf("\n(runs: %d target(s) missed)\n", misses);
    return 0;
}
