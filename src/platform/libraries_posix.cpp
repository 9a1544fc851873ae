#include <dlfcn.h>

#include <cstring>
#include <string_view>

#include "platform/codeset_posix.h"
#include "platform/libraries.h"

namespace vantrel::platform {

namespace {

class PosixLibrary : public Library {
public:
    explicit PosixLibrary(void* handle) : handle_(handle) {}
    ~PosixLibrary() override { dlclose(handle_); }
    PosixLibrary(const PosixLibrary&) = delete;
    PosixLibrary& operator=(const PosixLibrary&) = delete;

    void* Symbol(const char* name) override { return dlsym(handle_, name); }

private:
    void* handle_;
};

std::u16string CleanText(std::u16string text) {
    while (!text.empty() &&
           (text.back() == u' ' || text.back() == u'.' || text.back() == u'\n' || text.back() == u'\r')) {
        text.pop_back();
    }
    return text;
}

class PosixLibraries : public Libraries {
public:
    LibraryLoad Load(const std::u16string& name) override {
        LibraryLoad result;
        dlerror();  // forget any earlier failure
        void* handle = dlopen(posix::EncodeLocale(name).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle != nullptr) {
            try {
                result.library = std::make_unique<PosixLibrary>(handle);
            } catch (...) {
                dlclose(handle);  // out of memory: the library does not stay loaded
                throw;
            }
            return result;
        }
        const char* text = dlerror();
        std::string_view why = text != nullptr ? text : "unknown error";
        result.error_text = CleanText(posix::DecodeLocale(why));
        // The dynamic loader's words for an ELF file of the other word size.
        result.other_architecture = why.find("wrong ELF class") != std::string_view::npos;
        return result;
    }
};

}  // namespace

Libraries& RealLibraries() {
    static PosixLibraries libraries;
    return libraries;
}

}  // namespace vantrel::platform
