#include <windows.h>
#include <shellapi.h>

#include "platform/process.h"
#include "platform/wide_win32.h"

namespace vantrel::platform {

namespace {

class Win32Process : public Process {
public:
    std::vector<std::u16string> Arguments() override {
        std::vector<std::u16string> args;
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
        if (argv == nullptr) return args;
        for (int i = 1; i < count; ++i) args.push_back(win32::FromWide(argv[i]));
        LocalFree(argv);
        return args;
    }

    std::u16string ExecutablePath() override {
        std::wstring buffer(MAX_PATH, L'\0');
        for (;;) {
            DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (n == 0) return {};
            if (n < buffer.size()) return win32::FromWide(buffer.data(), n);
            buffer.resize(buffer.size() * 2);
        }
    }

    std::u16string CurrentDirectory() override {
        DWORD n = GetCurrentDirectoryW(0, nullptr);
        if (n == 0) return {};
        std::wstring buffer(n, L'\0');
        n = GetCurrentDirectoryW(n, buffer.data());
        return win32::FromWide(buffer.data(), n);
    }

    char16_t PathSeparator() const override { return u'\\'; }
};

}  // namespace

Process& RealProcess() {
    static Win32Process process;
    return process;
}

}  // namespace vantrel::platform
