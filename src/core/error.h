// The one root of every failure the tool raises.
//
// A failure carries a kind name (such as "EInOutError" or "EJSONException") and a
// message, both UTF-16. Kind names are data: they appear verbatim in the result
// document and in the last-resort line, so callers spell them exactly as the output
// format requires. There is deliberately no class per kind.
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

}  // namespace vantrel
