#include "request/run_log.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/error.h"
#include "core/path.h"
#include "core/utf.h"

namespace vantrel::request {

namespace {

using platform::File;
using platform::OpenResult;

// How long a run waits for a log that another run holds, and the pause between
// two tries.
constexpr std::uint64_t kWaitBudgetMs = 2000;
constexpr std::uint32_t kRetryPauseMs = 20;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

enum class Encoding { Ansi, Utf8, Utf16Le, Utf16Be };

// The current directory as the platform reports it, one separator and the log's
// name. At a root such as C:\ the separator doubles, which the system reads as
// one.
std::u16string LogPath(platform::Process& process) {
    return JoinPath(process.CurrentDirectory(), u"LogVantrel.txt", process.PathSeparator());
}

// The date alone at exactly midnight, else the date, a blank and the time.
std::u16string DateTimeText(platform::Clock& clock) {
    const platform::LocalTime now = clock.Now();
    std::u16string text = clock.ShortDate(now);
    if (now.hour != 0 || now.minute != 0 || now.second != 0 || now.millisecond != 0) {
        text += u' ';
        text += clock.LongTime(now);
    }
    return text;
}

[[noreturn]] void FailFile(std::u16string_view what, const std::u16string& path,
                           const std::u16string& reason) {
    std::u16string message(what);
    message += u" \"" + path + u"\". " + reason + u"\r\n[" + path + u"]";
    throw Error(u"EInOutError", message);
}

[[noreturn]] void FailWrite() { throw Error(u"EWriteError", u"Stream write error"); }

// Writes `bytes` at `at`, the file's end. A write that stops early is taken
// back, so that the log never keeps part of a line; what was there stays.
void WriteAll(File& file, std::uint64_t at, std::string_view bytes) {
    if (file.Write(bytes).count == bytes.size()) return;
    file.Truncate(at);
    FailWrite();
}

void AppendAtEnd(File& file, std::string_view bytes) {
    std::uint64_t end = 0;
    if (file.SeekToEnd(end) != 0) FailWrite();
    WriteAll(file, end, bytes);
}

// Removes a scratch file of the caller's on every way out, until it is kept.
class ScratchFile {
public:
    ScratchFile(platform::FileSystem& files, const std::u16string& path) : files_(files), path_(path) {}
    ~ScratchFile() {
        if (!kept_) {
            try {
                files_.Remove(path_);
            } catch (...) {
                // Out of memory on the way out: the next conversion empties it.
            }
        }
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    void Keep() { kept_ = true; }

private:
    platform::FileSystem& files_;
    const std::u16string& path_;
    bool kept_ = false;
};

// Up to `limit` bytes from the current position (all of them when limit is 0).
std::string Read(File& file, std::size_t limit = 0) {
    std::string bytes;
    char buffer[4096];
    for (;;) {
        std::size_t want = sizeof buffer;
        if (limit != 0) {
            if (bytes.size() >= limit) break;
            if (limit - bytes.size() < want) want = limit - bytes.size();
        }
        platform::IoResult got = file.Read(buffer, want);
        if (got.error != 0) throw Error(u"EReadError", u"Stream read error");
        if (got.count == 0) break;
        bytes.append(buffer, got.count);
    }
    return bytes;
}

Encoding Detect(std::string_view head) {
    if (head.starts_with(kUtf8Bom)) return Encoding::Utf8;
    if (head.starts_with("\xFF\xFE")) return Encoding::Utf16Le;
    if (head.starts_with("\xFE\xFF")) return Encoding::Utf16Be;
    return Encoding::Ansi;
}

std::string Utf16Bytes(std::u16string_view text, bool big_endian) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        const auto high = static_cast<char>(c >> 8);
        const auto low = static_cast<char>(c & 0xFF);
        out += big_endian ? high : low;
        out += big_endian ? low : high;
    }
    return out;
}

class RunLog {
public:
    RunLog(platform::Platform& sys, std::u16string path)
        : sys_(sys), path_(std::move(path)), scratch_(path_ + u".tmp") {}

