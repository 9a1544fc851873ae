// Profile files on POSIX: a reader of the project's own that reads a file the way
// GetPrivateProfileStringW does, so that a BANCO.INI written for the Windows tool
// gives the same values here.
#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

#include "core/ascii.h"
#include "core/utf.h"
#include "platform/codeset_posix.h"
#include "platform/profiles.h"
#include "platform/profiles_posix.h"

namespace vantrel::platform {

namespace {

// Blanks around names and values: the C0 white space (tab to carriage return),
// Ctrl-Z (an old end-of-file mark) and the space.
constexpr std::string_view kBlanks = "\t\n\v\f\r\x1A ";

std::u16string_view TrimBlanks(std::u16string_view text) { return Trim(text, kBlanks); }

// Names and values are C strings to the Windows service: a NUL ends them.
std::u16string_view UpToNul(std::u16string_view text) { return text.substr(0, text.find(u'\0')); }

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // Closed on every way out, running out of memory included.
    struct Close {
        int fd;
        ~Close() { close(fd); }
    } closer{fd};
    char buffer[16384];
    bool ok = true;
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;  // a directory, for one
        if (n <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return ok;
}

// The file's text: UTF-8 or UTF-16 (either byte order) after a byte-order mark,
// else the locale's codeset, which stands in for the ANSI code page.
std::u16string DecodeProfile(std::string_view bytes) {
    auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    if (starts("\xEF\xBB\xBF")) return Utf8ToUtf16(bytes.substr(3));
    const bool little = starts("\xFF\xFE");
    if (little || starts("\xFE\xFF")) {
        std::u16string text;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            auto lo = static_cast<unsigned char>(bytes[little ? i : i + 1]);
            auto hi = static_cast<unsigned char>(bytes[little ? i + 1 : i]);
            text += static_cast<char16_t>(lo | hi << 8);
        }
        return text;
    }
    return posix::DecodeLocale(bytes);
}

// One line of the file, blanks trimmed: a section header, or a key with or
// without a value.
struct Line {
    bool header = false;
    std::u16string_view name;  // section or key name
    bool has_value = false;
    std::u16string_view value;
};

Line ParseLine(std::u16string_view text) {
    Line line;
    if (text.front() == u'[') {
        // The last ']' closes the name; without one the line is no header.
        std::size_t close = text.rfind(u']');
        if (close != 0 && close != std::u16string_view::npos) {
            line.header = true;
            line.name = UpToNul(TrimBlanks(text.substr(1, close - 1)));
            return line;
        }
    }
    std::size_t equals = text.find(u'=');
    if (equals == std::u16string_view::npos) {
        line.name = UpToNul(text);
        return line;
    }
    line.name = UpToNul(TrimBlanks(text.substr(0, equals)));
    line.has_value = true;
    line.value = UpToNul(TrimBlanks(text.substr(equals + 1)));
    return line;
}

// The value as the caller's buffer receives it: a value in one pair of matching
// quotes loses them, and the text is cut to what the buffer holds. The closing
// quote is dropped as the buffer's last character whenever the unquoted rest fits
// in the buffer, which costs a value of exactly kValueBuffer - 1 characters its
// last one (as the Windows service does it).
std::u16string CopyValue(std::u16string_view value) {
    constexpr std::size_t room = Profiles::kValueBuffer;
    bool quoted = false;
    if (value.size() > 1 && (value.front() == u'\'' || value.front() == u'"') &&
        value.back() == value.front()) {
        quoted = true;
        value.remove_prefix(1);
    }
    std::u16string copy(value.substr(0, room - 1));
    if (quoted && room >= value.size() && !copy.empty()) copy.pop_back();
    return copy;
}

class PosixProfiles : public Profiles {
public:
    std::u16string ReadString(const std::u16string& path, const std::u16string& section,
                              const std::u16string& key, const std::u16string& default_value) override {
        std::string bytes;
        if (!ReadWholeFile(posix::EncodeLocale(path), bytes)) {
            return default_value.substr(0, kValueBuffer - 1);
        }
        return posix::ProfileValue(bytes, section, key, default_value);
    }
};

}  // namespace

namespace posix {

std::u16string ProfileValue(std::string_view bytes, std::u16string_view section, std::u16string_view key,
                            const std::u16string& default_value) {
    std::u16string fallback = default_value.substr(0, Profiles::kValueBuffer - 1);
    const std::u16string text = DecodeProfile(bytes);
    const std::u16string_view wanted_section = TrimBlanks(section);
    const std::u16string_view wanted_key = TrimBlanks(key);

    // Keys before the first header belong to a section without a name. Only
    // the first section of the wanted name is searched.
    bool inside = EqualsIgnoringAsciiCase(u"", wanted_section);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of(u"\r\n", pos);
        if (end == std::u16string::npos) end = text.size();
        std::u16string_view raw = TrimBlanks(std::u16string_view(text).substr(pos, end - pos));
        pos = end + 1;
        if (raw.empty()) continue;
        Line line = ParseLine(raw);
        if (line.header) {
            if (inside) return fallback;  // the wanted section ended without the key
            inside = EqualsIgnoringAsciiCase(line.name, wanted_section);
            continue;
        }
        if (inside && EqualsIgnoringAsciiCase(line.name, wanted_key)) {
            return line.has_value ? CopyValue(line.value) : fallback;
        }
    }
    return fallback;
}

}  // namespace posix

Profiles& RealProfiles() {
    static PosixProfiles profiles;
    return profiles;
}

}  // namespace vantrel::platform
