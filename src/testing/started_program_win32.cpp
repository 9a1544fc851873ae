#include "testing/started_program_win32.h"
#include "testing/windows_text_win32.h"

#include <stdexcept>

namespace vantrel::testing {

namespace {

HANDLE Inheritable(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE file = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("CreateFileW failed: " + std::to_string(GetLastError()));
    return file;
}

}  // namespace

StartedProgram::StartedProgram(const std::string& program, const std::vector<std::string>& args,
                               const std::string& directory, const std::string& output_directory)
    : out_path_(output_directory + "\\stdout.txt"), err_path_(output_directory + "\\stderr.txt") {
    // Arguments without blanks or quotes only: the tests need no more.
    std::wstring line = L"\"" + WindowsPath(program) + L"\"";
    for (const auto& a : args) line += L" " + Widen(a);
    HANDLE in = Inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE out = Inheritable(WindowsPath(out_path_), GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = Inheritable(WindowsPath(err_path_), GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    const std::wstring dir = WindowsPath(directory);
    BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, dir.c_str(), &si, &pi);
    const DWORD error = GetLastError();
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) throw std::runtime_error("CreateProcessW failed: " + std::to_string(error));
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
}

StartedProgram::~StartedProgram() {
    if (Running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 10000);
    }
    CloseHandle(process_);
}

bool StartedProgram::Running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

ProgramResult StartedProgram::Wait(int timeout_ms) {
    ProgramResult result;
    if (WaitForSingleObject(process_, static_cast<DWORD>(timeout_ms)) == WAIT_TIMEOUT) {
        result.timed_out = true;
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 10000);
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    result.exit_code = static_cast<int>(code);
    result.out = Output();
    result.err = Errors();
    return result;
}

}  // namespace vantrel::testing
