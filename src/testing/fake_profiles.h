// Profile files read from the fakes' one file store, for unit tests: the file's
// text (UTF-8 here) parsed as sections and keys, with the names matched without
// regard to the case of ASCII letters and blanks around names and values not
// counting. Set writes a value into the stored file.
#pragma once

#include "testing/test_only.h"

#include <string>
#include <string_view>
#include <vector>

#include "core/utf.h"
#include "platform/profiles.h"
#include "testing/fake_files.h"
#include "testing/fault_plan.h"

namespace vantrel::platform {

class FakeProfiles : public Profiles {
public:
    explicit FakeProfiles(FakeFileSystem& files) : files_(files) {}

    struct Read {
        std::u16string path, section, key, default_value;
    };
    // Every call, in order.
    std::vector<Read> reads;
    // Every read is a failure point of this plan, when set: the file cannot be
    // read, and the default comes back.
    FaultPlan* faults = nullptr;

    // Puts `key`=`value` into `section` of the stored file at `path` (made when
    // missing), replacing the key's value when it is there.
    void Set(const std::u16string& path, const std::u16string& section, const std::u16string& key,
             const std::u16string& value) {
        std::vector<std::string> lines = Lines(files_.Bytes(path));
        const std::string entry = Utf16ToUtf8(key) + "=" + Utf16ToUtf8(value);
        std::size_t at = Section(lines, section);
        if (at == lines.size()) {
            lines.push_back("[" + Utf16ToUtf8(section) + "]");
            lines.push_back(entry);
        } else {
            std::size_t end = at + 1;
            while (end < lines.size() && !Header(lines[end])) ++end;
            std::size_t found = at + 1;
            while (found < end && !SameName(KeyOf(lines[found]), key)) ++found;
            if (found < end)
                lines[found] = entry;
            else
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(end), entry);
        }
        std::string text;
        for (const std::string& line : lines) text += line + "\r\n";
        files_.Put(path, text);
    }

    std::u16string ReadString(const std::u16string& path, const std::u16string& section,
                              const std::u16string& key, const std::u16string& default_value) override {
        reads.push_back({path, section, key, default_value});
        if (Faulted(faults, "profiles.read")) return default_value.substr(0, kValueBuffer - 1);
        std::u16string value = default_value;
        if (files_.Exists(path)) {
            const std::vector<std::string> lines = Lines(files_.Bytes(path));
            std::size_t at = Section(lines, section);
            for (std::size_t i = at + 1; i < lines.size() && !Header(lines[i]); ++i) {
                if (lines[i].find('=') != std::string::npos && SameName(KeyOf(lines[i]), key)) {
                    value = Trim(Utf8ToUtf16(lines[i].substr(lines[i].find('=') + 1)));
                    break;
                }
            }
        }
        return value.substr(0, kValueBuffer - 1);
    }

private:
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            start = end + 1;
        }
        return lines;
    }

    static std::u16string Trim(const std::u16string& text) {
        const auto first = text.find_first_not_of(u" \t");
        if (first == std::u16string::npos) return {};
        return text.substr(first, text.find_last_not_of(u" \t") - first + 1);
    }

    static bool Header(const std::string& line) {
        const std::u16string text = Trim(Utf8ToUtf16(line));
        return text.size() >= 2 && text.front() == u'[' && text.back() == u']';
    }

    static std::u16string KeyOf(const std::string& line) {
        return Trim(Utf8ToUtf16(line.substr(0, line.find('='))));
    }

    static bool SameName(std::u16string_view a, std::u16string_view b) {
        if (a.size() != b.size()) return false;
        auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
        for (std::size_t i = 0; i < a.size(); ++i)
            if (fold(a[i]) != fold(b[i])) return false;
        return true;
    }

    // The index of the header of the first section named `section`, or the
    // number of lines when there is none.
    static std::size_t Section(const std::vector<std::string>& lines, const std::u16string& section) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (!Header(lines[i])) continue;
            const std::u16string text = Trim(Utf8ToUtf16(lines[i]));
            if (SameName(Trim(text.substr(1, text.size() - 2)), Trim(section))) return i;
        }
        return lines.size();
    }

    FakeFileSystem& files_;
};

}  // namespace vantrel::platform
