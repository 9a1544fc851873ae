// Runs a built program as a child process, for end-to-end tests: arguments,
// standard input bytes, a working directory and extra environment in; exit code,
// standard output and standard error bytes out.
#pragma once

#include "testing/test_only.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantrel::testing {

struct ProgramRun {
    std::string program;               // path as the build gives it
    std::vector<std::string> args;     // UTF-8
    std::optional<std::string> input;  // nullopt: standard input is closed
    // When set, standard input is this file or directory, opened for reading,
    // in place of `input`.
    std::optional<std::string> input_path;
    std::string directory;  // working directory; empty: the current one
    std::vector<std::pair<std::string, std::string>> environment;  // added or replaced
    bool close_output = false;                                     // standard output is closed
    // The child is killed when it runs longer than this; the result then says
    // timed_out.
    int timeout_ms = 120000;
    // POSIX: the child starts a session of its own, without the caller's
    // controlling terminal.
    bool detach_terminal = false;
    // When set, the largest file the child may write, in bytes: a write that
    // would go past it fails as on a full disk. Under Wine the program is
    // started by the wine launcher from a Unix shell that sets the limit, which
    // the Windows process inherits; its exit code is then unknown (-1).
    std::optional<unsigned long long> file_size_limit;
    // POSIX: when set, the most address space the child may use, in bytes, so
    // that an allocation past it fails (as `prlimit --as` sets it). Not for
    // programs built with AddressSanitizer, which reserve far more at start.
    std::optional<unsigned long long> address_space_limit;
};

// True where RunProgram can put a file-size limit on the child: POSIX, and
// Windows programs run under Wine.
bool FileSizeLimitAvailable();

struct ProgramResult {
    int exit_code = -1;
    std::string out;
    std::string err;
    bool timed_out = false;
};

ProgramResult RunProgram(const ProgramRun& run);

// A fresh, empty directory for one test; removed with its content on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // `name` inside the directory.
    std::string File(const std::string& name) const;

private:
    std::string path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// Holds a file open the way another program writing it would: other processes
// cannot open it for writing (POSIX: an exclusive fcntl lock) until destruction.
class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

private:
    void* handle_;
};

}  // namespace vantrel::testing
