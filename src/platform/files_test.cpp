// The real file system, on the platform the tests are built for.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "testing/system_message_win32.h"
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vantrel::platform {
namespace {

namespace fs = std::filesystem;
using Status = OpenResult::Status;

bool MakeLink(const fs::path& target, const fs::path& link, bool directory) {
#ifdef _WIN32
    // The standard library of this compiler cannot make links on Windows.
    const DWORD unprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    DWORD flags = (directory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | unprivileged;
    // Wine reports success without making a link.
    return CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) != 0 &&
           GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    std::error_code failed;
    if (directory)
        fs::create_directory_symlink(target, link, failed);
    else
        fs::create_symlink(target, link, failed);
    return !failed;
#endif
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("vantrel-files-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::u16string Path(const char* name) const { return (dir / name).u16string(); }
    void Put(const char* name, const std::string& bytes) const {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    std::string Bytes(const char* name) const {
        std::ifstream in(dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
    static std::string ReadAll(File& file) {
        std::string bytes;
        char buffer[64];
        for (;;) {
            IoResult got = file.Read(buffer, sizeof buffer);
            EXPECT_EQ(got.error, 0u);
            if (got.count == 0) return bytes;
            bytes.append(buffer, got.count);
        }
    }

    FileSystem& files = RealFileSystem();
    fs::path dir;
};

TEST_F(FilesTest, ExistsOnlyForFiles) {
    Put("file.txt", "x");
    fs::create_directory(dir / "folder");
    auto held = files.OpenExisting(Path("file.txt"));
    ASSERT_EQ(held.status, Status::Opened);

    struct Case {
        const char* name;
        bool exists;
    } cases[] = {
        {"file.txt", true},  // also while held by a writer
        {"folder", false},
        {"missing.txt", false},
    };
    for (const auto& c : cases) EXPECT_EQ(files.Exists(Path(c.name)), c.exists) << c.name;
}

TEST_F(FilesTest, ExistsFollowsSymbolicLinks) {
    Put("file.txt", "x");
    fs::create_directory(dir / "folder");
    if (!MakeLink(dir / "file.txt", dir / "to-file", false)) GTEST_SKIP() << "no symbolic links here";
    ASSERT_TRUE(MakeLink(dir / "folder", dir / "to-folder", true));
    ASSERT_TRUE(MakeLink(dir / "missing.txt", dir / "to-nothing", false));
    EXPECT_TRUE(files.Exists(Path("to-file")));
    EXPECT_FALSE(files.Exists(Path("to-folder")));
    EXPECT_FALSE(files.Exists(Path("to-nothing")));
}

TEST_F(FilesTest, OpenedFileKeepsOtherWritersOutNotReaders) {
    Put("log.txt", "old");
    auto held = files.OpenExisting(Path("log.txt"));
    ASSERT_EQ(held.status, Status::Opened);

    EXPECT_EQ(Bytes("log.txt"), "old");  // a reader gets in
    // Still excluded after that reader came and went.
    auto second = files.OpenExisting(Path("log.txt"));
    EXPECT_EQ(second.status, Status::Busy);
    EXPECT_FALSE(files.ErrorText(second.error).empty());
    EXPECT_EQ(files.CreateNew(Path("log.txt")).status, Status::Exists);

    held.file.reset();
    EXPECT_EQ(files.OpenExisting(Path("log.txt")).status, Status::Opened);
}

TEST_F(FilesTest, OpenExistingOfWhatIsNoFile) {
    fs::create_directory(dir / "folder");
    EXPECT_EQ(files.OpenExisting(Path("missing.txt")).status, Status::Missing);
    EXPECT_EQ(files.OpenExisting(Path("folder")).status, Status::Failed);
}

TEST_F(FilesTest, CreateNewNeverTouchesWhatIsThere) {
    Put("log.txt", "keep");
    auto existing = files.CreateNew(Path("log.txt"));
    EXPECT_EQ(existing.status, Status::Exists);
    EXPECT_EQ(Bytes("log.txt"), "keep");

    fs::create_directory(dir / "folder");
    auto folder = files.CreateNew(Path("folder"));
    EXPECT_EQ(folder.status, Status::Failed);
#ifdef _WIN32
    EXPECT_EQ(folder.error, static_cast<ErrorCode>(ERROR_ACCESS_DENIED));
#else
    EXPECT_EQ(folder.error, static_cast<ErrorCode>(EISDIR));
#endif

    auto created = files.CreateNew(Path("new.txt"));
    ASSERT_EQ(created.status, Status::Opened);
    EXPECT_EQ(files.OpenExisting(Path("new.txt")).status, Status::Busy);  // shared with nobody
}

TEST_F(FilesTest, ReadWriteAndSeek) {
    auto created = files.CreateNew(Path("new.txt"));
    ASSERT_EQ(created.status, Status::Opened);
    File& file = *created.file;
    EXPECT_EQ(file.Write("hello").count, 5u);
    EXPECT_EQ(file.Seek(1), 0u);
    EXPECT_EQ(ReadAll(file), "ello");
    EXPECT_EQ(file.Seek(0), 0u);
    EXPECT_EQ(file.Write("J").count, 1u);
    std::uint64_t end = 0;
    EXPECT_EQ(file.SeekToEnd(end), 0u);
    EXPECT_EQ(end, 5u);
    EXPECT_EQ(file.Write(" world").count, 6u);
    EXPECT_EQ(file.Flush(), 0u);
    // Cutting back takes what came after the cut away, and never lengthens.
    EXPECT_EQ(file.Truncate(20), 0u);
    EXPECT_EQ(file.Truncate(9), 0u);
    created.file.reset();
    EXPECT_EQ(Bytes("new.txt"), "Jello wor");

    Put("scratch.tmp", "stale content");
    auto scratch = files.CreateScratch(Path("scratch.tmp"));
    ASSERT_EQ(scratch.status, Status::Opened);
    EXPECT_EQ(ReadAll(*scratch.file), "");
}

TEST_F(FilesTest, ReplaceWhileTheOldFileIsHeld) {
    Put("log.txt", "old");
    auto held = files.OpenExisting(Path("log.txt"));
    ASSERT_EQ(held.status, Status::Opened);
    {
        auto scratch = files.CreateScratch(Path("log.txt.tmp"));
        ASSERT_EQ(scratch.status, Status::Opened);
        scratch.file->Write("new");
    }
    ReplaceResult replaced = files.Replace(Path("log.txt.tmp"), Path("log.txt"));
    EXPECT_EQ(replaced.error, 0u) << files.ErrorText(replaced.error).size();
    EXPECT_EQ(Bytes("log.txt"), "new");
    EXPECT_EQ(ReadAll(*held.file), "old");
    // The new file is free for the next writer at once.
    EXPECT_EQ(files.OpenExisting(Path("log.txt")).status, Status::Opened);

    held.file.reset();
    EXPECT_EQ(Names(), std::vector<std::string>{"log.txt"});
}

TEST_F(FilesTest, FailedReplaceKeepsTheOldFile) {
    Put("log.txt", "old");
    auto held = files.OpenExisting(Path("log.txt"));
    ASSERT_EQ(held.status, Status::Opened);
    ReplaceResult replaced = files.Replace(Path("missing.tmp"), Path("log.txt"));
    EXPECT_NE(replaced.error, 0u);
    EXPECT_FALSE(replaced.busy);
    EXPECT_EQ(Bytes("log.txt"), "old");
    held.file.reset();
    EXPECT_EQ(Names(), std::vector<std::string>{"log.txt"});
}

TEST_F(FilesTest, ErrorTextHasNoTrailingBlanksOrPeriods) {
#ifdef _WIN32
    const ErrorCode errors[] = {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION,
                                ERROR_DISK_FULL};
#else
    const ErrorCode errors[] = {ENOENT, EACCES, EAGAIN, ENOSPC};
#endif
    for (ErrorCode error : errors) {
        std::u16string text = files.ErrorText(error);
        ASSERT_FALSE(text.empty()) << error;
        EXPECT_NE(text.back(), u'.') << error;
        EXPECT_GT(text.back(), u' ') << error;
    }
#ifndef _WIN32
    EXPECT_EQ(files.ErrorText(ENOENT), u"No such file or directory");
#endif
}

#ifdef _WIN32

using vantrel::testing::SystemText;

TEST_F(FilesTest, ErrorTextIsTheSystemText) {
    for (DWORD error : {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
        std::u16string text = files.ErrorText(error);
        std::u16string full = SystemText(error);
        ASSERT_TRUE(full.starts_with(text)) << error;
        EXPECT_EQ(full.substr(text.size()).find_first_not_of(u". \r\n"), std::u16string::npos);
    }
}

HANDLE OpenWith(const std::u16string& path, DWORD access, DWORD share) {
    return CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), access, share, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST_F(FilesTest, ProgramThatDeniesWritingHoldsTheFileOff) {
    Put("log.txt", "old");
    // As an editor would hold it: reading, sharing reading only.
    HANDLE editor = OpenWith(Path("log.txt"), GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(editor, INVALID_HANDLE_VALUE);
    auto refused = files.OpenExisting(Path("log.txt"));
    EXPECT_EQ(refused.status, Status::Busy);
    EXPECT_EQ(refused.error, static_cast<ErrorCode>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(files.Exists(Path("log.txt")));
    CloseHandle(editor);

    // While the log is held, others may read but not write it.
    auto held = files.OpenExisting(Path("log.txt"));
    ASSERT_EQ(held.status, Status::Opened);
    const DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE reader = OpenWith(Path("log.txt"), GENERIC_READ, share_all);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    HANDLE writer = OpenWith(Path("log.txt"), GENERIC_WRITE, share_all);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST_F(FilesTest, ReplaceRefusedWhileAReaderForbidsRenaming) {
    Put("log.txt", "old");
    Put("log.txt.tmp", "new");
    HANDLE reader = OpenWith(Path("log.txt"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    ReplaceResult replaced = files.Replace(Path("log.txt.tmp"), Path("log.txt"));
    EXPECT_TRUE(replaced.busy);
    CloseHandle(reader);
    EXPECT_EQ(Bytes("log.txt"), "old");
    EXPECT_EQ(Bytes("log.txt.tmp"), "new");
}

// Windows 10 version 1607 is build 14393; the registry keeps the build number
// apart from the version functions.
TEST_F(FilesTest, LongPathsFollowTheSystemBuild) {
    wchar_t build[32] = {};
    DWORD size = sizeof build;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                           L"CurrentBuildNumber", RRF_RT_REG_SZ, nullptr, build, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(files.LongPathsSupported(), _wtoi(build) >= 14393) << _wtoi(build);
}

#else

// A child process that holds a classic fcntl write lock on `path` until told to
// let go, as another writer of the log would.
class LockingChild {
public:
    explicit LockingChild(const fs::path& path) {
        int ready[2], release[2];
        if (pipe(ready) != 0 || pipe(release) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(release[1]);
            int fd = open(path.c_str(), O_RDWR);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            char ok = (fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0) ? 1 : 0;
            if (write(ready[1], &ok, 1) != 1) _exit(2);
            char ignored;
            while (read(release[0], &ignored, 1) > 0) {
            }
            _exit(0);
        }
        close(ready[1]);
        close(release[0]);
        release_ = release[1];
        char ok = 0;
        locked_ = read(ready[0], &ok, 1) == 1 && ok == 1;
        close(ready[0]);
    }
    ~LockingChild() { LetGo(); }
    LockingChild(const LockingChild&) = delete;
    LockingChild& operator=(const LockingChild&) = delete;

    bool locked() const { return locked_; }
    void LetGo() {
        if (release_ >= 0) close(release_);
        release_ = -1;
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool locked_ = false;
};

TEST_F(FilesTest, LockOfAnotherProcessHoldsTheFileOff) {
    Put("log.txt", "old");
    LockingChild child(dir / "log.txt");
    ASSERT_TRUE(child.locked());
    auto refused = files.OpenExisting(Path("log.txt"));
    EXPECT_EQ(refused.status, Status::Busy);
    EXPECT_TRUE(refused.error == static_cast<ErrorCode>(EAGAIN) ||
                refused.error == static_cast<ErrorCode>(EACCES))
        << refused.error;
    EXPECT_TRUE(files.Exists(Path("log.txt")));
    child.LetGo();
    EXPECT_EQ(files.OpenExisting(Path("log.txt")).status, Status::Opened);
}

TEST_F(FilesTest, HeldFileKeepsAnotherProcessesLockOut) {
    Put("log.txt", "old");
    auto held = files.OpenExisting(Path("log.txt"));
    ASSERT_EQ(held.status, Status::Opened);
    LockingChild child(dir / "log.txt");
    EXPECT_FALSE(child.locked());
}

TEST_F(FilesTest, ReplacementKeepsThePermissions) {
    Put("log.txt", "old");
    fs::permissions(dir / "log.txt", fs::perms::owner_read | fs::perms::owner_write);
    Put("log.txt.tmp", "new");
    EXPECT_EQ(files.Replace(Path("log.txt.tmp"), Path("log.txt")).error, 0u);
    EXPECT_EQ(fs::status(dir / "log.txt").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

#endif

}  // namespace
}  // namespace vantrel::platform
