// Standard streams held in memory, with a Latin-1 stand-in for every 8-bit code
// page (code page 65001 is UTF-8), for unit tests.
#pragma once

#include "testing/test_only.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/utf.h"
#include "platform/console.h"

namespace vantrel::platform {

// Hands out the given bytes in reads of at most `chunk` bytes, then ends the way
// it is told to.
class FakeReader : public ByteReader {
public:
    FakeReader(std::string bytes, ReadResult ending, std::size_t chunk = 4096)
        : bytes_(std::move(bytes)), ending_(ending), chunk_(chunk) {}

    ReadResult Read(char* buffer, std::size_t size) override {
        ++reads;
        if (pos_ >= bytes_.size()) return ending_;
        std::size_t n = std::min({size, chunk_, bytes_.size() - pos_});
        std::copy_n(bytes_.data() + pos_, n, buffer);
        pos_ += n;
        return {ReadResult::Status::Data, n, 0};
    }

    int reads = 0;

private:
    std::string bytes_;
    std::size_t pos_ = 0;
    ReadResult ending_;
    std::size_t chunk_;
};

class FakeWriter : public ByteWriter {
public:
    explicit FakeWriter(std::string& sink, bool fail) : sink_(sink), fail_(fail) {}
    bool Write(std::string_view bytes) override {
        if (fail_) return false;
        sink_.append(bytes);
        return true;
    }

private:
    std::string& sink_;
    bool fail_;
};

class FakeConsole : public Console {
public:
    static constexpr CodePage kUtf8 = 65001;

    // Standard input.
    std::string stdin_bytes;
    ReadResult stdin_ending{ReadResult::Status::End, 0, 0};
    std::uint32_t stdin_open_error = 0;
    CodePage ansi = 1252;
    CodePage console_input = 850;
    CodePage console_output = 850;
    bool stdin_is_console = false;
    bool stdout_is_console = false;

    // Request files by path; a path not listed does not open.
    std::vector<std::pair<std::u16string, std::string>> files;

    // Standard output.
    std::string stdout_bytes;
    bool stdout_fails = false;
    std::uint32_t stdout_open_error = 0;

    // What was opened, in order.
    std::vector<std::u16string> opened;

    CodePage AnsiCodePage() override { return ansi; }

    OpenedStream OpenStandardInput() override {
        opened.push_back(u"<stdin>");
        OpenedStream s;
        if (stdin_open_error != 0) {
            s.error = stdin_open_error;
            return s;
        }
        s.reader = std::make_unique<FakeReader>(stdin_bytes, stdin_ending);
        s.code_page = stdin_is_console ? console_input : ansi;
        return s;
    }

    OpenedStream OpenRequestFile(const std::u16string& path) override {
        opened.push_back(path);
        OpenedStream s;
        for (const auto& [name, bytes] : files) {
            if (name == path) {
                s.reader = std::make_unique<FakeReader>(bytes, ReadResult{ReadResult::Status::End, 0, 0});
                s.code_page = ansi;
                return s;
            }
        }
        s.error = 2;
        return s;
    }

    OpenedStream OpenStandardOutput() override {
        opened.push_back(u"<stdout>");
        OpenedStream s;
        if (stdout_open_error != 0) {
            s.error = stdout_open_error;
            return s;
        }
        s.writer = std::make_unique<FakeWriter>(stdout_bytes, stdout_fails);
        s.code_page = stdout_is_console ? console_output : ansi;
        return s;
    }

    std::u16string Decode(CodePage code_page, std::string_view bytes) override {
        if (code_page == kUtf8) return Utf8ToUtf16(bytes);
        std::u16string out;
        for (unsigned char b : bytes) out += static_cast<char16_t>(b);
        return out;
    }

    std::string Encode(CodePage code_page, std::u16string_view text) override {
        if (code_page == kUtf8) return Utf16ToUtf8(text);
        std::string out;
        for (char16_t c : text) out += c < 0x100 ? static_cast<char>(c) : '?';
        return out;
    }
};

}  // namespace vantrel::platform
