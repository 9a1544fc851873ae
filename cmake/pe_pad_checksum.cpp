// pe-pad-checksum FILE: pads a PE file with zeros to a multiple of 8 bytes and
// sets its PE checksum, in place, as signing leaves an executable. A host tool
// of scripts/release; exits with 1 and a message when the file is not a PE file
// or cannot be read or written.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "pe_checksum.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pe-pad-checksum FILE\n");
        return 2;
    }
    const char* path = argv[1];
    std::vector<unsigned char> image;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in.is_open()) {
            std::fprintf(stderr, "pe-pad-checksum: cannot open %s\n", path);
            return 1;
        }
        image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in.eof() || in.bad()) {
            std::fprintf(stderr, "pe-pad-checksum: cannot read %s\n", path);
            return 1;
        }
    }
    if (!vantrel::pe::PadAndChecksum(image)) {
        std::fprintf(stderr, "pe-pad-checksum: %s is not a PE file\n", path);
        return 1;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "pe-pad-checksum: cannot write %s\n", path);
        return 1;
    }
    return 0;
}
