// Start-up of the Windows executable under Wine, against two empty console
// programs built with the same toolchain that print the same text:
//
//   vantrel_bench_wine <prefix> <rounds> <vantrel.exe> <empty.exe> <empty-imports.exe> [other.exe ...]
//
// Each program gets a kind-1 request ("x", the request on standard input) in
// the Wine prefix <prefix> (made when missing), warmed by one persistent
// wineserver (wineserver -p) that is ended afterwards. The runs are
// interleaved, the order rotating from round to round; wall time and CPU time
// (user and system time of the Wine process) are medians with min and max.
// Targets: vantrel.exe at most 1.1 times the program that imports shell32 and
// user32, in CPU time and in wall time; the ratios against the bare program,
// and those of any further programs, are information.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "measure.h"
#include "testing/run_program.h"

namespace {

using namespace vantrel;
using bench::Command;

constexpr char kWine[] = "/usr/bin/wine";
constexpr char kWineServer[] = "/usr/bin/wineserver";
constexpr char kOutput[] = R"({"log":[],"Msg":"Sucesso"})";

std::vector<std::pair<std::string, std::string>> WineVariables(const std::string& prefix) {
    return {{"WINEPREFIX", prefix}, {"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", "mscoree,mshtml="}};
}

std::vector<std::string> Joined(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::vector<std::string> out;
    for (const auto& [name, value] : pairs) out.push_back(name + "=" + value);
    return out;
}

// One persistent wineserver for the prefix while the object lives.
class WarmPrefix {
public:
    explicit WarmPrefix(const std::string& prefix)
        : environment_(bench::EnvironmentWith(Joined(WineVariables(prefix)))) {
        if (!testing::FileExists(prefix + "/system.reg")) {
            std::printf("  (making the Wine prefix %s)\n", prefix.c_str());
            bench::TimeRun({"wineboot", {"/usr/bin/wineboot", "-i"}, environment_, ""});
            bench::TimeRun({"wineserver -w", {kWineServer, "-w"}, environment_, ""});
        }
        bench::TimeRun({"wineserver -p", {kWineServer, "-p"}, environment_, ""});
    }
    ~WarmPrefix() {
        try {
            bench::TimeRun({"wineserver -k", {kWineServer, "-k"}, environment_, ""});
        } catch (const std::exception&) {
        }
    }
    WarmPrefix(const WarmPrefix&) = delete;
    WarmPrefix& operator=(const WarmPrefix&) = delete;

    const std::vector<std::string>& environment() const { return environment_; }

private:
    std::vector<std::string> environment_;
};

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

int misses = 0;

void Ratio(const std::string& what, double ratio, double target) {
    if (!bench::PrintRatio(what, ratio, target)) ++misses;
}

void Information(const std::string& what, double ratio) {
    std::printf("  %-34s ratio %6.2f\n", what.c_str(), ratio);
}

int Bench(const std::string& prefix, int rounds, const std::vector<std::string>& programs) {
    testing::TempDir scratch;
    const std::string request = scratch.File("request.json");
    testing::WriteFileBytes(request, "{\"solicitacao\":1}\n");
    WarmPrefix warm(prefix);

    const char* const names[] = {"vantrel.exe", "empty, bare", "empty, shell32 + user32"};
    std::vector<Command> commands;
    for (const std::string& program : programs) {
        const std::string name = commands.size() < 3 ? names[commands.size()] : BaseName(program);
        commands.push_back({name, {kWine, program, "x"}, warm.environment(), scratch.path(), request});
        // A check, which also warms the prefix's caches for the program.
        testing::ProgramRun check;
        check.program = kWine;
        check.args = {program, "x"};
        check.input = "{\"solicitacao\":1}\n";
        check.directory = scratch.path();
        check.environment = WineVariables(prefix);
        const testing::ProgramResult result = testing::RunProgram(check);
        if (result.exit_code != 0 || result.out != kOutput) {
            throw std::runtime_error(program + " printed \"" + result.out + "\" (exit " +
                                     std::to_string(result.exit_code) + ")");
        }
    }

    std::printf("\n== 6. Start-up under Wine, kind-1 run against empty programs (%d interleaved rounds)\n",
                rounds);
    std::vector<std::vector<double>> wall(commands.size()), cpu(commands.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t k = 0; k < commands.size(); ++k) {
            const std::size_t i = (k + static_cast<std::size_t>(round)) % commands.size();
            const bench::Times t = bench::TimeRunWithCpu(commands[i]);
            wall[i].push_back(t.wall);
            cpu[i].push_back(t.cpu);
        }
    }
    std::vector<bench::Stats> walls, cpus;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        walls.push_back(bench::Summarize(wall[i]));
        cpus.push_back(bench::Summarize(cpu[i]));
        bench::PrintStats(commands[i].name + ", wall", walls[i], 1e3, "ms");
        bench::PrintStats(commands[i].name + ", CPU", cpus[i], 1e3, "ms");
    }
    Ratio("vantrel.exe / shell32+user32, CPU", cpus[0].median / cpus[2].median, 1.1);
    Ratio("vantrel.exe / shell32+user32, wall", walls[0].median / walls[2].median, 1.1);
    Information("vantrel.exe / bare, CPU", cpus[0].median / cpus[1].median);
    Information("vantrel.exe / bare, wall", walls[0].median / walls[1].median);
    Information("shell32+user32 / bare, CPU", cpus[2].median / cpus[1].median);
    for (std::size_t i = 3; i < commands.size(); ++i) {
        Information(commands[i].name + " / shell32+user32, CPU", cpus[i].median / cpus[2].median);
        Information(commands[i].name + " / shell32+user32, wall", walls[i].median / walls[2].median);
        Information(commands[i].name + " / bare, CPU", cpus[i].median / cpus[1].median);
    }
    std::printf("\n(Wine start-up: %d target(s) missed)\n", misses);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(
            stderr,
            "usage: vantrel_bench_wine <prefix> <rounds> <vantrel.exe> <empty.exe> <empty-imports.exe> "
            "[other.exe ...]\n");
        return 2;
    }
    try {
        return Bench(argv[1], std::atoi(argv[2]), std::vector<std::string>(argv + 3, argv + argc));
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 1;
    }
}
