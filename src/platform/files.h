// Files as the tool uses them: an existence test, the opening modes of the run
// log, byte-level reading and writing, and replacing one file with another.
//
// Operations report failures as results, never as exceptions: the callers decide
// which failure message a situation earns. Error numbers follow platform.h: the
// system's own, turned into text only by ErrorText of the same file system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vantrel::platform {

using ErrorCode = std::uint32_t;

// Outcome of a read or a write.
struct IoResult {
    std::size_t count = 0;  // bytes moved
    ErrorCode error = 0;    // set when the system reported a failure
};

// An open file. Closing it (destroying it) releases whatever the opening held.
class File {
public:
    virtual ~File() = default;

    // Reads up to `size` bytes at the current position. A count of 0 without an
    // error is the end of the file.
    virtual IoResult Read(char* buffer, std::size_t size) = 0;

    // Writes all of `bytes` at the current position. A count below bytes.size()
    // means the write stopped early (a full disk, for instance); what was written
    // stays.
    virtual IoResult Write(std::string_view bytes) = 0;

    // Moves the position to `offset` bytes from the start. 0 or the error.
    virtual ErrorCode Seek(std::uint64_t offset) = 0;

    // Moves the position to the end; `end` receives that position, the file's
    // length. 0 or the error.
    virtual ErrorCode SeekToEnd(std::uint64_t& end) = 0;

    // Cuts the file to its first `size` bytes (a shorter file is left as it
    // is). The position is then unspecified. 0 or the error.
    virtual ErrorCode Truncate(std::uint64_t size) = 0;

    // Makes what was written durable before the caller goes on. 0 or the error.
    virtual ErrorCode Flush() = 0;
};

struct OpenResult {
    enum class Status {
        Opened,   // `file` is set
        Busy,     // another process holds the file in a conflicting way: try again later
        Missing,  // (OpenExisting) the file went away between the caller's look and the open
        Exists,   // (CreateNew) a file of that name appeared before the create
        Failed,   // anything else; see `error`
    };
    Status status = Status::Failed;
    std::unique_ptr<File> file;
    ErrorCode error = 0;  // the system's error for every status but Opened
};

struct ReplaceResult {
    ErrorCode error = 0;  // 0 when the replacement is in place
    bool busy = false;    // another process has the file open in a way that forbids it
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True when `path` names a file: a directory does not count, a symbolic link
    // counts when it leads to a file, a file that another process holds or locks
    // counts.
    virtual bool Exists(const std::u16string& path) = 0;

    // Opens an existing file for reading only, shared with other readers only: a
    // file that another process has open for writing does not open (Windows). A
    // directory does not open.
    virtual OpenResult OpenForReading(const std::u16string& path) = 0;

    // Opens an existing file for reading and writing; other processes may read it
    // meanwhile but not write it, until the file is closed. On Windows other
    // processes may also rename or delete it (needed by Replace while the caller
    // still holds the old file). On POSIX the exclusion is an exclusive lock on the
    // whole file that other writers of the log take too; the opening gives Busy
    // while another process holds that lock, and it always ends up holding the
    // file that `path` names once the lock is taken.
    virtual OpenResult OpenExisting(const std::u16string& path) = 0;

    // Creates a new, empty file for reading and writing, shared with nobody until
    // it is closed. Never touches an existing file: a file already at `path`
    // gives Exists, anything else there (a directory) gives Failed with the error
    // that opening it for writing brings.
    virtual OpenResult CreateNew(const std::u16string& path) = 0;

    // Creates `path` for reading and writing, emptying any file already there,
    // shared with nobody until it is closed. For scratch files of the caller's
    // own.
    virtual OpenResult CreateScratch(const std::u16string& path) = 0;

    // Puts the closed file `replacement` in the place of `path`, which the caller
    // may hold open through OpenExisting (that handle then keeps the old file).
    // On failure `path` keeps its old file. Windows cannot move a file over one
    // that is open, so there the old file is first renamed aside, and for the
    // instant between the two renames `path` does not exist while `replacement`
    // still does: callers that find `path` missing and `replacement` present are
    // looking at a replacement under way.
    virtual ReplaceResult Replace(const std::u16string& replacement, const std::u16string& path) = 0;

    // Deletes the file at `path`; 0 or the error.
    virtual ErrorCode Remove(const std::u16string& path) = 0;

    // The system's text for an error number, in the system's language, without
    // trailing blanks, line breaks and periods.
    virtual std::u16string ErrorText(ErrorCode error) = 0;

    // False when the system refuses paths of 260 characters or more that lack the
    // \\?\ prefix: Windows before Windows 10 build 1607. POSIX: always true.
    virtual bool LongPathsSupported() = 0;
};

// The real file system. Lives for the whole process.
FileSystem& RealFileSystem();

}  // namespace vantrel::platform
