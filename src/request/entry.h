// One run of the tool: start-up, the command line, the request, shutdown.
#pragma once

#include "platform/platform.h"

namespace vantrel::request {

// Serves the one request of this process and returns the exit code (0).
// Whatever fails, standard output gets one complete result document, and a
// failure that leaves the request cycle the last-resort line after it. Fails
// only when that line itself cannot be written.
int Run(platform::Platform& sys);

// The last-resort line of memory exhaustion.
inline constexpr char16_t kOutOfMemoryLine[] = u"EOutOfMemory: Out of memory\r\n";

// The request file for "STDIN" mode: an argument without a directory part (no
// separator; on Windows no colon either) is taken from the current directory.
std::u16string RequestFilePath(platform::Process& process, const std::u16string& argument);

}  // namespace vantrel::request
