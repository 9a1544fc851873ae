// A stand-in for the RustDesk client and installer, for end-to-end tests.
//
// Every run appends one line to "<its own path>.log": its arguments after the
// program name, each in brackets, separated by blanks. Then:
//   --sleep-ms N       sleeps N milliseconds before it ends;
//   --ctrl-c           appends a second line, "ctrl-c reaches it" or "ctrl-c
//                      kept out": whether a Ctrl+C of the terminal it was
//                      started from reaches it. The terminal sends its SIGINT
//                      to the foreground process group, the starter's; a
//                      program that leads a group of its own is outside it;
//   --silent-install   with VANTREL_STAND_IN_INSTALL holding "client", copies
//                      itself to $ProgramW6432 (or $ProgramFiles)
//                      /RustDesk/rustdesk.exe; holding "service", leaves a
//                      process named "RustDesk" behind for at most 60 s, its id
//                      in "<its own path>.service".
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

std::string OwnPath() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

bool Holds(const char* variable, const char* word) {
    const char* value = std::getenv(variable);
    return value != nullptr && std::strstr(value, word) != nullptr;
}

void InstallClient(const std::string& self) {
    const char* base = std::getenv("ProgramW6432");
    if (base == nullptr || *base == '\0') base = std::getenv("ProgramFiles");
    if (base == nullptr) return;
    std::string dir = std::string(base) + "/RustDesk";
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    std::string target = dir + "/rustdesk.exe";
    {
        std::ifstream in(self, std::ios::binary);
        std::ofstream out(target, std::ios::binary);
        out << in.rdbuf();
    }
    chmod(target.c_str(), 0755);
}

void StartService(const std::string& self) {
    pid_t pid = fork();
    if (pid != 0) return;
    setsid();
    // Nothing of the caller's pipes stays open in the long-lived process.
    int null = open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd) dup2(null, fd);
    prctl(PR_SET_NAME, "RustDesk", 0, 0, 0);
    { std::ofstream(self + ".service") << getpid() << "\n"; }
    std::this_thread::sleep_for(std::chrono::seconds(60));
    _exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string self = OwnPath();
    std::string line;
    for (int i = 1; i < argc; ++i) line += std::string(i > 1 ? " [" : "[") + argv[i] + "]";
    { std::ofstream(self + ".log", std::ios::app) << line << "\n"; }
    if (argc > 2 && std::strcmp(argv[1], "--sleep-ms") == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
    }
    if (argc > 1 && std::strcmp(argv[1], "--ctrl-c") == 0) {
        std::ofstream(self + ".log", std::ios::app)
            << (getpgrp() == getpid() ? "ctrl-c kept out\n" : "ctrl-c reaches it\n");
    }
    if (argc > 1 && std::strcmp(argv[1], "--silent-install") == 0) {
        if (Holds("VANTREL_STAND_IN_INSTALL", "client")) InstallClient(self);
        if (Holds("VANTREL_STAND_IN_INSTALL", "service")) StartService(self);
    }
    return 0;
}
