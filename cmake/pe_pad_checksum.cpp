// pe-pad-checksum FILE: pads a PE file with zeros to a multiple of 8 bytes and
// sets its PE checksum, in place, as signing leaves an executable. A host tool
// of scripts/release; exits with 1 and a message when the file is not a PE file
// or cannot be read or written.
#include <cstdio>
#include <vector>

#include "pe_checksum.h"

namespace {

bool ReadAll(const char* path, std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    unsigned char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    const bool ok = std::ferror(file) == 0;
    return std::fclose(file) == 0 && ok;
}

bool WriteAll(const char* path, const std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pe-pad-checksum FILE\n");
        return 2;
    }
    const char* path = argv[1];
    std::vector<unsigned char> image;
    if (!ReadAll(path, image)) {
        std::fprintf(stderr, "pe-pad-checksum: cannot read %s\n", path);
        return 1;
    }
    if (!vantrel::pe::PadAndChecksum(image)) {
        std::fprintf(stderr, "pe-pad-checksum: %s is not a PE file\n", path);
        return 1;
    }
    if (!WriteAll(path, image)) {
        std::fprintf(stderr, "pe-pad-checksum: cannot write %s\n", path);
        return 1;
    }
    return 0;
}
