// Windows profile (INI) files, read the way GetPrivateProfileStringW reads them.
#pragma once

#include <cstddef>
#include <string>

namespace vantrel::platform {

class Profiles {
public:
    // Characters a value can hold, its terminating NUL included: longer values are
    // cut to kValueBuffer - 1 characters.
    static constexpr std::size_t kValueBuffer = 2048;

    virtual ~Profiles() = default;

    // The value of `key` in `section` of the profile file at `path`, or
    // `default_value` when the file cannot be read or holds no such key.
    // Section and key names match without regard to the case of ASCII letters;
    // blanks around names and values do not count; one pair of matching quotes
    // around a value is removed; the first section of a name, and in it the first
    // key of a name, is the one read. Never fails.
    virtual std::u16string ReadString(const std::u16string& path, const std::u16string& section,
                                      const std::u16string& key, const std::u16string& default_value) = 0;
};

// The real profile service. Lives for the whole process.
Profiles& RealProfiles();

}  // namespace vantrel::platform
