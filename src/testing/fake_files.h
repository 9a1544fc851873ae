// An in-memory file system for unit tests, with the failures a real one can
// show: a full disk, a file held by another process, refused creations, a failed
// replacement. Error numbers and texts are Windows' own.
#pragma once

#include "testing/test_only.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "testing/fault_plan.h"

namespace vantrel::platform {

class FakeFileSystem : public FileSystem {
public:
    static constexpr ErrorCode kFileNotFound = 2;
    static constexpr ErrorCode kAccessDenied = 5;
    static constexpr ErrorCode kSharingViolation = 32;
    static constexpr ErrorCode kFileExists = 80;
    static constexpr ErrorCode kDiskFull = 112;

    struct Node {
        std::string bytes;
        bool directory = false;
        int handles = 0;  // files open on it
    };

    // Files and directories by full path.
    std::map<std::u16string, std::shared_ptr<Node>> nodes;

    // Faults. Opens of an existing file refused as held by another process: this
    // many more times, or every time while negative.
    int busy_opens = 0;
    // Opens of an existing file fail with this error.
    ErrorCode open_error = 0;
    // Creations of these paths fail with the given error.
    std::map<std::u16string, ErrorCode> create_errors;
    // Bytes the disk still takes; a write stops there with kDiskFull.
    std::optional<std::size_t> free_space;
    // Reads fail with this error.
    ErrorCode read_error = 0;
    // Replacements fail with this error; as held by another process when busy.
    ErrorCode replace_error = 0;
    bool replace_busy = false;
    bool long_paths = true;
    // Every call that can fail is a failure point of this plan, when set: a
    // look that finds nothing, an open or create refused, a read error, a
    // write that stops half-way on a full disk, a failed seek, flush, cut,
    // replacement or removal.
    FaultPlan* faults = nullptr;
    static constexpr ErrorCode kReadFault = 30;
    static constexpr ErrorCode kSeekError = 25;

    // Counters for what was asked.
    int opens = 0;
    std::vector<std::u16string> opened_for_reading;
    int replaces = 0;

    void Put(const std::u16string& path, std::string bytes) {
        auto node = std::make_shared<Node>();
        node->bytes = std::move(bytes);
        nodes[path] = node;
    }
    void PutDirectory(const std::u16string& path) {
        auto node = std::make_shared<Node>();
        node->directory = true;
        nodes[path] = node;
    }
    bool Has(const std::u16string& path) const { return nodes.count(path) != 0; }
    std::string Bytes(const std::u16string& path) const {
        auto it = nodes.find(path);
        return it == nodes.end() ? std::string() : it->second->bytes;
    }
    int OpenHandles() const {
        int n = 0;
        for (const auto& [path, node] : nodes) n += node->handles;
        return n;
    }

    bool Exists(const std::u16string& path) override {
        if (Faulted(faults, "files.exists")) return false;
        auto it = nodes.find(path);
        return it != nodes.end() && !it->second->directory;
    }

    OpenResult OpenForReading(const std::u16string& path) override {
        ++opens;
        opened_for_reading.push_back(path);
        if (Faulted(faults, "files.open_for_reading"))
            return Refused(OpenResult::Status::Failed, kAccessDenied);
        if (open_error != 0) return Refused(OpenResult::Status::Failed, open_error);
        auto it = nodes.find(path);
        if (it == nodes.end()) return Refused(OpenResult::Status::Failed, kFileNotFound);
        if (it->second->directory) return Refused(OpenResult::Status::Failed, kAccessDenied);
        return Open(it->second);
    }

    OpenResult OpenExisting(const std::u16string& path) override {
        ++opens;
        if (Faulted(faults, "files.open_existing")) return Refused(OpenResult::Status::Failed, kAccessDenied);
        if (busy_opens != 0) {
            if (busy_opens > 0) --busy_opens;
            return Refused(OpenResult::Status::Busy, kSharingViolation);
        }
        if (open_error != 0) return Refused(OpenResult::Status::Failed, open_error);
        auto it = nodes.find(path);
        if (it == nodes.end()) return Refused(OpenResult::Status::Missing, kFileNotFound);
        if (it->second->directory) return Refused(OpenResult::Status::Failed, kAccessDenied);
        if (it->second->handles != 0) return Refused(OpenResult::Status::Busy, kSharingViolation);
        return Open(it->second);
    }

    OpenResult CreateNew(const std::u16string& path) override {
        ++opens;
        if (Faulted(faults, "files.create_new")) return Refused(OpenResult::Status::Failed, kAccessDenied);
        if (auto error = create_errors.find(path); error != create_errors.end()) {
            return Refused(OpenResult::Status::Failed, error->second);
        }
        if (auto it = nodes.find(path); it != nodes.end()) {
            return it->second->directory ? Refused(OpenResult::Status::Failed, kAccessDenied)
                                         : Refused(OpenResult::Status::Exists, kFileExists);
        }
        auto node = std::make_shared<Node>();
        nodes[path] = node;
        return Open(node);
    }

