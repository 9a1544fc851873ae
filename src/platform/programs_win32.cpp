// Other programs on Windows: CreateProcessW with the command line as given, and
// the service control manager.
#include <windows.h>

#include <vector>

#include "platform/programs.h"
#include "platform/wide_win32.h"

namespace vantrel::platform {

namespace {

class Win32Programs : public Programs {
public:
    bool Start(const std::u16string& command, bool wait, bool visible) override {
        // CreateProcessW may write into the command line: it gets a copy.
        std::vector<wchar_t> line(command.begin(), command.end());
        line.push_back(L'\0');

        STARTUPINFOW startup;
        ZeroMemory(&startup, sizeof startup);
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info;
        ZeroMemory(&info, sizeof info);
        DWORD flags = NORMAL_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP;
        if (!visible) flags |= CREATE_NO_WINDOW;

        BOOL created = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                                      &startup, &info);
        if (created && wait) WaitForSingleObject(info.hProcess, INFINITE);
        if (info.hProcess != nullptr) CloseHandle(info.hProcess);
        if (info.hThread != nullptr) CloseHandle(info.hThread);
        return created != FALSE;
    }

    bool ServiceRunning(const std::u16string& name) override {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        if (manager == nullptr) return false;
        SC_HANDLE service = OpenServiceW(manager, win32::Wide(name), SERVICE_QUERY_STATUS);
        if (service == nullptr) {
            CloseServiceHandle(manager);
            return false;
        }
        SERVICE_STATUS status;
        ZeroMemory(&status, sizeof status);
        bool running = QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
        return running;
    }

    std::u16string Environment(const std::u16string& name) override {
        std::vector<wchar_t> buffer(256);
        for (;;) {
            SetLastError(0);
            DWORD n =
                GetEnvironmentVariableW(win32::Wide(name), buffer.data(), static_cast<DWORD>(buffer.size()));
            if (n == 0) return {};
            if (n < buffer.size()) return win32::FromWide(buffer.data(), n);
            buffer.resize(n);  // n counts the terminating NUL
        }
    }
};

}  // namespace

Programs& RealPrograms() {
    static Win32Programs programs;
    return programs;
}

}  // namespace vantrel::platform
