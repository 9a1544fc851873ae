// The padding and checksum of pe-pad-checksum on a small PE file built here,
// whose checksum is known: osslsigncode computes 0x451E for it
// (`osslsigncode verify -in FILE` prints "Calculated PE checksum").
#include "pe_checksum.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <vector>

namespace vantrel::pe {
namespace {

void Put16(std::vector<unsigned char>& b, std::size_t at, unsigned value) {
    b[at] = static_cast<unsigned char>(value);
    b[at + 1] = static_cast<unsigned char>(value >> 8);
}

void Put32(std::vector<unsigned char>& b, std::size_t at, std::uint32_t value) {
    Put16(b, at, value & 0xFFFF);
    Put16(b, at + 2, value >> 16);
}

// A 32-bit console program with one section of 512 bytes of code (a "ret" and a
// pattern), headers at 0x40, and 5 bytes of trailing data: 1029 bytes, which is
// not a multiple of 8.
std::vector<unsigned char> SmallProgram() {
    std::vector<unsigned char> b(0x400, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, 0x40);  // e_lfanew
    b[0x40] = 'P';
    b[0x41] = 'E';
    // File header: i386, one section, the optional header's size, executable 32-bit.
    Put16(b, 0x44, 0x14C);
    Put16(b, 0x46, 1);
    Put16(b, 0x54, 0xE0);
    Put16(b, 0x56, 0x0102);
    // Optional header (PE32).
    const std::size_t o = 0x58;
    Put16(b, o, 0x10B);
    b[o + 2] = 2;
    b[o + 3] = 30;
    Put32(b, o + 4, 0x200);      // size of code
    Put32(b, o + 16, 0x1000);    // entry point
    Put32(b, o + 20, 0x1000);    // base of code
    Put32(b, o + 24, 0x2000);    // base of data
    Put32(b, o + 28, 0x400000);  // image base
    Put32(b, o + 32, 0x1000);    // section alignment
    Put32(b, o + 36, 0x200);     // file alignment
    Put16(b, o + 40, 4);         // operating system version 4.0
    Put16(b, o + 48, 4);         // subsystem version 4.0
    Put32(b, o + 56, 0x2000);    // size of image
    Put32(b, o + 60, 0x200);     // size of headers
    Put16(b, o + 68, 3);         // console
    Put32(b, o + 72, 0x100000);  // stack reserve
    Put32(b, o + 76, 0x1000);    // stack commit
    Put32(b, o + 80, 0x100000);  // heap reserve
    Put32(b, o + 84, 0x1000);    // heap commit
    Put32(b, o + 92, 16);        // data directories
    // The section ".text".
    const std::size_t s = o + 0xE0;
    const char name[] = ".text";
    for (std::size_t i = 0; i < 5; ++i) b[s + i] = static_cast<unsigned char>(name[i]);
    Put32(b, s + 8, 0x10);
    Put32(b, s + 12, 0x1000);
    Put32(b, s + 16, 0x200);
    Put32(b, s + 20, 0x200);
    Put32(b, s + 36, 0x60000020);
    for (std::size_t i = 0x200; i < 0x400; ++i) b[i] = static_cast<unsigned char>(i * 7 + 3);
    b[0x200] = 0xC3;
    for (unsigned char extra = 1; extra <= 5; ++extra) b.push_back(extra);
    return b;
}

constexpr std::size_t kField = 0x40 + 88;

std::uint32_t FieldOf(const std::vector<unsigned char>& b) {
    return b[kField] | b[kField + 1] << 8 | b[kField + 2] << 16 |
           static_cast<std::uint32_t>(b[kField + 3]) << 24;
}

TEST(PeChecksumTest, PadsAndSetsTheChecksumThatOsslsigncodeComputes) {
    const std::vector<unsigned char> original = SmallProgram();
    ASSERT_EQ(original.size(), 1029u);
    ASSERT_EQ(ChecksumOffset(original), kField);

    std::vector<unsigned char> image = original;
    ASSERT_TRUE(PadAndChecksum(image));
    ASSERT_EQ(image.size(), 1032u);
    EXPECT_EQ(FieldOf(image), 0x451Eu);
    // Nothing else changed: the original bytes, then zeros.
    for (std::size_t i = 0; i < image.size(); ++i) {
        if (i >= kField && i < kField + 4) continue;
        ASSERT_EQ(image[i], i < original.size() ? original[i] : 0) << "at " << i;
    }

    // The field's old value does not count, and a second run changes nothing.
    std::vector<unsigned char> again = image;
    Put32(again, kField, 0xDEADBEEF);
    ASSERT_TRUE(PadAndChecksum(again));
    EXPECT_EQ(again, image);
}

TEST(PeChecksumTest, ChecksumRule) {
    // Every word but the field's counts, with the carry folded back in, a last
    // odd byte as a word of its own, and the length added.
    std::vector<unsigned char> bytes = {0xFF, 0xFF, 0x02, 0x00, 0x11, 0x22, 0x33, 0x44, 0x07};
    EXPECT_EQ(Checksum(bytes, 4), 2u + 7 + 9);  // 0xFFFF + 2 folds to 2
    EXPECT_EQ(Checksum(bytes, 100), 2u + 0x2211 + 0x4433 + 7 + 9);
}

TEST(PeChecksumTest, RefusesWhatIsNotAPeFile) {
    std::vector<unsigned char> program = SmallProgram();
    std::vector<unsigned char> no_signature = program;
    no_signature[0x41] = 'X';
    std::vector<unsigned char> pointing_past_the_end = program;
    Put32(pointing_past_the_end, 0x3C, 0xFFFFFFF0);
    std::vector<unsigned char> headers_cut_short(program.begin(), program.begin() + 0x40 + 90);
    const std::vector<unsigned char> refused[] = {
        {}, std::vector<unsigned char>(63, 0), no_signature, pointing_past_the_end, headers_cut_short,
    };
    for (std::size_t i = 0; i < std::size(refused); ++i) {
        SCOPED_TRACE(i);
        std::vector<unsigned char> image = refused[i];
        EXPECT_FALSE(ChecksumOffset(image));
        EXPECT_FALSE(PadAndChecksum(image));
        EXPECT_EQ(image, refused[i]);
    }
}

}  // namespace
}  // namespace vantrel::pe