    OpenResult CreateScratch(const std::u16string& path) override {
        if (Faulted(faults, "files.create_scratch"))
            return Refused(OpenResult::Status::Failed, kAccessDenied);
        if (auto error = create_errors.find(path); error != create_errors.end()) {
            return Refused(OpenResult::Status::Failed, error->second);
        }
        auto node = std::make_shared<Node>();
        nodes[path] = node;
        return Open(node);
    }

    ReplaceResult Replace(const std::u16string& replacement, const std::u16string& path) override {
        ++replaces;
        if (Faulted(faults, "files.replace")) return {kAccessDenied, false};
        if (replace_error != 0) return {replace_error, replace_busy};
        auto it = nodes.find(replacement);
        if (it == nodes.end()) return {kFileNotFound, false};
        nodes[path] = it->second;  // an open handle keeps the old node
        nodes.erase(replacement);
        return {};
    }

    ErrorCode Remove(const std::u16string& path) override {
        if (Faulted(faults, "files.remove")) return kAccessDenied;
        return nodes.erase(path) != 0 ? 0 : kFileNotFound;
    }

    std::u16string ErrorText(ErrorCode error) override {
        switch (error) {
        case kFileNotFound: return u"The system cannot find the file specified";
        case kAccessDenied: return u"Access is denied";
        case kSharingViolation:
            return u"The process cannot access the file because it is being used by another process";
        case kFileExists: return u"The file exists";
        case kDiskFull: return u"There is not enough space on the disk";
        default: {
            std::string digits = std::to_string(error);
            return u"Error " + std::u16string(digits.begin(), digits.end());
        }
        }
    }

    bool LongPathsSupported() override { return long_paths; }

private:
    class FakeFile : public File {
    public:
        FakeFile(FakeFileSystem& files, std::shared_ptr<Node> node) : files_(files), node_(std::move(node)) {
            ++node_->handles;
        }
        ~FakeFile() override { --node_->handles; }
        FakeFile(const FakeFile&) = delete;
        FakeFile& operator=(const FakeFile&) = delete;

        IoResult Read(char* buffer, std::size_t size) override {
            if (Faulted(files_.faults, "file.read")) return {0, kReadFault};
            if (files_.read_error != 0) return {0, files_.read_error};
            std::size_t n =
                position_ < node_->bytes.size() ? std::min(size, node_->bytes.size() - position_) : 0;
            std::memcpy(buffer, node_->bytes.data() + position_, n);
            position_ += n;
            return {n, 0};
        }

        IoResult Write(std::string_view bytes) override {
            IoResult result{bytes.size(), 0};
            if (Faulted(files_.faults, "file.write")) result = {bytes.size() / 2, kDiskFull};
            if (files_.free_space && *files_.free_space < bytes.size()) {
                result = {*files_.free_space, kDiskFull};
            }
            if (files_.free_space) *files_.free_space -= result.count;
            std::string& content = node_->bytes;
            if (content.size() < position_ + result.count) content.resize(position_ + result.count);
            content.replace(position_, result.count, bytes.substr(0, result.count));
            position_ += result.count;
            return result;
        }

        ErrorCode Seek(std::uint64_t offset) override {
            if (Faulted(files_.faults, "file.seek")) return kSeekError;
            position_ = static_cast<std::size_t>(offset);
            return 0;
        }

        ErrorCode SeekToEnd(std::uint64_t& end) override {
            if (Faulted(files_.faults, "file.seek_to_end")) return kSeekError;
            position_ = node_->bytes.size();
            end = position_;
            return 0;
        }

        ErrorCode Truncate(std::uint64_t size) override {
            if (Faulted(files_.faults, "file.truncate")) return kDiskFull;
            if (node_->bytes.size() > size) node_->bytes.resize(static_cast<std::size_t>(size));
            return 0;
        }

        ErrorCode Flush() override { return Faulted(files_.faults, "file.flush") ? kDiskFull : 0; }

    private:
        FakeFileSystem& files_;
        std::shared_ptr<Node> node_;
        std::size_t position_ = 0;
    };

    OpenResult Open(std::shared_ptr<Node> node) {
        OpenResult result;
        result.status = OpenResult::Status::Opened;
        result.file = std::make_unique<FakeFile>(*this, std::move(node));
        return result;
    }

    static OpenResult Refused(OpenResult::Status status, ErrorCode error) {
        OpenResult result;
        result.status = status;
        result.error = error;
        return result;
    }
};

}  // namespace vantrel::platform
