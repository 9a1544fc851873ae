// Files on Windows, through the wide API.
#include <windows.h>

#include "platform/files.h"
#include "platform/system_text_win32.h"
#include "platform/wide_win32.h"

namespace vantrel::platform {

namespace {

bool IsSharingConflict(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

class Win32File : public File {
public:
    explicit Win32File(HANDLE handle) : handle_(handle) {}
    ~Win32File() override { CloseHandle(handle_); }
    Win32File(const Win32File&) = delete;
    Win32File& operator=(const Win32File&) = delete;

    IoResult Read(char* buffer, std::size_t size) override {
        DWORD want = size > kChunk ? kChunk : static_cast<DWORD>(size);
        DWORD got = 0;
        if (!ReadFile(handle_, buffer, want, &got, nullptr)) return {got, GetLastError()};
        return {got, 0};
    }

    IoResult Write(std::string_view bytes) override {
        IoResult result;
        while (result.count < bytes.size()) {
            std::size_t left = bytes.size() - result.count;
            DWORD want = left > kChunk ? kChunk : static_cast<DWORD>(left);
            DWORD done = 0;
            BOOL ok = WriteFile(handle_, bytes.data() + result.count, want, &done, nullptr);
            result.count += done;
            if (!ok) {
                result.error = GetLastError();
                break;
            }
            if (done == 0) break;
        }
        return result;
    }

    ErrorCode Seek(std::uint64_t offset) override {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(offset);
        return SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) ? 0 : GetLastError();
    }

    ErrorCode SeekToEnd(std::uint64_t& end) override {
        LARGE_INTEGER zero;
        zero.QuadPart = 0;
        LARGE_INTEGER at;
        if (!SetFilePointerEx(handle_, zero, &at, FILE_END)) return GetLastError();
        end = static_cast<std::uint64_t>(at.QuadPart);
        return 0;
    }

    ErrorCode Truncate(std::uint64_t size) override {
        LARGE_INTEGER length;
        if (!GetFileSizeEx(handle_, &length)) return GetLastError();
        if (static_cast<std::uint64_t>(length.QuadPart) <= size) return 0;
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(size);
        if (!SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_))
            return GetLastError();
        return 0;
    }

