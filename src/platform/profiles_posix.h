// The POSIX profile reader's parse of a file already in memory, apart from the
// file access so that it can be driven with any bytes.
#pragma once

#include <string>
#include <string_view>

namespace vantrel::platform::posix {

// The value of `key` in `section` of a profile file whose content is `bytes`, by
// the rules of Profiles::ReadString; `default_value` (cut to what a value can
// hold) when the file holds no such key.
std::u16string ProfileValue(std::string_view bytes, std::u16string_view section, std::u16string_view key,
                            const std::u16string& default_value);

}  // namespace vantrel::platform::posix
