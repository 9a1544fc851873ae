// Profile files held in memory, for unit tests: values set by path, section and
// key, names matched without regard to ASCII letter case.
#pragma once

#include "testing/test_only.h"

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/profiles.h"

namespace vantrel::platform {

class FakeProfiles : public Profiles {
public:
    struct Read {
        std::u16string path, section, key, default_value;
    };
    // Every call, in order.
    std::vector<Read> reads;

    void Set(const std::u16string& path, const std::u16string& section, const std::u16string& key,
             std::u16string value) {
        values_[{path, Fold(section), Fold(key)}] = std::move(value);
    }

    std::u16string ReadString(const std::u16string& path, const std::u16string& section,
                              const std::u16string& key, const std::u16string& default_value) override {
        reads.push_back({path, section, key, default_value});
        auto it = values_.find({path, Fold(section), Fold(key)});
        const std::u16string& value = it == values_.end() ? default_value : it->second;
        return value.substr(0, kValueBuffer - 1);
    }

private:
    static std::u16string Fold(std::u16string name) {
        for (auto& c : name)
            if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
        return name;
    }
    std::map<std::tuple<std::u16string, std::u16string, std::u16string>, std::u16string> values_;
};

}  // namespace vantrel::platform
