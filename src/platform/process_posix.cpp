#include <fstream>
#include <iterator>
#include <limits.h>
#include <unistd.h>

#include "platform/codeset_posix.h"
#include "platform/process.h"

namespace vantrel::platform {

namespace {

class PosixProcess : public Process {
public:
    std::vector<std::u16string> Arguments() override {
        std::ifstream in("/proc/self/cmdline", std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::u16string> args;
        std::size_t start = 0;
        bool first = true;
        while (start < all.size()) {
            std::size_t end = all.find('\0', start);
            if (end == std::string::npos) end = all.size();
            if (!first) args.push_back(posix::DecodeLocale(std::string_view(all).substr(start, end - start)));
            first = false;
            start = end + 1;
        }
        return args;
    }

    std::u16string ExecutablePath() override {
        char buffer[PATH_MAX];
        ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
        if (n <= 0) return {};
        return posix::DecodeLocale(std::string_view(buffer, static_cast<std::size_t>(n)));
    }

    std::u16string CurrentDirectory() override {
        char buffer[PATH_MAX];
        if (getcwd(buffer, sizeof buffer) == nullptr) return {};
        return posix::DecodeLocale(buffer);
    }

    char16_t PathSeparator() const override { return u'/'; }
};

}  // namespace

Process& RealProcess() {
    static PosixProcess process;
    return process;
}

}  // namespace vantrel::platform
