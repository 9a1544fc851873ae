// The support trace switched on into memory for the length of a test.
#pragma once

#include "testing/test_only.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/trace.h"

namespace vantrel::testing {

class TraceCapture {
public:
    // The trace counts time by `milliseconds` (always 0 unless given).
    explicit TraceCapture(trace::Milliseconds milliseconds = [] { return std::uint64_t{0}; }) {
        trace::Start(std::make_unique<Into>(lines), std::move(milliseconds));
    }
    ~TraceCapture() { trace::Stop(); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    // The lines written, each whole.
    std::vector<std::string> lines;

    // The lines without their milliseconds, each ended by "\n".
    std::string Text() const {
        std::string text;
        for (const std::string& line : lines)
            text += line.substr(line.find_first_not_of(" 0123456789")) + "\n";
        return text;
    }

private:
    struct Into : trace::Sink {
        explicit Into(std::vector<std::string>& out) : out_(out) {}
        void Write(std::string_view line) override { out_.emplace_back(line); }
        std::vector<std::string>& out_;
    };
};

}  // namespace vantrel::testing
