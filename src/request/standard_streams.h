// The tool's standard input and output: 8-bit text streams opened on first use.
//
// Input is read as lines (LF, CR LF, or a CR right before the end; a CR before
// anything else is dropped), up to the end of the bytes, a broken pipe, or the
// first byte 26 (Ctrl-Z), and never more than 8 MiB of it. Each line is
// decoded from the stream's code page.
// Input can be redirected once to a request file, which is then opened at the
// first read instead of the process's standard input.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/locale.h"

namespace vantrel::request {

// The message of a failed input operation for a system error number.
std::u16string InputErrorText(std::uint32_t error);

class StandardStreams {
public:
    StandardStreams(platform::Console& console, platform::FileSystem& files, platform::Locale& locale)
        : console_(console), files_(files), locale_(locale) {}

    // Standard input now comes from the file at `path`. A path longer than
    // `kMaxPath` code units is cut to that length, and reading it then fails
    // whatever the cut path names.
    void RedirectInput(std::u16string path);
    static constexpr std::size_t kMaxPath = 259;

    // Reads the whole input as lines, without their terminators. Fails with
    // "EInOutError" when the input cannot be opened, a read fails, or the
    // input holds more than kRequestLimit bytes before its end (nothing past
    // the bound is read, but for the one byte that shows it).
    std::vector<std::u16string> ReadLines();
    static constexpr std::size_t kRequestLimit = std::size_t{8} << 20;

    // Writes `text` to standard output in its code page. Fails with
    // "EInOutError" when the output cannot be opened or written. Running out
    // of memory here leaves nothing written, so the caller may try again.
    void Write(std::u16string_view text);

private:
    platform::OpenedStream OpenInput();

    platform::Console& console_;
    platform::FileSystem& files_;
    platform::Locale& locale_;
    std::optional<std::u16string> redirect_;
    bool redirect_cut_ = false;
    platform::OpenedStream output_;
    bool output_opened_ = false;
};

}  // namespace vantrel::request
