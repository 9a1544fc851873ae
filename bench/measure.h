// Measuring programs for the benchmarks: one run of a program (wall time and
// peak resident memory), candidates run side by side in interleaved rounds,
// and the summary lines every benchmark prints.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vantrel::bench {

// A program to run: arguments (the program first), its whole environment
// ("NAME=value"), its working directory and the file on its standard input.
// Standard output and standard error go to /dev/null.
struct Command {
    std::string name;  // as printed
    std::vector<std::string> argv;
    std::vector<std::string> environment;
    std::string directory;
    std::string input = "/dev/null";
};

// The environment of this process with `changes` ("NAME=value") set over it.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& changes);

// Runs `command` once and waits for it: wall seconds from start to end. Fails
// (std::runtime_error) when it cannot start or ends with a non-zero status.
double TimeRun(const Command& command);

struct Times {
    double wall = 0;  // seconds from start to end
    double cpu = 0;   // user and system seconds of the process and the children it waited for
};
// Runs `command` once, as TimeRun, and gives its CPU time too.
Times TimeRunWithCpu(const Command& command);

// Peak resident set size of one run of `command` in KiB, as GNU time reports it
// ("Maximum resident set size" of /usr/bin/time -v).
long PeakRssKiB(const Command& command);

// Whether /usr/bin/time is there to measure memory.
bool HaveGnuTime();

struct Stats {
    double median = 0;
    double min = 0;
    double max = 0;
};
Stats Summarize(std::vector<double> samples);

// Runs the commands in `rounds` rounds, each command once a round, the order
// rotating from round to round so that none always goes first; gives each
// command's samples (seconds). `between` runs after every single run.
std::vector<std::vector<double>> Interleave(const std::vector<Command>& commands, int rounds,
                                            const std::function<void()>& between = {});
// The same with peak memory (KiB) in place of time.
std::vector<std::vector<double>> InterleavePeakRss(const std::vector<Command>& commands, int rounds,
                                                   const std::function<void()>& between = {});

// "  <name>  median X unit (min A, max B)", with `scale` applied to the samples.
void PrintStats(const std::string& name, const Stats& stats, double scale, const char* unit);
// "  ratio R (target <= T) PASS|MISS"; true on PASS.
bool PrintRatio(const std::string& what, double ratio, double target);
// "  <what>  V unit  target <= L unit  PASS|MISS"; true on PASS.
bool PrintLimit(const std::string& what, double value, double limit, const char* unit);

}  // namespace vantrel::bench
