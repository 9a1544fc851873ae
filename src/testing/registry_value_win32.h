// A registry value that a test sets for itself: what was there before (or
// its absence) is put back when the object goes.
#pragma once

#include "testing/test_only.h"

#include <windows.h>

#include <optional>
#include <string>

namespace vantrel::testing {

class ScopedRegistryValue {
public:
    ScopedRegistryValue(HKEY root, std::wstring key, std::wstring name);
    ~ScopedRegistryValue();
    ScopedRegistryValue(const ScopedRegistryValue&) = delete;
    ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;

    // The value becomes `bytes` of type `type` (the key is made when missing).
    bool Set(DWORD type, const std::string& bytes);
    bool SetText(const std::wstring& text);  // REG_SZ with its terminating NUL
    bool SetDword(DWORD value);
    bool Remove();

private:
    struct Saved {
        DWORD type;
        std::string bytes;
    };
    HKEY root_;
    std::wstring key_;
    std::wstring name_;
    std::optional<Saved> saved_;
};

}  // namespace vantrel::testing
