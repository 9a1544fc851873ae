#include "testing/registry_value_win32.h"

namespace vantrel::testing {

ScopedRegistryValue::ScopedRegistryValue(HKEY root, std::wstring key, std::wstring name)
    : root_(root), key_(std::move(key)), name_(std::move(name)) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(k, name_.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::string bytes(size, '\0');
        if (RegQueryValueExW(k, name_.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()),
                             &size) == ERROR_SUCCESS) {
            bytes.resize(size);
            saved_ = Saved{type, bytes};
        }
    }
    RegCloseKey(k);
}

ScopedRegistryValue::~ScopedRegistryValue() {
    if (saved_) {
        Set(saved_->type, saved_->bytes);
    } else {
        Remove();
    }
}

bool ScopedRegistryValue::Set(DWORD type, const std::string& bytes) {
    HKEY k = nullptr;
    if (RegCreateKeyExW(root_, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    LONG result = RegSetValueExW(k, name_.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size()));
    RegCloseKey(k);
    return result == ERROR_SUCCESS;
}

bool ScopedRegistryValue::SetText(const std::wstring& text) {
    std::string bytes(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
    return Set(REG_SZ, bytes);
}

bool ScopedRegistryValue::SetDword(DWORD value) {
    return Set(REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value));
}

bool ScopedRegistryValue::Remove() {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return true;
    LONG result = RegDeleteValueW(k, name_.c_str());
    RegCloseKey(k);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

}  // namespace vantrel::testing
