#include "request/standard_streams.h"

#include <algorithm>

#include "core/ascii.h"
#include "core/error.h"
#include "core/utf.h"

namespace vantrel::request {

namespace {

constexpr char kCtrlZ = 26;

// The two input errors of a request file: it did not open, whatever the reason
// (a file not open for input, shown as "I/O error 104"), or its name had to be
// cut ("Invalid filename").
constexpr std::uint32_t kFileNotOpenForInput = 104;
constexpr std::uint32_t kInvalidFilename = 3;

[[noreturn]] void FailInput(std::u16string message) { throw Error(u"EInOutError", std::move(message)); }

// A request file read as a stream.
class FileReader : public platform::ByteReader {
public:
    explicit FileReader(std::unique_ptr<platform::File> file) : file_(std::move(file)) {}

    platform::ReadResult Read(char* buffer, std::size_t size) override {
        const platform::IoResult got = file_->Read(buffer, size);
        if (got.error != 0) return {platform::ReadResult::Status::Error, 0, got.error};
        if (got.count == 0) return {platform::ReadResult::Status::End, 0, 0};
        return {platform::ReadResult::Status::Data, got.count, 0};
    }

private:
    std::unique_ptr<platform::File> file_;
};

}  // namespace

std::u16string InputErrorText(std::uint32_t error) {
    switch (error) {
    case 2: return u"File not found";
    case 3: return u"Invalid filename";
    case 4: return u"Too many open files";
    case 5: return u"File access denied";
    case 100: return u"Read beyond end of file";
    case 101: return u"Disk full";
    case 106: return u"Invalid numeric input";
    default: return u"I/O error " + Decimal(error);
    }
}

void StandardStreams::RedirectInput(std::u16string path) {
    redirect_cut_ = path.size() > kMaxPath;
    if (redirect_cut_) path.resize(kMaxPath);
    redirect_ = std::move(path);
}

platform::OpenedStream StandardStreams::OpenInput() {
    if (!redirect_) {
        platform::OpenedStream in = console_.OpenStandardInput();
        if (!in.reader) FailInput(InputErrorText(in.error));
        return in;
    }
    platform::OpenResult opened = files_.OpenForReading(*redirect_);
    // An over-long name fails even when its cut form happens to open.
    if (opened.status != platform::OpenResult::Status::Opened)
        FailInput(InputErrorText(kFileNotOpenForInput));
    if (redirect_cut_) FailInput(InputErrorText(kInvalidFilename));
    // Its text is in the ANSI code page, whatever the console uses.
    platform::OpenedStream in;
    in.reader = std::make_unique<FileReader>(std::move(opened.file));
    in.code_page = locale_.AnsiCodePage();
    return in;
}

std::vector<std::u16string> StandardStreams::ReadLines() {
    platform::OpenedStream in = OpenInput();

    // The bytes up to the end of the input or its first byte 26, and at most
    // one byte past the bound, which tells that the request is too large.
    std::string bytes;
    char buffer[16384];
    for (bool more = true; more;) {
        const std::size_t want = std::min(sizeof buffer, kRequestLimit + 1 - bytes.size());
        platform::ReadResult r = in.reader->Read(buffer, want);
        switch (r.status) {
        case platform::ReadResult::Status::Data: {
            std::string_view chunk(buffer, std::min(r.count, want));
            std::size_t z = chunk.find(kCtrlZ);
            if (z != std::string_view::npos) {
                chunk = chunk.substr(0, z);
                more = false;
            }
            bytes.append(chunk);
            if (bytes.size() > kRequestLimit) FailInput(u"Request larger than 8 MiB");
            break;
        }
        case platform::ReadResult::Status::End:
        case platform::ReadResult::Status::BrokenPipe: more = false; break;
        case platform::ReadResult::Status::Error: FailInput(InputErrorText(r.error));
        }
    }

    std::vector<std::u16string> lines;
    std::string line;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        if (c == '\n') {
            lines.push_back(locale_.Decode(in.code_page, line));
            line.clear();
        } else if (c == '\r') {
            if (i + 1 == bytes.size()) {  // a CR right before the end ends the line
                lines.push_back(locale_.Decode(in.code_page, line));
                line.clear();
                return lines;
            }
            // CR LF ends the line at the LF; a CR before anything else is dropped.
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(locale_.Decode(in.code_page, line));
    return lines;
}

void StandardStreams::Write(std::u16string_view text) {
    if (!output_opened_) {
        output_ = console_.OpenStandardOutput();
        output_opened_ = true;
    }
    if (!output_.writer) throw Error(u"EInOutError", InputErrorText(output_.error));
    if (!output_.writer->Write(locale_.Encode(output_.code_page, text))) {
        throw Error(u"EInOutError", u"Disk full");
    }
}

}  // namespace vantrel::request
