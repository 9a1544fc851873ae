// The run log: one dated line per run, appended to LogVantrel.txt in the current
// directory.
#pragma once

#include <string>

#include "platform/platform.h"

namespace vantrel::request {

// Appends "|<date-time>| <Texto>" and CR LF to the run log, creating the log when
// there is none. The log is ANSI text until a line does not survive the ANSI code
// page; it then turns, once and for good, into UTF-8 behind a byte-order mark:
// the converted log is written beside the old one and then takes its place, so a
// failure part-way leaves the old log whole. A log held by another run is waited
// for, up to 2 seconds. Failures leave as vantrel::Error: "EPathTooLongException",
// "EInOutError" (cannot open or create), "EReadError" or "EWriteError".
void GravaLog(platform::Platform& sys, const std::u16string& Texto);

}  // namespace vantrel::request
