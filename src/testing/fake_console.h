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
#include "testing/fake_locale.h"
#include "testing/fault_plan.h"

namespace vantrel::platform {

// Hands out the given bytes in reads of at most `chunk` bytes, then ends the way
// it is told to.
class FakeReader : public ByteReader {
public:
    FakeReader(std::string bytes, ReadResult ending, std::size_t chunk = 4096, FaultPlan* faults = nullptr)
        : bytes_(std::move(bytes)), ending_(ending), chunk_(chunk), faults_(faults) {}

    ReadResult Read(char* buffer, std::size_t size) override {
        ++reads;
        if (Faulted(faults_, "console.read")) return {ReadResult::Status::Error, 0, kReadFault};
        if (pos_ >= bytes_.size()) return ending_;
        std::size_t n = std::min({size, chunk_, bytes_.size() - pos_});
        std::copy_n(bytes_.data() + pos_, n, buffer);
        pos_ += n;
        return {ReadResult::Status::Data, n, 0};
    }

    int reads = 0;
    static constexpr std::uint32_t kReadFault = 30;

private:
    std::string bytes_;
    std::size_t pos_ = 0;
    ReadResult ending_;
    std::size_t chunk_;
    FaultPlan* faults_;
};

class FakeWriter : public ByteWriter {
public:
    FakeWriter(std::string& sink, bool fail, FaultPlan* faults = nullptr)
        : sink_(sink), fail_(fail), faults_(faults) {}
    bool Write(std::string_view bytes) override {
        if (Faulted(faults_, "console.write") || fail_) return false;
        sink_.append(bytes);
        return true;
    }

private:
    std::string& sink_;
    bool fail_;
    FaultPlan* faults_;
};

class FakeConsole : public Console {
public:
    FakeConsole() : locale(own_locale_) {}
    // Streams that are not consoles take the ANSI code page of `shared`.
    explicit FakeConsole(FakeLocale& shared) : locale(shared) {}
    FakeConsole(const FakeConsole&) = delete;
    FakeConsole& operator=(const FakeConsole&) = delete;

    // Standard input.
    std::string stdin_bytes;
    ReadResult stdin_ending{ReadResult::Status::End, 0, 0};
    std::uint32_t stdin_open_error = 0;
    CodePage console_input = 850;
    CodePage console_output = 850;
    bool stdin_is_console = false;
    bool stdout_is_console = false;

    // Standard output.
    std::string stdout_bytes;
    bool stdout_fails = false;
    std::uint32_t stdout_open_error = 0;

    // What was opened, in order.
    std::vector<std::u16string> opened;

    // Opening either stream, each read and each write are failure points of
    // this plan, when set: error 6 (an unusable handle), a read error, a
    // failed write.
    FaultPlan* faults = nullptr;
    static constexpr std::uint32_t kInvalidHandle = 6;

    OpenedStream OpenStandardInput() override {
        opened.push_back(u"<stdin>");
        OpenedStream s;
        if (Faulted(faults, "console.open_input")) {
            s.error = kInvalidHandle;
            return s;
        }
        if (stdin_open_error != 0) {
            s.error = stdin_open_error;
            return s;
        }
        s.reader = std::make_unique<FakeReader>(stdin_bytes, stdin_ending, 4096, faults);
        s.code_page = stdin_is_console ? console_input : locale.ansi;
        return s;
    }

    OpenedStream OpenStandardOutput() override {
        opened.push_back(u"<stdout>");
        OpenedStream s;
        if (Faulted(faults, "console.open_output")) {
            s.error = kInvalidHandle;
            return s;
        }
        if (stdout_open_error != 0) {
            s.error = stdout_open_error;
            return s;
        }
        s.writer = std::make_unique<FakeWriter>(stdout_bytes, stdout_fails, faults);
        s.code_page = stdout_is_console ? console_output : locale.ansi;
        return s;
    }

private:
    FakeLocale own_locale_;

public:
    // Its ANSI code page is the one of the streams that are not consoles.
    FakeLocale& locale;
};

}  // namespace vantrel::platform
