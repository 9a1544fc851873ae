// The two edits that signing makes to a PE file, done to the unsigned build so
// that a signature taken off again gives back exactly that build: zeros to a
// multiple of 8 bytes, and the optional header's CheckSum field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vantrel::pe {

// Offset of the CheckSum field of the optional header (PE32 and PE32+ alike:
// 88 bytes after the "PE\0\0" signature that the DOS header's e_lfanew, at
// offset 60, points to), or none when `image` is not a PE file.
inline std::optional<std::size_t> ChecksumOffset(const std::vector<unsigned char>& image) {
    if (image.size() < 64) return std::nullopt;
    const std::size_t pe = image[60] | image[61] << 8 | image[62] << 16 | std::size_t{image[63]} << 24;
    if (pe > image.size() || image.size() - pe < 92) return std::nullopt;
    if (image[pe] != 'P' || image[pe + 1] != 'E' || image[pe + 2] != 0 || image[pe + 3] != 0)
        return std::nullopt;
    return pe + 88;
}

// The PE checksum as Windows computes it (CheckSumMappedFile): the file's
// little-endian 16-bit words summed with end-around carry, the four bytes at
// `field` left out (a last odd byte counts as a word of its own), plus the
// file's length.
inline std::uint32_t Checksum(const std::vector<unsigned char>& image, std::size_t field) {
    const std::size_t skip = field / 2 * 2;  // the field's two words
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < image.size(); i += 2) {
        if (i >= skip && i < skip + 4) continue;
        sum += image[i] | (i + 1 < image.size() ? image[i + 1] << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + static_cast<std::uint32_t>(image.size());
}

// Pads `image` with zeros to a multiple of 8 bytes and writes its checksum into
// it. False, and `image` as it was, when it is not a PE file.
inline bool PadAndChecksum(std::vector<unsigned char>& image) {
    const std::optional<std::size_t> field = ChecksumOffset(image);
    if (!field) return false;
    image.resize((image.size() + 7) / 8 * 8, 0);
    const std::uint32_t sum = Checksum(image, *field);
    for (int i = 0; i < 4; ++i) image[*field + i] = static_cast<unsigned char>(sum >> (8 * i));
    return true;
}

}  // namespace vantrel::pe
