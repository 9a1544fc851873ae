// The one root of every failure the tool raises.
//
// A failure carries a kind name (such as "EInOutError" or "EJSONException") and a
// message, both UTF-16. Kind names are data: they appear verbatim in the result
// document and in the last-resort line, so callers spell them exactly as the output
// format requires. There is deliberately no class per kind.
//
// The standard library's own exceptions (memory exhaustion above all) are not
// Errors; CurrentFailure turns whichever is on its way into the Error it stands
// for, so that the places that report failures handle every exception alike.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace vantrel {

class Error : public std::exception {
public:
    Error(std::u16string kind, std::u16string message)
        : kind_(std::move(kind)), message_(std::move(message)) {}

    const std::u16string& kind() const noexcept { return kind_; }
    const std::u16string& message() const noexcept { return message_; }

    // For debuggers and test output only; the tool never prints this.
    const char* what() const noexcept override { return "vantrel::Error"; }

private:
    std::u16string kind_;
    std::u16string message_;
};

// The kind name and message of memory exhaustion, as the runtime names them.
inline constexpr char16_t kOutOfMemoryKind[] = u"EOutOfMemory";
inline constexpr char16_t kOutOfMemoryMessage[] = u"Out of memory";

// The failure that the exception being handled stands for; call it only inside
// a catch block. An Error is itself. Memory exhaustion (std::bad_alloc, and
// std::length_error: a size beyond what a string or a buffer can hold) is
// "EOutOfMemory", "Out of memory". Any other exception (which nothing in the
// tool throws) is "Exception" with the runtime's text for it.
Error CurrentFailure();

}  // namespace vantrel
