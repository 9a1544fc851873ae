#include "core/path.h"

namespace vantrel {

namespace {

// A colon ends a drive under Windows separators only.
bool EndsDrive(char16_t c, char16_t separator) { return separator == u'\\' && c == u':'; }

}  // namespace

std::u16string JoinPath(std::u16string_view directory, std::u16string_view name, char16_t separator) {
    std::u16string path;
    path.reserve(directory.size() + 1 + name.size());
    path += directory;
    path += separator;
    path += name;
    return path;
}

std::u16string DirectoryOf(std::u16string_view path, char16_t separator) {
    std::size_t cut = std::u16string_view::npos;
    for (std::size_t i = path.size(); i-- > 0;) {
        if (path[i] == separator || EndsDrive(path[i], separator)) {
            cut = i;
            break;
        }
    }
    if (cut == std::u16string_view::npos) return {};
    if (path[cut] != separator) return std::u16string(path.substr(0, cut + 1));  // "C:"
    // The separator stays when it is the root's: "C:\", "\\", or POSIX "/".
    const bool root = cut == 0 || path[cut - 1] == separator || EndsDrive(path[cut - 1], separator);
    return std::u16string(path.substr(0, root ? cut + 1 : cut));
}

std::u16string_view FileNameOf(std::u16string_view path, char16_t separator) {
    const std::size_t cut = path.rfind(separator);
    return cut == std::u16string_view::npos ? path : path.substr(cut + 1);
}

bool HasDirectoryPart(std::u16string_view path, char16_t separator) {
    for (char16_t c : path) {
        if (c == separator || EndsDrive(c, separator)) return true;
    }
    return false;
}

}  // namespace vantrel
