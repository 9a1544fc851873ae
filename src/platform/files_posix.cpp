// Files on POSIX. Windows' "others may read but not write" has no direct
// equivalent here: writers of the log exclude each other with an exclusive lock
// on the whole file, taken when the file is opened and held until it is closed.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/codeset_posix.h"
#include "platform/files.h"

namespace vantrel::platform {

namespace {

std::string NativePath(const std::u16string& path) { return posix::EncodeLocale(path); }

// Open-file-description locks where the system has them: unlike classic
// process-owned locks they are not dropped when the process closes some other
// descriptor of the same file, and they also exclude a second opening within the
// same process. Both kinds conflict with each other across processes.
#ifdef F_OFD_SETLK
constexpr int kSetLock = F_OFD_SETLK;
#else
constexpr int kSetLock = F_SETLK;
#endif

// 0, or the errno of a failed attempt (EAGAIN or EACCES while someone else
// holds a lock on the file).
int LockWholeFile(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;  // to the end, however far the file grows
    lock.l_pid = 0;
    for (;;) {
        if (fcntl(fd, kSetLock, &lock) == 0) return 0;
        if (errno != EINTR) return errno;
    }
}

bool IsLockConflict(int error) { return error == EAGAIN || error == EACCES; }

// True while `fd` is still the file that `path` names: a log can be replaced by
// its converted copy while a second writer waits for the lock on the old one.
bool StillAt(int fd, const std::string& path) {
    struct stat held {};
    struct stat named {};
    return fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

class PosixFile : public File {
public:
    explicit PosixFile(int fd) : fd_(fd) {}
    ~PosixFile() override { close(fd_); }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    IoResult Read(char* buffer, std::size_t size) override {
        for (;;) {
            ssize_t n = read(fd_, buffer, size);
            if (n >= 0) return {static_cast<std::size_t>(n), 0};
            if (errno != EINTR) return {0, static_cast<ErrorCode>(errno)};
        }
    }

    IoResult Write(std::string_view bytes) override {
        IoResult result;
        while (result.count < bytes.size()) {
            ssize_t n = write(fd_, bytes.data() + result.count, bytes.size() - result.count);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                result.error = static_cast<ErrorCode>(errno);
                break;
            }
            if (n == 0) break;
            result.count += static_cast<std::size_t>(n);
        }
        return result;
    }

    ErrorCode Seek(std::uint64_t offset) override {
        return lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0 ? errno : 0;
    }

    ErrorCode SeekToEnd(std::uint64_t& end) override {
        const off_t at = lseek(fd_, 0, SEEK_END);
        if (at < 0) return errno;
        end = static_cast<std::uint64_t>(at);
        return 0;
    }

    ErrorCode Truncate(std::uint64_t size) override {
        struct stat st {};
        if (fstat(fd_, &st) != 0) return errno;
        if (static_cast<std::uint64_t>(st.st_size) <= size) return 0;
        for (;;) {
            if (ftruncate(fd_, static_cast<off_t>(size)) == 0) return 0;
            if (errno != EINTR) return errno;
        }
    }

    ErrorCode Flush() override { return fsync(fd_) != 0 ? errno : 0; }

private:
    int fd_;
};

// Takes `fd` over: out of memory, it is closed before the failure leaves.
OpenResult Opened(int fd) {
    OpenResult result;
    result.status = OpenResult::Status::Opened;
    try {
        result.file = std::make_unique<PosixFile>(fd);
    } catch (...) {
        close(fd);
        throw;
    }
    return result;
}

OpenResult NotOpened(OpenResult::Status status, int error) {
    OpenResult result;
    result.status = status;
    result.error = static_cast<ErrorCode>(error);
    return result;
}

// Locks a freshly opened `fd` and makes sure it is still the file at `path`.
// Takes `fd` over. Opened, Busy, or Failed; `moved` is set when the file was
// replaced under the caller, who then opens the path again.
OpenResult LockAndCheck(int fd, const std::string& path, bool& moved) {
    moved = false;
    int error = LockWholeFile(fd);
    if (error != 0) {
        close(fd);
        return NotOpened(IsLockConflict(error) ? OpenResult::Status::Busy : OpenResult::Status::Failed,
                         error);
    }
    if (!StillAt(fd, path)) {
        close(fd);
        moved = true;
        return NotOpened(OpenResult::Status::Busy, EAGAIN);
    }
    return Opened(fd);
}

// An open that is interrupted by a signal is simply tried again.
int OpenFd(const std::string& path, int flags, mode_t mode = 0) {
    for (;;) {
        int fd = open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
        if (fd >= 0 || errno != EINTR) return fd;
    }
}

class PosixFileSystem : public FileSystem {
public:
    bool Exists(const std::u16string& path) override {
        struct stat st {};
        return stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }

