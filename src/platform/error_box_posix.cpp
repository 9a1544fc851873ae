// The error box on POSIX: the controlling terminal stands in for the modal box.
#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

#include "platform/codeset_posix.h"
#include "platform/error_box.h"

namespace vantrel::platform {

namespace {

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

// The text's CR LF line breaks as the terminal's LF.
std::u16string UnixLines(std::u16string text) {
    for (std::size_t at = text.find(u"\r\n"); at != std::u16string::npos; at = text.find(u"\r\n", at)) {
        text.erase(at, 1);
    }
    return text;
}

// Waits for the end of a line typed on `fd` (or for the terminal to go away).
void WaitForEnter(int fd) {
    for (;;) {
        char c = 0;
        ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || c == '\n' || c == '\r') return;
    }
}

class PosixErrorBox : public ErrorBox {
public:
    void Show(const std::u16string& caption, const std::u16string& text) override {
        const std::string message = posix::EncodeLocale(caption + u"\n" + UnixLines(text) + u"\n");
        // Made before the terminal is opened: nothing after the open allocates.
        const std::string on_terminal = "\n" + message + "[OK] Press Enter to continue.";
        int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (tty < 0) {
            WriteAll(STDERR_FILENO, message);
            return;
        }
        WriteAll(tty, on_terminal);
        WaitForEnter(tty);
        close(tty);
    }
};

}  // namespace

ErrorBox& RealErrorBox() {
    static PosixErrorBox box;
    return box;
}

}  // namespace vantrel::platform
