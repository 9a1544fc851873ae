#include "platform/codeset_posix.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>

#include "core/utf.h"

namespace vantrel::platform::posix {

namespace {

bool LocaleIsUtf8() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

// Converts with iconv; on a sequence it cannot convert, writes `replacement`
// (already in the target encoding) and skips `skip` input bytes.
std::string Convert(const char* to, const char* from, std::string_view in, std::string_view replacement,
                    std::size_t skip) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    // Closed on every way out, running out of memory included.
    struct Close {
        iconv_t cd;
        ~Close() { iconv_close(cd); }
    } closer{cd};
    std::string out;
    char buffer[1024];
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    while (left > 0) {
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        std::size_t rc = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // EILSEQ or EINVAL (truncated at the end): replace and go on.
            out.append(replacement);
            std::size_t n = skip < left ? skip : left;
            if (skip == 0) {
                // Skip one whole UTF-8 character of the input.
                n = 1;
                while (n < left && (static_cast<unsigned char>(src[n]) & 0xC0) == 0x80) ++n;
            }
            src += n;
            left -= n;
        }
    }
    return out;
}

}  // namespace

std::u16string DecodeLocale(std::string_view bytes) {
    if (LocaleIsUtf8()) return Utf8ToUtf16(bytes);
    return Utf8ToUtf16(Convert("UTF-8", nl_langinfo(CODESET), bytes, "\xEF\xBF\xBD", 1));
}

std::string EncodeLocale(std::u16string_view text) {
    if (LocaleIsUtf8()) return Utf16ToUtf8(text);
    return Convert(nl_langinfo(CODESET), "UTF-8", Utf16ToUtf8(text), "?", 0);
}

unsigned WindowsError(int errno_value) {
    switch (errno_value) {
    case ENOENT: return 2;  // file not found
    case ENOTDIR:
    case ENAMETOOLONG: return 3;  // path not found
    case EMFILE:
    case ENFILE: return 4;  // too many open files
    case EACCES:
    case EPERM:
    case EISDIR: return 5;    // access denied
    case EBADF: return 6;     // invalid handle
    case ENOSPC: return 112;  // disk full
    case EPIPE: return 109;   // broken pipe
    case EIO: return 1117;    // device I/O error
    default: return 0x20000000u | static_cast<unsigned>(errno_value);
    }
}

}  // namespace vantrel::platform::posix