    OpenResult OpenForReading(const std::u16string& path) override {
        int fd = OpenFd(NativePath(path), O_RDONLY);
        if (fd < 0) return NotOpened(OpenResult::Status::Failed, errno);
        struct stat st {};
        if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
            close(fd);
            return NotOpened(OpenResult::Status::Failed, EACCES);
        }
        return Opened(fd);
    }

    OpenResult OpenExisting(const std::u16string& path) override {
        const std::string native = NativePath(path);
        // A few rounds in case the log is replaced while this run waits for it.
        OpenResult result = NotOpened(OpenResult::Status::Busy, EAGAIN);
        for (int round = 0; round < 8; ++round) {
            int fd = OpenFd(native, O_RDWR);
            if (fd < 0) {
                int error = errno;
                return NotOpened(error == ENOENT ? OpenResult::Status::Missing : OpenResult::Status::Failed,
                                 error);
            }
            bool moved = false;
            result = LockAndCheck(fd, native, moved);
            if (!moved) break;
        }
        return result;
    }

    OpenResult CreateNew(const std::u16string& path) override {
        const std::string native = NativePath(path);
        int fd = OpenFd(native, O_RDWR | O_CREAT | O_EXCL, 0666);
        if (fd < 0) {
            int error = errno;
            if (error != EEXIST) return NotOpened(OpenResult::Status::Failed, error);
            if (Exists(path)) return NotOpened(OpenResult::Status::Exists, error);
            // Something that is not a file: report why it cannot be written.
            int other = OpenFd(native, O_RDWR | O_NONBLOCK);
            if (other >= 0) {
                close(other);
                return NotOpened(OpenResult::Status::Failed, error);
            }
            return NotOpened(OpenResult::Status::Failed, errno);
        }
        bool moved = false;
        return LockAndCheck(fd, native, moved);
    }

    OpenResult CreateScratch(const std::u16string& path) override {
        int fd = OpenFd(NativePath(path), O_RDWR | O_CREAT | O_TRUNC, 0666);
        if (fd < 0) return NotOpened(OpenResult::Status::Failed, errno);
        int error = LockWholeFile(fd);
        if (error != 0) {
            close(fd);
            return NotOpened(IsLockConflict(error) ? OpenResult::Status::Busy : OpenResult::Status::Failed,
                             error);
        }
        return Opened(fd);
    }

    ReplaceResult Replace(const std::u16string& replacement, const std::u16string& path) override {
        const std::string from = NativePath(replacement);
        const std::string to = NativePath(path);
        // The new file takes over the old one's permissions.
        struct stat old {};
        if (stat(to.c_str(), &old) == 0) chmod(from.c_str(), old.st_mode & 07777);
        if (rename(from.c_str(), to.c_str()) != 0) return {static_cast<ErrorCode>(errno), false};
        return {};
    }

    ErrorCode Remove(const std::u16string& path) override {
        return unlink(NativePath(path).c_str()) != 0 ? errno : 0;
    }

    std::u16string ErrorText(ErrorCode error) override {
        std::u16string text = posix::DecodeLocale(std::strerror(static_cast<int>(error)));
        while (!text.empty() && (text.back() <= u' ' || text.back() == u'.')) text.pop_back();
        return text;
    }

    bool LongPathsSupported() override { return true; }
};

}  // namespace

FileSystem& RealFileSystem() {
    static PosixFileSystem files;
    return files;
}

}  // namespace vantrel::platform
