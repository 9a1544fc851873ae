#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/codeset_posix.h"
#include "platform/console.h"
#include "core/utf.h"

namespace vantrel::platform {

namespace {

// The one 8-bit encoding of the POSIX port; its number only labels streams.
constexpr CodePage kLocaleCodeset = 0;

class FdReader : public ByteReader {
public:
    FdReader(int fd, bool owned) : fd_(fd), owned_(owned) {}
    ~FdReader() override {
        if (owned_) close(fd_);
    }
    FdReader(const FdReader&) = delete;
    FdReader& operator=(const FdReader&) = delete;

    ReadResult Read(char* buffer, std::size_t size) override {
        for (;;) {
            ssize_t n = read(fd_, buffer, size);
            if (n > 0) return {ReadResult::Status::Data, static_cast<std::size_t>(n), 0};
            if (n == 0) return {ReadResult::Status::End, 0, 0};
            if (errno == EINTR) continue;
            if (errno == EPIPE) return {ReadResult::Status::BrokenPipe, 0, 0};
            return {ReadResult::Status::Error, 0, posix::WindowsError(errno)};
        }
    }

private:
    int fd_;
    bool owned_;
};

class FdWriter : public ByteWriter {
public:
    explicit FdWriter(int fd) : fd_(fd) {}
    bool Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            ssize_t n = write(fd_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

private:
    int fd_;
};

bool Usable(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0;
}

class PosixConsole : public Console {
public:
    // A closed reader of standard output must give a failed write, not a killed
    // process; the console exists from the start of the run.
    PosixConsole() { std::signal(SIGPIPE, SIG_IGN); }

    OpenedStream OpenStandardInput() override {
        OpenedStream s;
        if (!Usable(STDIN_FILENO)) {
            s.error = posix::WindowsError(EBADF);
            return s;
        }
        s.reader = std::make_unique<FdReader>(STDIN_FILENO, false);
        s.code_page = kLocaleCodeset;
        return s;
    }

    OpenedStream OpenStandardOutput() override {
        OpenedStream s;
        if (!Usable(STDOUT_FILENO)) {
            s.error = posix::WindowsError(EBADF);
            return s;
        }
        s.writer = std::make_unique<FdWriter>(STDOUT_FILENO);
        s.code_page = kLocaleCodeset;
        return s;
    }
};

}  // namespace

Console& RealConsole() {
    static PosixConsole console;
    return console;
}

}  // namespace vantrel::platform
