// A stand-in for the RustDesk client and installer, for end-to-end tests.
//
// Every run appends one line to "<its own path>.log" (UTF-8): its arguments
// after the program name as CommandLineToArgvW splits them, each in brackets,
// separated by blanks. Then:
//   --sleep-ms N       sleeps N milliseconds before it ends;
//   --ctrl-c           appends a second line, "ctrl-c reaches it" or "ctrl-c
//                      kept out": whether a Ctrl+C of the console it was
//                      started from reaches its handlers (see CtrlC);
//   --silent-install   with VANTREL_STAND_IN_INSTALL holding "client", copies
//                      itself to %ProgramW6432% (or %ProgramFiles%)
//                      \RustDesk\rustdesk.exe; holding "service", registers
//                      itself as the service "RustDesk" (started with
//                      --service, which records nothing) and starts it. The
//                      service stops when asked, or after 60 s.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::wstring Variable(const wchar_t* name) {
    wchar_t buffer[32768];
    DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
    return n > 0 && n < 32768 ? std::wstring(buffer, n) : std::wstring();
}

void Append(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

SERVICE_STATUS_HANDLE status_handle = nullptr;
HANDLE stop_event = nullptr;

void Report(DWORD state) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(status_handle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, LPVOID, LPVOID) {
    if (control == SERVICE_CONTROL_STOP) SetEvent(stop_event);
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    status_handle = RegisterServiceCtrlHandlerExW(L"RustDesk", Control, nullptr);
    if (status_handle == nullptr) return;
    Report(SERVICE_RUNNING);
    WaitForSingleObject(stop_event, 60000);
    Report(SERVICE_STOPPED);
}

void InstallService(const std::wstring& self) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) return;
    std::wstring command(1, L'"');
    command += self;
    command += L"\" --service";
    SC_HANDLE service = CreateServiceW(manager, L"RustDesk", L"RustDesk", SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                       command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (service == nullptr) service = OpenServiceW(manager, L"RustDesk", SERVICE_ALL_ACCESS);
    if (service != nullptr) {
        StartServiceW(service, 0, nullptr);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

volatile LONG ctrl_c_handled = 0;

BOOL WINAPI OnCtrl(DWORD event) {
    if (event == CTRL_C_EVENT) InterlockedExchange(&ctrl_c_handled, 1);
    return TRUE;
}

// A Ctrl+C delivered the way the console delivers one: kernel32's CtrlRoutine
// run on a new thread of this process. It calls the handlers unless Ctrl+C is
// off for the process, as it is for one started in a new process group (and
// for the children of a process that turned it off). The line to record; "not
// delivered" when the routine cannot be run or does not end within 10 s.
const char* CtrlC() {
    SetConsoleCtrlHandler(OnCtrl, TRUE);
    FARPROC routine = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CtrlRoutine");
    if (routine == nullptr) return "ctrl-c not delivered\n";
    HANDLE thread = CreateThread(
        nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void (*)()>(routine)),
        reinterpret_cast<void*>(static_cast<ULONG_PTR>(CTRL_C_EVENT)), 0, nullptr);
    if (thread == nullptr) return "ctrl-c not delivered\n";
    const bool ended = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
    CloseHandle(thread);
    if (!ended) return "ctrl-c not delivered\n";
    return InterlockedCompareExchange(&ctrl_c_handled, 0, 0) != 0 ? "ctrl-c reaches it\n"
                                                                  : "ctrl-c kept out\n";
}

}  // namespace

int main() {
    wchar_t own[MAX_PATH];
    DWORD own_size = GetModuleFileNameW(nullptr, own, MAX_PATH);
    const std::wstring self(own, own_size);

    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) return 1;
    if (argc > 1 && std::wcscmp(argv[1], L"--service") == 0) {
        SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(L"RustDesk"), ServiceMain}, {nullptr, nullptr}};
        StartServiceCtrlDispatcherW(table);
        LocalFree(argv);
        return 0;
    }
    std::string line;
    for (int i = 1; i < argc; ++i) line += std::string(i > 1 ? " [" : "[") + Utf8(argv[i]) + "]";
    Append(self + L".log", line + "\n");

    if (argc > 2 && std::wcscmp(argv[1], L"--sleep-ms") == 0) Sleep(static_cast<DWORD>(_wtoi(argv[2])));
    if (argc > 1 && std::wcscmp(argv[1], L"--ctrl-c") == 0) Append(self + L".log", CtrlC());
    if (argc > 1 && std::wcscmp(argv[1], L"--silent-install") == 0 &&
        Variable(L"VANTREL_STAND_IN_INSTALL").find(L"client") != std::wstring::npos) {
        std::wstring base = Variable(L"ProgramW6432");
        if (base.empty()) base = Variable(L"ProgramFiles");
        std::wstring dir = base + L"\\RustDesk";
        CreateDirectoryW(dir.c_str(), nullptr);
        CopyFileW(self.c_str(), (dir + L"\\rustdesk.exe").c_str(), FALSE);
    }
    if (argc > 1 && std::wcscmp(argv[1], L"--silent-install") == 0 &&
        Variable(L"VANTREL_STAND_IN_INSTALL").find(L"service") != std::wstring::npos) {
        InstallService(self);
    }
    LocalFree(argv);
    return 0;
}
