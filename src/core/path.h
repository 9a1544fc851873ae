// The rules by which the tool builds and takes apart paths, for the platform's
// separator: "\" on Windows, where a colon also ends a drive ("C:"), or "/" on
// POSIX, where a colon is an ordinary character. Pure text rules: nothing here
// asks the file system.
#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// `directory`, one separator, then `name`, whatever `directory` ends with. At a
// root the separator doubles ("C:\" and "x" give "C:\\x", "/" and "x" give
// "//x"), which the system reads as the file in that root; an empty directory
// gives the separator and the name, a path from the root.
std::u16string JoinPath(std::u16string_view directory, std::u16string_view name, char16_t separator);

// The directory of `path`: the path up to its last separator or drive colon,
// without that separator unless it belongs to the root ("C:\Apps\tool.exe":
// "C:\Apps"; "C:\tool.exe": "C:\"; "C:tool.exe": "C:"; "\\server\share\x":
// "\\server\share"; "/vantrel": "/"). A path with neither gives the empty text.
std::u16string DirectoryOf(std::u16string_view path, char16_t separator);

// What follows the last separator of `path` (the whole path when it has none).
// A drive colon does not count: "C:tool.exe" stays whole.
std::u16string_view FileNameOf(std::u16string_view path, char16_t separator);

// Whether `path` says which directory it lies in: it holds a separator or, on
// Windows, a colon ("C:pedido.json"). Without one it names a file of the current
// directory.
bool HasDirectoryPart(std::u16string_view path, char16_t separator);

}  // namespace vantrel
