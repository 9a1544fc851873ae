// Whole runs of the built tool against their references, side by side:
//
//   vantrel_bench_runs <tool> <stand-in client> [rounds]
//
// 1. A kind-1 request (standard input, result written, log line appended)
//    against /bin/true, the cost of starting a process at all.
// 2. A kind-0 run on a demo machine (client installed: configured and started)
//    against the sum of isql-fb running the same query through the embedded
//    engine on the same database and curl making the same GET through the same
//    proxy.
// 3. Peak memory of both runs, through /usr/bin/time -v.
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

void KindZero(const std::string& tool, const std::string& stand_in, int rounds) {
    demo::DemoMachine machine(stand_in);
    const std::vector<std::string> variables = Variables(machine.Environment());
    const std::vector<std::string> environment = bench::EnvironmentWith(variables);

    // One checked run first: the result, and the request the service got,
    // which curl then repeats.
    testing::ProgramRun check;
    check.program = tool;
    check.directory = machine.work();
    check.environment = machine.Environment();
    check.detach_terminal = true;
    check.timeout_ms = 60000;
    Expect("the kind-0 run", testing::RunProgram(check).out, "\"Msg\":\"Sucesso\"");
    const auto requests = machine.service().Requests();
    if (requests.size() != 1) throw std::runtime_error("the kind-0 run did not reach the key service");
    Expect("the kind-0 run", testing::ReadFileBytes(machine.client() + ".log"), machine.kKey);

    const std::string query = machine.folder() + "/query.sql";
    testing::WriteFileBytes(query, "SELECT FIRST 1 APENASNUMERO(CONFIGURACOES.CNPJ) FROM CONFIGURACOES;\n");
    const Command run{"vantrel (kind 0, client installed)", {tool}, environment, machine.work()};
    const Command isql{"isql-fb (same query, embedded)",
                       {"/usr/bin/isql-fb", "-q", "-ch", "ISO8859_1", "-user", "SYSDBA", machine.database()},
                       environment,
                       machine.work(),
                       query};
    Command curl{"curl (same GET, same proxy)",
                 {"/usr/bin/curl", "-s", "-f", "-o", "/dev/null"},
                 environment,
                 machine.work()};
    for (const auto& [name, value] : requests[0].headers) {
        if (name != "Host" && name != "Proxy-Connection") curl.argv.push_back("-H" + name + ": " + value);
    }
    curl.argv.push_back(requests[0].target);

    testing::ProgramRun isql_check;
    isql_check.program = isql.argv[0];
    isql_check.args.assign(isql.argv.begin() + 1, isql.argv.end());
    isql_check.input = testing::ReadFileBytes(query);
    isql_check.environment = machine.Environment();
    Expect("isql-fb", testing::RunProgram(isql_check).out, "12345678000190");

    // The client starts are not waited for by the tool: let them end, and
    // keep the service's script full.
    auto settle = [&machine] {
        machine.RefillService();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    };
    std::printf("\n== 2. Kind-0 run against isql-fb + curl (%d interleaved rounds, wall time)\n", rounds);
    const auto samples = bench::Interleave({run, isql, curl}, rounds, settle);
    std::vector<double> sums;
    for (std::size_t i = 0; i < samples[1].size(); ++i) sums.push_back(samples[1][i] + samples[2][i]);
    const bench::Stats tool_time = bench::Summarize(samples[0]);
    const bench::Stats sum_time = bench::Summarize(sums);
    bench::PrintStats(run.name, tool_time, kMs, "ms");
    bench::PrintStats(isql.name, bench::Summarize(samples[1]), kMs, "ms");
    bench::PrintStats(curl.name, bench::Summarize(samples[2]), kMs, "ms");
    bench::PrintStats("isql-fb + curl (each round)", sum_time, kMs, "ms");
    Ratio("kind 0 / (isql-fb + curl)", tool_time.median / sum_time.median, 0.8);

    std::printf("\n== 3b. Peak memory of the kind-0 run (/usr/bin/time -v, %d rounds)\n", 5);
    const auto peaks = bench::InterleavePeakRss({run, isql, curl}, 5, settle);
    const bench::Stats tool_peak = bench::Summarize(peaks[0]);
    const bench::Stats isql_peak = bench::Summarize(peaks[1]);
    bench::PrintStats(run.name, tool_peak, kMiB, "MiB");
    bench::PrintStats(isql.name, isql_peak, kMiB, "MiB");
    bench::PrintStats(curl.name, bench::Summarize(peaks[2]), kMiB, "MiB");
    Ratio("kind 0 peak / isql-fb peak", tool_peak.median / isql_peak.median, 1.1);
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
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: vantrel_bench_runs <tool> <stand-in client> [rounds]\n");
        return 2;
    }
    const int rounds = argc == 4 ? std::atoi(argv[3]) : 31;
    try {
        if (!bench::HaveGnuTime()) throw std::runtime_error("no /usr/bin/time (Debian package time)");
        // A kind-1 run costs a few milliseconds, and the figures are the
        // steadier for more of them.
        KindOne(argv[1], rounds * 5);
        KindZero(argv[1], argv[2], rounds);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
    std::printf("\n(runs: %d target(s) missed)\n", misses);
    return 0;
}
