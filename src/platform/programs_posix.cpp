// Other programs on POSIX. A command line is split by the Windows rules, so the
// started program gets the arguments a Windows program would; no shell ever
// reads it. The program is the first candidate path (see ProgramCandidates)
// that is an executable file, tried as it stands and, when its last part has
// no extension, with ".exe" added; a name without "/" is looked up in PATH. A
// service counts as running while a live process of that name (/proc/PID/comm,
// the name's first 15 bytes) exists.
#include <dirent.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/codeset_posix.h"
#include "platform/command_line.h"
#include "platform/programs.h"

extern char** environ;

namespace vantrel::platform {

namespace {

bool ExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool HasExtension(const std::string& path) {
    std::size_t slash = path.rfind('/');
    std::size_t dot = path.rfind('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

// The program file to run, or empty when no candidate is one.
std::string FindProgram(std::u16string_view command, bool& search_path) {
    search_path = false;
    for (const auto& candidate : ProgramCandidates(command)) {
        std::string path = posix::EncodeLocale(candidate);
        if (path.find('/') == std::string::npos) {
            search_path = true;
            return path;
        }
        if (ExecutableFile(path)) return path;
        if (!HasExtension(path) && ExecutableFile(path + ".exe")) return path + ".exe";
    }
    return {};
}

class PosixPrograms : public Programs {
public:
    bool Start(const std::u16string& command, bool wait, bool /*visible*/) override {
        bool search_path = false;
        std::string program = FindProgram(command, search_path);
        if (program.empty()) return false;

        std::vector<std::string> args;
        for (const auto& arg : SplitCommandLine(command)) args.push_back(posix::EncodeLocale(arg));
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);

        posix_spawnattr_t attributes;
        if (posix_spawnattr_init(&attributes) != 0) return false;
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);  // a group of its own
        pid_t pid = 0;
        int failed = search_path
                         ? posix_spawnp(&pid, program.c_str(), nullptr, &attributes, argv.data(), environ)
                         : posix_spawn(&pid, program.c_str(), nullptr, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
        if (failed != 0) return false;
        if (!wait) return true;
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return true;
    }

    bool ServiceRunning(const std::u16string& name) override {
        // The kernel keeps at most 15 bytes of a process's name.
        const std::string wanted = posix::EncodeLocale(name).substr(0, 15);
        DIR* proc = opendir("/proc");
        if (proc == nullptr) return false;
        // Closed on every way out, running out of memory included.
        struct Close {
            DIR* dir;
            ~Close() { closedir(dir); }
        } close_proc{proc};
        bool found = false;
        while (dirent* entry = readdir(proc)) {
            std::string pid = entry->d_name;
            if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
            std::ifstream comm("/proc/" + pid + "/comm");
            std::string process_name;
            if (!std::getline(comm, process_name) || process_name != wanted) continue;
            // A process that has ended but was not waited for yet is not live.
            std::ifstream stat("/proc/" + pid + "/stat");
            std::string line;
            std::getline(stat, line);
            std::size_t close = line.rfind(')');
            if (close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z') continue;
            found = true;
            break;
        }
        return found;
    }

    std::u16string Environment(const std::u16string& name) override {
        const char* value = std::getenv(posix::EncodeLocale(name).c_str());
        return value == nullptr ? std::u16string() : posix::DecodeLocale(value);
    }
};

}  // namespace

Programs& RealPrograms() {
    static PosixPrograms programs;
    return programs;
}

}  // namespace vantrel::platform
