#include "platform/command_line.h"

namespace vantrel::platform {

namespace {

bool Blank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

std::vector<std::u16string> SplitCommandLine(std::u16string_view command) {
    std::vector<std::u16string> args;
    std::size_t i = 0;
    const std::size_t n = command.size();

    // The program name: no escapes, quotes only delimit.
    std::u16string name;
    if (i < n && command[i] == u'"') {
        ++i;
        while (i < n && command[i] != u'"') name += command[i++];
        if (i < n) ++i;  // the closing quote
    } else {
        while (i < n && !Blank(command[i])) name += command[i++];
    }
    args.push_back(name);

    for (;;) {
        while (i < n && Blank(command[i])) ++i;
        if (i >= n) break;
        std::u16string arg;
        bool quoted = false;
        while (i < n && (quoted || !Blank(command[i]))) {
            if (command[i] == u'\\') {
                std::size_t slashes = 0;
                while (i < n && command[i] == u'\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && command[i] == u'"') {
                    arg.append(slashes / 2, u'\\');
                    if (slashes % 2 == 1) {
                        arg += u'"';
                        ++i;
                    }
                } else {
                    arg.append(slashes, u'\\');
                }
            } else if (command[i] == u'"') {
                if (quoted && i + 1 < n && command[i + 1] == u'"') {
                    arg += u'"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += command[i++];
            }
        }
        args.push_back(arg);
    }
    return args;
}

std::vector<std::u16string> ProgramCandidates(std::u16string_view command) {
    std::vector<std::u16string> candidates;
    if (!command.empty() && command[0] == u'"') {
        std::size_t close = command.find(u'"', 1);
        std::u16string_view name =
            command.substr(1, close == std::u16string_view::npos ? std::u16string_view::npos : close - 1);
        if (!name.empty()) candidates.emplace_back(name);
        return candidates;
    }
    std::size_t end = 0;
    while (end < command.size() && !Blank(command[end])) ++end;
    while (end > 0) {
        candidates.emplace_back(command.substr(0, end));
        if (end >= command.size()) break;
        // Past the blanks and the next word.
        while (end < command.size() && Blank(command[end])) ++end;
        while (end < command.size() && !Blank(command[end])) ++end;
    }
    return candidates;
}

}  // namespace vantrel::platform
