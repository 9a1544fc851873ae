// The real library loader, on the platform the test is built for.
#include "platform/libraries.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/utf.h"

namespace vantrel::platform {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr char16_t kSystemLibrary[] = u"kernel32.dll";
constexpr char kSystemFunction[] = "GetTickCount";
// Not a library for this processor: Windows says "bad executable format".
const std::string kForeignBytes = "this is no library";
#else
constexpr char16_t kSystemLibrary[] = u"libc.so.6";
constexpr char kSystemFunction[] = "strlen";
// The header of a 32-bit ELF file, which a 64-bit process cannot load (and the
// other way round for a 32-bit build).
const std::string kForeignBytes = [] {
    std::string header("\x7F"
                       "ELF",
                       4);
    header += sizeof(void*) == 8 ? '\x01' : '\x02';  // the other word size
    header += "\x01\x01";                            // little-endian, version 1
    header.resize(4096, '\0');
    return header;
}();
#endif

TEST(LibrariesTest, LoadsASystemLibraryAndFindsItsFunctions) {
    LibraryLoad load = RealLibraries().Load(kSystemLibrary);
    ASSERT_TRUE(load.library);
    EXPECT_NE(load.library->Symbol(kSystemFunction), nullptr);
    EXPECT_EQ(load.library->Symbol("vantrel_no_such_function"), nullptr);
}

TEST(LibrariesTest, MissingLibraryIsReportedWithTheSystemsText) {
    LibraryLoad load = RealLibraries().Load(u"vantrel-no-such-library.so.7");
    EXPECT_FALSE(load.library);
    EXPECT_FALSE(load.other_architecture);
    ASSERT_FALSE(load.error_text.empty());
    EXPECT_NE(load.error_text.back(), u'.');
    EXPECT_NE(load.error_text.back(), u'\n');
#ifdef _WIN32
    EXPECT_EQ(load.error, 126u);  // ERROR_MOD_NOT_FOUND
#else
    EXPECT_NE(load.error_text.find(u"vantrel-no-such-library.so.7"), std::u16string::npos);
#endif
}

TEST(LibrariesTest, FileForAnotherArchitectureIsNamedAsSuch) {
    fs::path file = fs::temp_directory_path() / "vantrel-foreign-library.dll";
    std::ofstream(file, std::ios::binary) << kForeignBytes;
    LibraryLoad load = RealLibraries().Load(fs::absolute(file).u16string());
    fs::remove(file);
    EXPECT_FALSE(load.library);
    EXPECT_TRUE(load.other_architecture) << Utf16ToUtf8(load.error_text);
#ifdef _WIN32
    EXPECT_EQ(load.error, 193u);  // ERROR_BAD_EXE_FORMAT
    // The system's "%1 is not a valid Win32 application" names the file.
    EXPECT_EQ(load.error_text.find(u"%1"), std::u16string::npos);
#endif
}

}  // namespace
}  // namespace vantrel::platform
