#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "testing/run_program.h"
#include "testing/windows_text_win32.h"

namespace vantrel::testing {

namespace {

// One argument quoted by the rules the C runtime and CommandLineToArgvW split by.
void AppendQuoted(std::wstring& line, const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
        } else if (c == L'"') {
            line.append(backslashes * 2 + 1, L'\\');
            line += L'"';
            backslashes = 0;
        } else {
            line.append(backslashes, L'\\');
            line += c;
            backslashes = 0;
        }
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string(what) + " failed: " + std::to_string(GetLastError()));
}

std::string Drain(HANDLE handle) {
    std::string all;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &n, nullptr) && n > 0) all.append(buffer, n);
    return all;
}

// Under Wine a Windows process can start a Unix program, and the Windows
// processes that a Unix process starts through the wine launcher inherit its
// resource limits.
bool UnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

bool FileSizeLimitAvailable() { return UnderWine(); }

namespace {

// A path of this process as the Unix path that Wine maps it to.
std::string UnixPath(const std::string& path) {
    using Convert = char*(CDECL*)(const wchar_t*);
    FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    auto convert = reinterpret_cast<Convert>(reinterpret_cast<void (*)()>(found));
    if (convert == nullptr) throw std::runtime_error("wine_get_unix_file_name missing");
    char* unix_path = convert(WindowsPath(path).c_str());
    if (unix_path == nullptr) throw std::runtime_error("no Unix path for " + path);
    std::string out = unix_path;
    HeapFree(GetProcessHeap(), 0, unix_path);
    return out;
}

// Under Wine: the program started by the wine launcher from a Unix shell that
// first sets the limit (prlimit) and ignores SIGXFSZ (an ignored signal stays
// ignored across exec). A Unix process started from here does not get this
// process's pipes, so the shell joins the program's input and outputs to
// files; only the program's own writes are under the limit, the outputs reach
// their files through cat. Wine neither waits for a Unix process nor passes
// its exit code back: the shell marks its end with a file, and the exit code
// stays unknown (-1).
ProgramResult RunWithFileSizeLimit(const ProgramRun& run) {
    if (!UnderWine()) throw std::runtime_error("a file-size limit needs Wine");
    TempDir io;
    WriteFileBytes(io.File("in"), run.input.value_or(""));
    ProgramRun shell = run;
    shell.file_size_limit.reset();
    shell.input.reset();
    shell.program = "/bin/sh";
    const std::string limit = std::to_string(*run.file_size_limit);
    const std::string script = "trap '' XFSZ; io=$1; shift; (prlimit --fsize=" + limit +
                               " wine \"$@\" <\"$io/in\" 2>&3 | cat >\"$io/out\") 3>&1 | cat >\"$io/err\"; "
                               ">\"$io/done\"";
    shell.args = {"-c", script, "sh", UnixPath(io.path()), UnixPath(run.program)};
    shell.args.insert(shell.args.end(), run.args.begin(), run.args.end());
    ProgramResult result = RunProgram(shell);
    // Wine does not wait for a Unix process: the shell leaves a mark at its end.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(run.timeout_ms);
    while (!FileExists(io.File("done"))) {
        if (std::chrono::steady_clock::now() > end) {
            result.timed_out = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    result.out = ReadFileBytes(io.File("out"));
    result.err = ReadFileBytes(io.File("err"));
    result.exit_code = -1;
    return result;
}

}  // namespace

ProgramResult RunProgram(const ProgramRun& run) {
    if (run.file_size_limit) return RunWithFileSizeLimit(run);
    // The child's ends of the pipes are inheritable from their creation until
    // they are closed here after the start: a child that another thread starts
    // meanwhile would inherit them too and keep them open (this child's standard
    // input would never end). One start at a time.
    static std::mutex starting;
    std::unique_lock<std::mutex> start_lock(starting);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE in_read = nullptr, in_write = nullptr, out_read = nullptr, out_write = nullptr, err_read = nullptr,
           err_write = nullptr;
    Check(CreatePipe(&in_read, &in_write, &inherit, 0), "CreatePipe");
    Check(CreatePipe(&out_read, &out_write, &inherit, 0), "CreatePipe");
    Check(CreatePipe(&err_read, &err_write, &inherit, 0), "CreatePipe");
    SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);

    std::wstring program = WindowsPath(run.program);
    std::wstring line;
    AppendQuoted(line, program);
    for (const auto& a : run.args) {
        line += L' ';
        AppendQuoted(line, Widen(a));
    }

    // The environment: this process's, with the additions.
    std::wstring block;
    {
        std::vector<std::wstring> vars;
        wchar_t* env = GetEnvironmentStringsW();
        for (wchar_t* p = env; *p; p += wcslen(p) + 1) vars.emplace_back(p);
        FreeEnvironmentStringsW(env);
        for (const auto& [name, value] : run.environment) {
            std::wstring key = Widen(name) + L"=";
            std::erase_if(vars, [&](const std::wstring& v) {
                return _wcsnicmp(v.c_str(), key.c_str(), key.size()) == 0;
            });
            vars.push_back(key + Widen(value));
        }
        for (const auto& v : vars) block += v + L'\0';
        block += L'\0';
    }

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = run.input ? in_read : INVALID_HANDLE_VALUE;
    HANDLE input_file = INVALID_HANDLE_VALUE;
    if (run.input_path) {
        // Backup semantics: a directory opens too.
        input_file = CreateFileW(WindowsPath(*run.input_path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        Check(input_file != INVALID_HANDLE_VALUE, "CreateFileW");
        si.hStdInput = input_file;
    }
    si.hStdOutput = run.close_output ? INVALID_HANDLE_VALUE : out_write;
    si.hStdError = err_write;
    PROCESS_INFORMATION pi{};
    std::wstring directory = run.directory.empty() ? L"" : WindowsPath(run.directory);
    // The program as the command line names it: a Unix program too, under Wine.
    BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                                  block.data(), directory.empty() ? nullptr : directory.c_str(), &si, &pi);
    DWORD start_error = GetLastError();
    CloseHandle(in_read);
    CloseHandle(out_write);
    CloseHandle(err_write);
    if (input_file != INVALID_HANDLE_VALUE) CloseHandle(input_file);
    start_lock.unlock();
    if (!started) {
        CloseHandle(in_write);
        CloseHandle(out_read);
        CloseHandle(err_read);
        throw std::runtime_error("CreateProcessW failed: " + std::to_string(start_error));
    }

    std::thread feeder([&] {
        if (run.input) {
            const std::string& input = *run.input;
            DWORD done = 0;
            std::size_t sent = 0;
            while (sent < input.size() && WriteFile(in_write, input.data() + sent,
                                                    static_cast<DWORD>(input.size() - sent), &done, nullptr))
                sent += done;
        }
        CloseHandle(in_write);
    });
    std::string err;
    std::thread err_reader([&] { err = Drain(err_read); });
    ProgramResult result;
    // Too long: the child is ended, which closes its outputs.
    std::thread watchdog([&] {
        if (WaitForSingleObject(pi.hProcess, static_cast<DWORD>(run.timeout_ms)) == WAIT_TIMEOUT) {
            result.timed_out = true;
            TerminateProcess(pi.hProcess, 1);
        }
    });
    result.out = Drain(out_read);
    err_reader.join();
    feeder.join();
    watchdog.join();
    result.err = std::move(err);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    result.exit_code = static_cast<int>(code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(out_read);
    CloseHandle(err_read);
    return result;
}

TempDir::TempDir() {
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    for (unsigned i = GetTickCount();; ++i) {
        std::wstring candidate = std::wstring(base) + L"vantrel-test-" + std::to_wstring(i);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = Narrow(candidate);
            return;
        }
        Check(GetLastError() == ERROR_ALREADY_EXISTS, "CreateDirectoryW");
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(Widen(path_)), ignored);
}

std::string TempDir::File(const std::string& name) const { return path_ + "\\" + name; }

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(std::filesystem::path(Widen(path)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(Widen(path)), std::ios::binary | std::ios::trunc);
    out << bytes;
}

HeldFile::HeldFile(const std::string& path) {
    handle_ = CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    Check(handle_ != INVALID_HANDLE_VALUE, "CreateFileW");
}

HeldFile::~HeldFile() { CloseHandle(handle_); }

bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesW(Widen(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace vantrel::testing
