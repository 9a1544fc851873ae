// A registry of the local machine in memory, for unit tests: keys with values of any type, access rights
// refused, a value that changes between its size query and its read, and a count of open keys.
#pragma once

#include "testing/test_only.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/machine_guid_registry.h"

namespace vantrel::platform {

class FakeRegistry : public MachineRegistry {
public:
    // Values by key path and value name.
    std::map<std::u16string, std::map<std::u16string, RegistryData>> keys;
    // Access masks that opening a key refuses.
    std::set<std::uint32_t> refused_access;
    // Reads of a value fail as if it had grown since its size query.
    bool value_grows = false;

    // What was asked, and how many keys are open now.
    std::vector<std::uint32_t> opened_with;
    std::vector<std::uint32_t> read_sizes;
    int open_keys = 0;

    // A text value as Windows stores it: UTF-16LE with a terminating NUL.
    static RegistryData Text(std::uint32_t type, std::u16string_view text) {
        RegistryData data{type, {}};
        for (char16_t c : text) {
            data.bytes.push_back(static_cast<char>(c & 0xFF));
            data.bytes.push_back(static_cast<char>(c >> 8));
        }
        data.bytes.append(2, '\0');
        return data;
    }

    std::unique_ptr<RegistryKey> OpenMachineKey(const std::u16string& path, std::uint32_t access) override {
        opened_with.push_back(access);
        auto it = keys.find(path);
        if (it == keys.end() || refused_access.count(access) != 0) return nullptr;
        return std::make_unique<Key>(*this, it->second);
    }

private:
    class Key : public RegistryKey {
    public:
        Key(FakeRegistry& owner, std::map<std::u16string, RegistryData>& values)
            : owner_(owner), values_(values) {
            ++owner_.open_keys;
        }
        ~Key() override { --owner_.open_keys; }
        Key(const Key&) = delete;
        Key& operator=(const Key&) = delete;

        std::optional<RegistryValueInfo> QueryValue(const std::u16string& name) override {
            auto it = values_.find(name);
            if (it == values_.end()) return std::nullopt;
            return RegistryValueInfo{it->second.type, static_cast<std::uint32_t>(it->second.bytes.size())};
        }

        std::optional<RegistryData> ReadValue(const std::u16string& name, std::uint32_t size) override {
            owner_.read_sizes.push_back(size);
            auto it = values_.find(name);
            if (it == values_.end() || owner_.value_grows || it->second.bytes.size() > size)
                return std::nullopt;
            return it->second;
        }

    private:
        FakeRegistry& owner_;
        std::map<std::u16string, RegistryData>& values_;
    };
};

}  // namespace vantrel::platform
