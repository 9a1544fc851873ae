#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/codeset_posix.h"
#include "platform/trace_sink.h"

namespace vantrel::platform {

namespace {

class DescriptorSink : public trace::Sink {
public:
    DescriptorSink(int fd, bool owned) : fd_(fd), owned_(owned) {}
    ~DescriptorSink() override {
        if (owned_) close(fd_);
    }
    DescriptorSink(const DescriptorSink&) = delete;
    DescriptorSink& operator=(const DescriptorSink&) = delete;

    // One write for the whole line, so that lines of runs sharing a file do not
    // interleave; a failure is not reported (the trace never changes the run).
    void Write(std::string_view line) override {
        std::string bytes(line);
        bytes += '\n';
        const char* next = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            const ssize_t written = write(fd_, next, left);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return;
            next += written;
            left -= static_cast<std::size_t>(written);
        }
    }

private:
    int fd_;
    bool owned_;
};

}  // namespace

std::unique_ptr<trace::Sink> OpenTraceSink(const std::u16string& setting) {
    if (setting.empty()) return nullptr;
    if (setting == u"1") return std::make_unique<DescriptorSink>(STDERR_FILENO, false);
    // Close-on-exec: the programs the tool starts never inherit the trace file.
    const int fd =
        open(posix::EncodeLocale(setting).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    try {
        return std::make_unique<DescriptorSink>(fd, true);
    } catch (...) {
        close(fd);  // out of memory: the file does not stay open
        throw;
    }
}

}  // namespace vantrel::platform
