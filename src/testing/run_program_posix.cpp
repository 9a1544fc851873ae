#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testing/run_program.h"

namespace vantrel::testing {

namespace {

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

}  // namespace

ProgramResult RunProgram(const ProgramRun& run) {
    // Close-on-exec: a child that another thread starts at the same moment must
    // not keep this child's pipes open (its standard input would never end).
    int in[2], out[2], err[2];
    Check(pipe2(in, O_CLOEXEC) == 0 && pipe2(out, O_CLOEXEC) == 0 && pipe2(err, O_CLOEXEC) == 0, "pipe");
    pid_t pid = fork();
    Check(pid >= 0, "fork");
    if (pid == 0) {
        if (run.detach_terminal && setsid() < 0) _exit(127);
        if (!run.directory.empty() && chdir(run.directory.c_str()) != 0) _exit(127);
        if (run.input_path) {
            int fd = open(run.input_path->c_str(), O_RDONLY);
            if (fd < 0 || dup2(fd, 0) < 0) _exit(127);
            close(fd);
        } else if (run.input) {
            dup2(in[0], 0);
        } else {
            close(0);
        }
        if (run.close_output)
            close(1);
        else
            dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        for (const auto& [name, value] : run.environment) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(run.program.c_str()));
        for (const auto& a : run.args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        signal(SIGPIPE, SIG_DFL);
        if (run.file_size_limit) {
            // A write past the limit then fails with EFBIG instead of ending the
            // process.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{*run.file_size_limit, *run.file_size_limit};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
        }
        if (run.address_space_limit) {
            const rlimit limit{*run.address_space_limit, *run.address_space_limit};
            if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(127);
        }
        execv(run.program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);

    // Feed the input and drain both outputs together, so neither side blocks.
    std::string input = run.input.value_or("");
    std::size_t sent = 0;
    int to_child = in[1];
    if (input.empty()) {
        close(to_child);
        to_child = -1;
    } else {
        fcntl(to_child, F_SETFL, O_NONBLOCK);
    }
    ProgramResult result;
    int open_outputs = 2;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(run.timeout_ms);
    while (open_outputs > 0 || to_child >= 0) {
        pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {to_child, POLLOUT, 0}};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (!result.timed_out && left.count() <= 0) {
            // Too long: kill it; its outputs close when it is gone.
            result.timed_out = true;
            kill(pid, SIGKILL);
            if (to_child >= 0) close(to_child);
            to_child = -1;
        }
        if (result.timed_out && left.count() < -5000) {
            // Something it started still holds the outputs open.
            for (int* fd : {&out[0], &err[0]}) {
                if (*fd >= 0) close(*fd);
                *fd = -1;
            }
            break;
        }
        const int wait_ms =
            result.timed_out ? 1000 : static_cast<int>(std::min<long long>(left.count(), 1000));
        Check(poll(fds, 3, wait_ms) >= 0 || errno == EINTR, "poll");
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
                char buffer[4096];
                ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n > 0) {
                    (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
                } else {
                    close(fds[i].fd);
                    (i == 0 ? out[0] : err[0]) = -1;
                    --open_outputs;
                }
            }
        }
        if (to_child >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t n = write(to_child, input.data() + sent, input.size() - sent);
            if (n > 0) sent += static_cast<std::size_t>(n);
            if (n < 0 || sent == input.size()) {
                close(to_child);
                to_child = -1;
            }
        }
    }
    int status = 0;
    Check(waitpid(pid, &status, 0) == pid, "waitpid");
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

bool FileSizeLimitAvailable() { return true; }

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-test-XXXXXX").string();
    Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const { return path_ + "/" + name; }

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool FileExists(const std::string& path) { return std::filesystem::is_regular_file(path); }

HeldFile::HeldFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    Check(fd >= 0, "open");
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    Check(fcntl(fd, F_SETLK, &lock) == 0, "fcntl");
    handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(fd));
}

HeldFile::~HeldFile() { close(static_cast<int>(reinterpret_cast<std::intptr_t>(handle_))); }

}  // namespace vantrel::testing
