// The demo run: one provisioning request to the built tool on a machine set up
// for it, and what came of it.
//
//   vantrel_demo <tool> <stand-in client> [A|B|C]
//
// The letter picks what the PC holds: A (the default) the installed client; B
// no client, but the installer beside the tool, which installs the client and
// brings its service up; C neither. With VANTREL_TRACE set in the environment
// the tool's support trace is shown with the rest.
//
// Sets up a machine for it (see demo/machine.h: an ERP database, BANCO.INI, a
// local access-key service and a stand-in RustDesk client). Runs the tool once with no arguments, shows the
// result, the log line, the request that reached the service and the command lines the client received, then
// removes everything it made. Nothing it started stays running.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "demo/machine.h"
#include "testing/run_program.h"

namespace {

using namespace vantrel;
using demo::DemoMachine;

std::string ReadAll(const std::string& path) {
    return testing::FileExists(path) ? testing::ReadFileBytes(path) : std::string("(nothing)\n");
}

int Demo(const std::string& built_tool, const std::string& stand_in, char branch) {
    namespace fs = std::filesystem;
    DemoMachine machine(stand_in);
    const std::string& work = machine.work();
    const std::string& client = machine.client();
    std::cout << "== Setting up in " << machine.folder() << "\n";
    std::cout << "ERP database " << machine.database() << ", company tax id stored as "
              << DemoMachine::kStoredTaxId << "\n";
    std::cout << "Access-key service on a local port, answering with the key " << DemoMachine::kKey << "\n";
    std::string tool = built_tool;
    const std::string installer = machine.folder() + "/app/rustdesk.exe";
    if (branch == 'A') {
        std::cout << "Stand-in RustDesk client installed at " << client << "\n\n";
    } else {
        // A copy of the tool in a folder of its own, with the installer beside it or not.
        fs::remove(client);
        tool = machine.folder() + "/app/vantrel";
        fs::create_directories(machine.folder() + "/app");
        fs::copy_file(built_tool, tool);
        std::cout << "No RustDesk client at " << client << "\n";
        if (branch == 'B') {
            fs::copy_file(stand_in, installer);
            std::cout << "Stand-in RustDesk installer beside the tool at " << installer << "\n";
        }
        std::cout << "\n";
    }

    testing::ProgramRun run;
    run.program = tool;
    run.directory = work;
    run.environment = machine.Environment();
    if (branch == 'B') run.environment.push_back({"VANTREL_STAND_IN_INSTALL", "client+service"});
    run.detach_terminal = true;
    run.timeout_ms = 60000;
    std::cout << "== Running " << tool << " (no arguments: provisioning request), in " << work << "\n";
    testing::ProgramResult result = testing::RunProgram(run);

    std::cout << "\n== Result document (standard output, exit code " << result.exit_code << ")\n"
              << result.out << "\n";
    if (!result.err.empty()) std::cout << "\n== Standard error\n" << result.err;
    std::cout << "\n== Log line (" << work << "/LogVantrel.txt)\n" << ReadAll(work + "/LogVantrel.txt");

    std::cout << "\n== Request that reached the access-key service\n";
    for (const auto& request : machine.service().Requests()) {
        std::cout << request.method << " " << request.target << "\n";
    }

    // The two client starts run side by side: give them a moment to record.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string received;
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        received = ReadAll(client + ".log");
    } while (std::count(received.begin(), received.end(), '\n') < 2 &&
             std::chrono::steady_clock::now() < end);
    std::cout << "\n== What the RustDesk client received (its arguments, one start per line)\n";
    std::istringstream lines(received);
    for (std::string line; std::getline(lines, line);) {
        std::cout << (line.empty() ? "(no arguments: the plain client start)" : line) << "\n";
    }
    // The service the stand-in installer left running.
    std::ifstream service(installer + ".service");
    if (long pid = 0; service >> pid && pid > 0) kill(static_cast<pid_t>(pid), SIGKILL);
    std::cout << "\n== Done; removing " << machine.folder() << "\n";
    return result.exit_code == 0 && result.out.find("\"Sucesso\"") != std::string::npos ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string branch = argc == 4 ? argv[3] : "A";
    if ((argc != 3 && argc != 4) || (branch != "A" && branch != "B" && branch != "C")) {
        std::fprintf(stderr, "usage: vantrel_demo <tool> <stand-in client> [A|B|C]\n");
        return 2;
    }
    try {
        return Demo(argv[1], argv[2], branch[0]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "demo failed: %s\n", e.what());
        return 1;
    }
}
