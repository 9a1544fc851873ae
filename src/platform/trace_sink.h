// Where the support trace goes: standard error, or a file the lines are
// appended to. Each line is written at once, with the platform's line end.
#pragma once

#include <memory>
#include <string>

#include "core/trace.h"

namespace vantrel::platform {

// The sink that the value of VANTREL_TRACE names: "1" is standard error, any
// other non-empty value a file path (appended to, created when missing). Null
// when `setting` is empty, when the file cannot be opened, and on Windows when
// the process has no standard error handle.
std::unique_ptr<trace::Sink> OpenTraceSink(const std::u16string& setting);

}  // namespace vantrel::platform