    void Append(const std::u16string& line) {
        std::unique_ptr<File> file = Open();
        switch (Detect(Read(*file, 4))) {
        case Encoding::Utf8: AppendAtEnd(*file, Utf16ToUtf8(line)); break;
        // Never written by this tool; the line goes in the file's own encoding
        // so that the file stays readable as a whole.
        case Encoding::Utf16Le: AppendAtEnd(*file, Utf16Bytes(line, false)); break;
        case Encoding::Utf16Be: AppendAtEnd(*file, Utf16Bytes(line, true)); break;
        case Encoding::Ansi: {
            const platform::CodePage ansi = sys_.locale.AnsiCodePage();
            const std::string bytes = sys_.locale.Encode(ansi, line);
            if (Utf8ToUtf16(bytes) == line) {
                AppendAtEnd(*file, bytes);
            } else {
                MoveToUtf8(*file, ansi, line);
            }
            break;
        }
        }
    }

private:
    bool WaitMore(std::uint64_t deadline) {
        if (sys_.clock.Ticks() >= deadline) return false;
        sys_.clock.Sleep(kRetryPauseMs);
        return true;
    }

    // Opens the log, or creates it when there is none. A log that another run
    // holds is waited for.
    std::unique_ptr<File> Open() {
        platform::FileSystem& files = sys_.files;
        const std::uint64_t deadline = sys_.clock.Ticks() + kWaitBudgetMs;
        bool finished_leftover = false;
        for (;;) {
            OpenResult result;
            bool creating = false;
            if (files.Exists(path_)) {
                result = files.OpenExisting(path_);
            } else if (!finished_leftover && files.Exists(scratch_)) {
                // No log but a converted one beside it: another run is moving it
                // into place. If that does not happen within the wait, the run
                // that wrote it has died on the way; its copy is complete, so the
                // move is finished here.
                if (WaitMore(deadline)) continue;
                files.Replace(scratch_, path_);
                finished_leftover = true;
                continue;
            } else {
                creating = true;
                result = files.CreateNew(path_);
            }
            if (result.status == OpenResult::Status::Opened) return std::move(result.file);
            // Busy: held by another run. Missing or Exists: the log went or came
            // between the look and the open; look again.
            if (result.status != OpenResult::Status::Failed && WaitMore(deadline)) continue;
            FailFile(creating ? u"Cannot create file" : u"Cannot open file", path_,
                     files.ErrorText(result.error));
        }
    }

    // The one-way move from the ANSI form to UTF-8: the byte-order mark, the old
    // content converted, then the line.
    void MoveToUtf8(File& file, platform::CodePage ansi, const std::u16string& line) {
        if (file.Seek(0) != 0) throw Error(u"EReadError", u"Stream read error");
        const std::string old = Read(file);
        std::string content(kUtf8Bom);
        content += Utf16ToUtf8(sys_.locale.Decode(ansi, old));
        content += Utf16ToUtf8(line);
        if (old.empty()) {
            // Nothing to lose: write in place.
            if (file.Seek(0) != 0) FailWrite();
            WriteAll(file, 0, content);
            return;
        }
        // The converted log, beside the log until it takes its place; nothing
        // of it is left when that does not happen, whatever the failure.
        ScratchFile scratch(sys_.files, scratch_);
        WriteScratch(content);
        // The log is still held through `file`: no other run can add a line
        // between the read above and the replacement.
        const std::uint64_t deadline = sys_.clock.Ticks() + kWaitBudgetMs;
        for (;;) {
            platform::ReplaceResult replaced = sys_.files.Replace(scratch_, path_);
            if (replaced.error == 0) {
                scratch.Keep();
                return;
            }
            if (replaced.busy && WaitMore(deadline)) continue;
            FailFile(u"Cannot create file", path_, sys_.files.ErrorText(replaced.error));
        }
    }

    // Writes the converted log beside the log, complete and flushed, and closes
    // it.
    void WriteScratch(std::string_view content) {
        OpenResult created = sys_.files.CreateScratch(scratch_);
        if (created.status != OpenResult::Status::Opened) {
            FailFile(u"Cannot create file", scratch_, sys_.files.ErrorText(created.error));
        }
        const bool written =
            created.file->Write(content).count == content.size() && created.file->Flush() == 0;
        created.file.reset();
        if (!written) FailWrite();
    }

    platform::Platform& sys_;
    const std::u16string path_;
    // The converted log, beside the log until it takes its place.
    const std::u16string scratch_;
};

}  // namespace

void GravaLog(platform::Platform& sys, const std::u16string& Texto) {
    std::u16string line = u"|";
    line += DateTimeText(sys.clock);
    line += u"| ";
    line += Texto;
    line += u"\r\n";
    const std::u16string path = LogPath(sys.process);
    if (path.size() >= 260 && !path.starts_with(u"\\\\?\\") && !sys.files.LongPathsSupported()) {
        throw Error(u"EPathTooLongException", u"The specified path is too long\r\n[" + path + u"]");
    }
    RunLog(sys, path).Append(line);
}

}  // namespace vantrel::request
