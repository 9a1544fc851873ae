// The demo run: one provisioning request to the built tool on a machine set up
// for it, and what came of it.
//
//   vantrel_demo <tool> <stand-in client>
//
// Sets up, in a fresh temporary folder: an ERP database created through
// Firebird's embedded engine, whose company tax id is stored with punctuation;
// BANCO.INI naming it; a local access-key service (reached through the proxy
// setting) that answers with a key and records what it was asked; a stand-in
// RustDesk client installed where "ProgramW6432" points, which records how it
// is started. Runs the tool once with no arguments, shows the result, the log
// line, the request that reached the service and the command lines the client
// received, then removes everything it made. Nothing it started stays running.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "company/firebird_fixture.h"
#include "testing/key_service.h"
#include "testing/run_program.h"

namespace {

namespace fs = std::filesystem;
using namespace vantrel;

std::string ReadAll(const std::string& path) {
    return testing::FileExists(path) ? testing::ReadFileBytes(path) : std::string("(nothing)\n");
}

int Demo(const std::string& tool, const std::string& stand_in) {
    testing::TempDir dir;
    const std::string work = dir.File("work");
    const std::string programs = dir.File("Program Files");
    const std::string client = programs + "/RustDesk/rustdesk.exe";
    fs::create_directories(work);
    fs::create_directories(fs::path(client).parent_path());
    fs::copy_file(stand_in, client);

    std::cout << "== Setting up in " << dir.path() << "\n";
    company::testing::FirebirdHome home;
    const std::string base =
        home.CreateDatabase("erp.fdb", {.rows = {"'12.345.678/0001-90'"}});
    std::cout << "ERP database " << base << ", company tax id stored as 12.345.678/0001-90\n";
    testing::WriteFileBytes(work + "/BANCO.INI", "[CONFIG]\r\nBASE=" + base + "\r\nUSER=SYSDBA\r\n");
    testing::KeyService service(R"({"token":"DemoKey-0123456789abcdef"})");
    std::cout << "Access-key service on a local port, answering with the key DemoKey-0123456789abcdef\n";
    std::cout << "Stand-in RustDesk client installed at " << client << "\n\n";

    testing::ProgramRun run;
    run.program = tool;
    run.directory = work;
    run.environment = home.Environment();
    for (auto& variable : service.Environment()) run.environment.push_back(variable);
    run.environment.push_back({"ProgramW6432", programs});
    run.detach_terminal = true;
    run.timeout_ms = 60000;
    std::cout << "== Running " << tool << " (no arguments: provisioning request), in " << work << "\n";
    testing::ProgramResult result = testing::RunProgram(run);

    std::cout << "\n== Result document (standard output, exit code " << result.exit_code << ")\n"
              << result.out << "\n";
    if (!result.err.empty()) std::cout << "\n== Standard error\n" << result.err;
    std::cout << "\n== Log line (" << work << "/LogVantrel.txt)\n" << ReadAll(work + "/LogVantrel.txt");

    std::cout << "\n== Request that reached the access-key service\n";
    for (const auto& request : service.Requests()) {
        std::cout << request.method << " " << request.target << "\n";
    }

    // The two client starts run side by side: give them a moment to record.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string received;
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        received = ReadAll(client + ".log");
    } while (std::count(received.begin(), received.end(), '\n') < 2 && std::chrono::steady_clock::now() < end);
    std::cout << "\n== What the RustDesk client received (its arguments, one start per line)\n";
    std::istringstream lines(received);
    for (std::string line; std::getline(lines, line);) {
        std::cout << (line.empty() ? "(no arguments: the plain client start)" : line) << "\n";
    }
    std::cout << "\n== Done; removing " << dir.path() << "\n";
    return result.exit_code == 0 && result.out.find("\"Sucesso\"") != std::string::npos ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vantrel_demo <tool> <stand-in client>\n");
        return 2;
    }
    try {
        return Demo(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "demo failed: %s\n", e.what());
        return 1;
    }
}
