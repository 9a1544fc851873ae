// The support trace: one line per event of the run, written as it happens, for a
// technician who switched it on. Off by default; while off, every call below
// returns at once, and callers build their text only behind On().
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vantrel::trace {

// Where the lines go. Each call gets one whole line, without its line end.
class Sink {
public:
    virtual ~Sink() = default;
    virtual void Write(std::string_view line) = 0;
};

// Milliseconds on a monotonic clock with an arbitrary start.
using Milliseconds = std::function<std::uint64_t()>;

// Switches the trace on, to `sink`, counting time from now; a null sink leaves
// it off. Ends any trace before.
void Start(std::unique_ptr<Sink> sink, Milliseconds milliseconds);

// Switches the trace off and lets its sink go.
void Stop();

// Whether the trace is on.
bool On();

// Writes "MS step: text" (the milliseconds right-aligned in five places), with
// every secret given to Conceal replaced by "***" and the rest made plain ASCII.
void Line(std::string_view step, std::u16string_view text);

// From now on, `secret` never appears in a line. Empty texts are ignored.
void Conceal(std::u16string_view secret);

// `text` with every occurrence of `secret` replaced by "***".
std::u16string Masked(std::u16string_view text, std::u16string_view secret);

// `text` as plain ASCII: printable ASCII characters as they are, every other
// UTF-16 code unit as \uXXXX.
std::string PlainAscii(std::u16string_view text);

}  // namespace vantrel::trace
