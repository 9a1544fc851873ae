// The error box on POSIX: the controlling terminal stands in for the modal box.
#include <cerrno>
#include <cwctype>
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

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }

class PosixErrorBox : public ErrorBox {
public:
    void Show(const std::u16string& caption, const std::u16string& text) override {
        const std::string message = posix::EncodeLocale(caption + u"\n" + UnixLines(text) + u"\n");
        int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (tty < 0) {
            WriteAll(STDERR_FILENO, message);
            return;
        }
        WriteAll(tty, "\n" + message + "[OK] Press Enter to continue.");
        WaitForEnter(tty);
        close(tty);
    }

    std::u16string LowerAfterFirst(std::u16string_view name) override {
        std::u16string out(name);
        std::size_t first = out.size() >= 2 && IsSurrogate(out[0]) && IsSurrogate(out[1]) ? 2 : 1;
        for (std::size_t i = first; i < out.size(); ++i) {
            if (IsSurrogate(out[i])) continue;  // halves of pairs stay
            wint_t lower = std::towlower(static_cast<wint_t>(out[i]));
            if (lower <= 0xFFFF && !IsSurrogate(static_cast<char16_t>(lower))) {
                out[i] = static_cast<char16_t>(lower);
            }
        }
        return out;
    }
};

}  // namespace

ErrorBox& RealErrorBox() {
    static PosixErrorBox box;
    return box;
}

}  // namespace vantrel::platform