    ErrorCode Flush() override { return FlushFileBuffers(handle_) ? 0 : GetLastError(); }

private:
    static constexpr DWORD kChunk = 1u << 20;
    HANDLE handle_;
};

// Takes `handle` over: out of memory, it is closed before the failure leaves.
OpenResult Opened(HANDLE handle) {
    OpenResult result;
    result.status = OpenResult::Status::Opened;
    try {
        result.file = std::make_unique<Win32File>(handle);
    } catch (...) {
        CloseHandle(handle);
        throw;
    }
    return result;
}

OpenResult NotOpened(OpenResult::Status status, DWORD error) {
    OpenResult result;
    result.status = status;
    result.error = error;
    return result;
}

HANDLE OpenHandle(const std::u16string& path, DWORD share, DWORD disposition) {
    return CreateFileW(win32::Wide(path), GENERIC_READ | GENERIC_WRITE, share, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The real version of the system: GetVersionEx reports no later than Windows 8
// to a program without a compatibility manifest, RtlGetVersion never lies.
bool SystemSupportsLongPaths() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return false;
    void* found = reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion"));
    auto get_version = reinterpret_cast<RtlGetVersionFn>(found);
    if (get_version == nullptr) return false;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (get_version(&info) != 0) return false;
    // Windows 10 version 1607 is build 14393.
    return info.dwMajorVersion > 10 || (info.dwMajorVersion == 10 && info.dwBuildNumber >= 14393);
}

class Win32FileSystem : public FileSystem {
public:
    bool Exists(const std::u16string& path) override {
        DWORD attributes = GetFileAttributesW(win32::Wide(path));
        if (attributes == INVALID_FILE_ATTRIBUTES) return false;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // A link: what counts is what it leads to. Opening it without asking
            // for any access follows it and is not hindered by sharing.
            HANDLE target =
                CreateFileW(win32::Wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            if (target == INVALID_HANDLE_VALUE) {
                DWORD error = GetLastError();
                if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
            } else {
                BY_HANDLE_FILE_INFORMATION info{};
                BOOL known = GetFileInformationByHandle(target, &info);
                CloseHandle(target);
                if (known) attributes = info.dwFileAttributes;
            }
        }
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    OpenResult OpenForReading(const std::u16string& path) override {
        HANDLE handle = CreateFileW(win32::Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return NotOpened(OpenResult::Status::Failed, GetLastError());
        return Opened(handle);
    }

    OpenResult OpenExisting(const std::u16string& path) override {
        // FILE_SHARE_DELETE: Replace has to rename the old log aside while this
        // handle still holds it, so that no other writer gets in between. It lets
        // other programs rename or delete the file too, never write to it.
        HANDLE handle = OpenHandle(path, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
        if (handle != INVALID_HANDLE_VALUE) return Opened(handle);
        DWORD error = GetLastError();
        if (IsSharingConflict(error)) return NotOpened(OpenResult::Status::Busy, error);
        if (error == ERROR_FILE_NOT_FOUND) return NotOpened(OpenResult::Status::Missing, error);
        return NotOpened(OpenResult::Status::Failed, error);
    }

    OpenResult CreateNew(const std::u16string& path) override {
        HANDLE handle = OpenHandle(path, 0, CREATE_NEW);
        if (handle != INVALID_HANDLE_VALUE) return Opened(handle);
        DWORD error = GetLastError();
        if (IsSharingConflict(error)) return NotOpened(OpenResult::Status::Busy, error);
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return NotOpened(OpenResult::Status::Failed, error);
        }
        if (Exists(path)) return NotOpened(OpenResult::Status::Exists, error);
        // Something that is not a file (a directory): report why it cannot be
        // written, which says more than "the file exists".
        HANDLE other =
            OpenHandle(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
        if (other != INVALID_HANDLE_VALUE) {
            CloseHandle(other);
            return NotOpened(OpenResult::Status::Failed, error);
        }
        return NotOpened(OpenResult::Status::Failed, GetLastError());
    }

    OpenResult CreateScratch(const std::u16string& path) override {
        HANDLE handle = OpenHandle(path, 0, CREATE_ALWAYS);
        if (handle != INVALID_HANDLE_VALUE) return Opened(handle);
        DWORD error = GetLastError();
        return NotOpened(IsSharingConflict(error) ? OpenResult::Status::Busy : OpenResult::Status::Failed,
                         error);
    }

    ReplaceResult Replace(const std::u16string& replacement, const std::u16string& path) override {
        // A file that is open cannot be replaced, not even when every handle to it
        // shares deletion, but it can be renamed. So the old file moves aside
        // (the caller's handle goes with it) and the new one moves into the freed
        // name. Meanwhile the replacement still exists under its own name, which
        // tells other writers to wait.
        const std::u16string aside = path + u".old";
        bool moved_aside = true;
        if (!MoveFileExW(win32::Wide(path), win32::Wide(aside), MOVEFILE_REPLACE_EXISTING)) {
            DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND) return {error, IsSharingConflict(error)};
            moved_aside = false;  // nothing there to keep: just move in
        }
        // Never over a file: one that appeared meanwhile is somebody's.
        if (!MoveFileExW(win32::Wide(replacement), win32::Wide(path), 0)) {
            DWORD error = GetLastError();
            if (moved_aside) MoveFileExW(win32::Wide(aside), win32::Wide(path), 0);
            return {error, false};
        }
        // Goes away for good when the caller closes its handle to it.
        if (moved_aside) DeleteFileW(win32::Wide(aside));
        return {};
    }

    ErrorCode Remove(const std::u16string& path) override {
        return DeleteFileW(win32::Wide(path)) ? 0 : GetLastError();
    }

    std::u16string ErrorText(ErrorCode error) override { return win32::SystemText(error); }

    bool LongPathsSupported() override {
        static const bool supported = SystemSupportsLongPaths();
        return supported;
    }
};

}  // namespace

FileSystem& RealFileSystem() {
    static Win32FileSystem files;
    return files;
}

}  // namespace vantrel::platform
