#include "measure.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace vantrel::bench {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts `argv` as `command` says and waits for it; the exit status, and the
// child's resource use in `usage` when given.
int Spawn(const Command& command, std::vector<std::string> argv, rusage* usage = nullptr) {
    std::vector<std::string> environment = command.environment;
    std::vector<char*> args = Pointers(argv);
    std::vector<char*> env = Pointers(environment);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, command.input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!command.directory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, command.directory.c_str());
    }
    pid_t pid = 0;
    int failed = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(failed));
    }
    int status = 0;
    rusage ignored{};
    while (wait4(pid, &status, 0, usage != nullptr ? usage : &ignored) < 0) {
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void Check(const Command& command, int status) {
    if (status != 0) {
        throw std::runtime_error(command.name + " ended with status " + std::to_string(status));
    }
}

}  // namespace

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& changes) {
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
    for (const std::string& change : changes) {
        const std::string name = change.substr(0, change.find('=') + 1);
        std::erase_if(environment, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
        environment.push_back(change);
    }
    return environment;
}

double TimeRun(const Command& command) {
    const auto start = std::chrono::steady_clock::now();
    const int status = Spawn(command, command.argv);
    const auto end = std::chrono::steady_clock::now();
    Check(command, status);
    return std::chrono::duration<double>(end - start).count();
}

Times TimeRunWithCpu(const Command& command) {
    rusage usage{};
    const auto start = std::chrono::steady_clock::now();
    const int status = Spawn(command, command.argv, &usage);
    const auto end = std::chrono::steady_clock::now();
    Check(command, status);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return {std::chrono::duration<double>(end - start).count(),
            seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

bool HaveGnuTime() { return access("/usr/bin/time", X_OK) == 0; }

long PeakRssKiB(const Command& command) {
    char report[] = "/tmp/vantrel-bench-time-XXXXXX";
    const int fd = mkstemp(report);
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    close(fd);
    std::vector<std::string> argv = {"/usr/bin/time", "-v", "-o", report};
    argv.insert(argv.end(), command.argv.begin(), command.argv.end());
    const int status = Spawn(command, argv);
    std::ifstream in(report);
    std::string line;
    long kib = -1;
    const std::string key = "Maximum resident set size (kbytes):";
    while (std::getline(in, line)) {
        const std::size_t at = line.find(key);
        if (at != std::string::npos) kib = std::atol(line.c_str() + at + key.size());
    }
    std::remove(report);
    Check(command, status);
    if (kib < 0) throw std::runtime_error("no peak memory in the report of /usr/bin/time");
    return kib;
}

Stats Summarize(std::vector<double> samples) {
    if (samples.empty()) return {};
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    const double median = n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    return {median, samples.front(), samples.back()};
}

namespace {

template <typename Measure>
std::vector<std::vector<double>> Rounds(const std::vector<Command>& commands, int rounds,
                                        const std::function<void()>& between, Measure measure) {
    std::vector<std::vector<double>> samples(commands.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t k = 0; k < commands.size(); ++k) {
            const std::size_t i = (k + static_cast<std::size_t>(round)) % commands.size();
            samples[i].push_back(measure(commands[i]));
            if (between) between();
        }
    }
    return samples;
}

}  // namespace

std::vector<std::vector<double>> Interleave(const std::vector<Command>& commands, int rounds,
                                            const std::function<void()>& between) {
    return Rounds(commands, rounds, between, TimeRun);
}

std::vector<std::vector<double>> InterleavePeakRss(const std::vector<Command>& commands, int rounds,
                                                   const std::function<void()>& between) {
    return Rounds(commands, rounds, between,
                  [](const Command& c) { return static_cast<double>(PeakRssKiB(c)); });
}

void PrintStats(const std::string& name, const Stats& stats, double scale, const char* unit) {
    std::printf("  %-34s median %9.2f %s  (min %.2f, max %.2f)\n", name.c_str(), stats.median * scale, unit,
                stats.min * scale, stats.max * scale);
}

bool PrintRatio(const std::string& what, double ratio, double target) {
    const bool pass = ratio <= target;
    std::printf("  %-34s ratio %6.2f  target <= %.2f  %s\n", what.c_str(), ratio, target,
                pass ? "PASS" : "MISS");
    return pass;
}

bool PrintLimit(const std::string& what, double value, double limit, const char* unit) {
    const bool pass = value <= limit;
    std::printf("  %-34s %6.2f %s  target <= %.2f %s  %s\n", what.c_str(), value, unit, limit, unit,
                pass ? "PASS" : "MISS");
    return pass;
}

}  // namespace vantrel::bench
