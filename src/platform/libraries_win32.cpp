#include <windows.h>

#include "platform/libraries.h"
#include "platform/system_text_win32.h"
#include "platform/wide_win32.h"

namespace vantrel::platform {

namespace {

class Win32Library : public Library {
public:
    explicit Win32Library(HMODULE module) : module_(module) {}
    ~Win32Library() override { FreeLibrary(module_); }
    Win32Library(const Win32Library&) = delete;
    Win32Library& operator=(const Win32Library&) = delete;

    void* Symbol(const char* name) override { return reinterpret_cast<void*>(GetProcAddress(module_, name)); }

private:
    HMODULE module_;
};

// The system's text for `error`; the name of the library takes the place of a
// "%1" in it (as in "%1 is not a valid Win32 application").
std::u16string SystemText(DWORD error, const std::u16string& name) {
    std::u16string out = win32::SystemText(error);
    if (out.empty()) out = u"System error " + win32::FromWide(std::to_wstring(error).c_str());
    for (std::size_t at = out.find(u"%1"); at != std::u16string::npos;
         at = out.find(u"%1", at + name.size())) {
        out.replace(at, 2, name);
    }
    return out;
}

class Win32Libraries : public Libraries {
public:
    LibraryLoad Load(const std::u16string& name) override {
        // No "cannot find" or "bad image" box from the system while loading.
        const DWORD quiet = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
        DWORD old_mode = 0;
        const bool thread_mode = SetThreadErrorMode(quiet, &old_mode) != 0;
        const UINT process_mode = thread_mode ? 0 : SetErrorMode(quiet);
        HMODULE module = LoadLibraryW(win32::Wide(name));
        const DWORD error = GetLastError();
        if (thread_mode)
            SetThreadErrorMode(old_mode, nullptr);
        else
            SetErrorMode(process_mode);

        LibraryLoad result;
        if (module != nullptr) {
            try {
                result.library = std::make_unique<Win32Library>(module);
            } catch (...) {
                FreeLibrary(module);  // out of memory: the library does not stay loaded
                throw;
            }
            return result;
        }
        result.error = error;
        result.error_text = SystemText(error, name);
        result.other_architecture = error == ERROR_BAD_EXE_FORMAT;
        return result;
    }
};

}  // namespace

Libraries& RealLibraries() {
    static Win32Libraries libraries;
    return libraries;
}

}  // namespace vantrel::platform
