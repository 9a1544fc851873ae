#include <windows.h>

#include "platform/console.h"
#include "platform/wide_win32.h"

namespace vantrel::platform {

namespace {

class HandleReader : public ByteReader {
public:
    HandleReader(HANDLE handle, bool owned) : handle_(handle), owned_(owned) {}
    ~HandleReader() override {
        if (owned_) CloseHandle(handle_);
    }
    HandleReader(const HandleReader&) = delete;
    HandleReader& operator=(const HandleReader&) = delete;

    ReadResult Read(char* buffer, std::size_t size) override {
        DWORD got = 0;
        DWORD want = size > 0x10000 ? 0x10000 : static_cast<DWORD>(size);
        if (!ReadFile(handle_, buffer, want, &got, nullptr)) {
            DWORD error = GetLastError();
            if (error == ERROR_BROKEN_PIPE) return {ReadResult::Status::BrokenPipe, 0, 0};
            return {ReadResult::Status::Error, 0, error};
        }
        if (got == 0) return {ReadResult::Status::End, 0, 0};
        return {ReadResult::Status::Data, got, 0};
    }

private:
    HANDLE handle_;
    bool owned_;
};

class HandleWriter : public ByteWriter {
public:
    explicit HandleWriter(HANDLE handle) : handle_(handle) {}
    bool Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            DWORD want = bytes.size() > 0x10000 ? 0x10000 : static_cast<DWORD>(bytes.size());
            DWORD done = 0;
            if (!WriteFile(handle_, bytes.data(), want, &done, nullptr) || done == 0) return false;
            bytes.remove_prefix(done);
        }
        return true;
    }

private:
    HANDLE handle_;
};

bool Unusable(HANDLE handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }

class Win32Console : public Console {
public:
    OpenedStream OpenStandardInput() override {
        OpenedStream s;
        HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
        if (Unusable(handle)) {
            s.error = ERROR_INVALID_HANDLE;
            return s;
        }
        s.reader = std::make_unique<HandleReader>(handle, false);
        s.code_page = GetFileType(handle) == FILE_TYPE_CHAR ? GetConsoleCP() : GetACP();
        return s;
    }

    OpenedStream OpenStandardOutput() override {
        OpenedStream s;
        HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
        if (Unusable(handle)) {
            s.error = ERROR_INVALID_HANDLE;
            return s;
        }
        s.writer = std::make_unique<HandleWriter>(handle);
        s.code_page = GetFileType(handle) == FILE_TYPE_CHAR ? GetConsoleOutputCP() : GetACP();
        return s;
    }
};

}  // namespace

Console& RealConsole() {
    static Win32Console console;
    return console;
}

}  // namespace vantrel::platform
