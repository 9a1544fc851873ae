#include <windows.h>

#include "platform/trace_sink.h"
#include "platform/wide_win32.h"

namespace vantrel::platform {

namespace {

class HandleSink : public trace::Sink {
public:
    HandleSink(HANDLE handle, bool owned) : handle_(handle), owned_(owned) {}
    ~HandleSink() override {
        if (owned_) CloseHandle(handle_);
    }
    HandleSink(const HandleSink&) = delete;
    HandleSink& operator=(const HandleSink&) = delete;

    // One write for the whole line; a failure is not reported (the trace never
    // changes the run).
    void Write(std::string_view line) override {
        std::string bytes(line);
        bytes += "\r\n";
        const char* next = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            DWORD written = 0;
            if (!WriteFile(handle_, next, static_cast<DWORD>(left), &written, nullptr) || written == 0)
                return;
            next += written;
            left -= written;
        }
    }

private:
    HANDLE handle_;
    bool owned_;
};

}  // namespace

std::unique_ptr<trace::Sink> OpenTraceSink(const std::u16string& setting) {
    if (setting.empty()) return nullptr;
    if (setting == u"1") {
        // A process without a console may have no standard error at all.
        HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
        return std::make_unique<HandleSink>(handle, false);
    }
    // Appending: every write goes to the end, also with another run writing.
    HANDLE file = CreateFileW(win32::Wide(setting), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    try {
        return std::make_unique<HandleSink>(file, true);
    } catch (...) {
        CloseHandle(file);  // out of memory: the file does not stay open
        throw;
    }
}

}  // namespace vantrel::platform
