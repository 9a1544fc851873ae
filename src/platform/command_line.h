// The Windows rules for reading a command line: how a started program splits
// the one text it receives into its arguments, and which program files an
// unquoted program path with blanks may name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrel::platform {

// The arguments in `command`, program name first, split as CommandLineToArgvW
// does: the program name runs to the closing double quote when it starts with
// one, else to the first blank or tab, and is taken literally; the arguments
// after it are separated by blanks and tabs outside double quotes, 2n
// backslashes before a double quote give n backslashes and the quote opens or
// closes a quoted part, 2n+1 give n backslashes and a literal quote, two double
// quotes inside a quoted part give one literal quote, and other backslashes
// stand for themselves.
std::vector<std::u16string> SplitCommandLine(std::u16string_view command);

// The program paths `command` may name, in the order the platform tries them:
// a quoted name alone; else every blank-separated prefix of the text, shortest
// first (for "C:\Program Files\a.exe x": "C:\Program", "C:\Program Files\a.exe",
// "C:\Program Files\a.exe x"). Empty when there is no program name.
std::vector<std::u16string> ProgramCandidates(std::u16string_view command);

}  // namespace vantrel::platform
