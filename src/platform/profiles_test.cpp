// One table of profile-file cases, run against the real profile service of the
// platform the test is built for: the project's own reader on POSIX, and
// GetPrivateProfileStringW on Windows (under Wine). The two cannot drift apart.
#include "platform/profiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/utf.h"
#include "platform/locale.h"

namespace vantrel::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

constexpr char16_t kDefault[] = u"(default)";

// The name of a section and a key, and the value the lookup must give.
struct Lookup {
    std::u16string section, key, expected;
};

struct Case {
    const char* what;
    std::string bytes;
    std::vector<Lookup> lookups;
};

std::string Utf16(std::u16string_view text, bool little) {
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t c : text) {
        char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        bytes += little ? std::string{lo, hi} : std::string{hi, lo};
    }
    return bytes;
}

std::u16string Repeat(std::size_t n, char16_t c) { return std::u16string(n, c); }

class ProfilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("vantrel-profiles-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A file of its own for every case: the Windows service caches what it read.
    std::u16string Write(const std::string& bytes) {
        fs::path path = dir / ("case" + std::to_string(++files_) + ".ini");
        std::ofstream(path, std::ios::binary) << bytes;
        return path.u16string();
    }

    Profiles& profiles = RealProfiles();
    fs::path dir;

private:
    int files_ = 0;
};

TEST_F(ProfilesTest, CasesReadAsWindowsReadsThem) {
    const std::string long_a(3000, 'a');
    // Text without a byte-order mark is in the ANSI code page (POSIX: the locale's
    // codeset).
    Locale& locale = RealLocale();
    const std::u16string ansi_cafe = locale.Decode(locale.AnsiCodePage(), "caf\xE9");

    const Case cases[] = {
        {"names in any letter case",
         "[config]\r\nServer=host1\r\n",
         {{u"CONFIG", u"SERVER", u"host1"}, {u"Config", u"sErVeR", u"host1"}}},
        {"blanks around names and values",
         "  [ CONFIG ]  \r\n \t SERVER \t=\t host1 \t\r\nMY KEY =  x  y  \r\n"
         "BASE=\x0B\x0C\x1A"
         "v\x1A\r\n",
         {{u"CONFIG", u"SERVER", u"host1"},
          {u" CONFIG ", u" SERVER\t", u"host1"},
          {u"CONFIG", u"MY KEY", u"x  y"},
          {u"CONFIG", u"BASE", u"v"}}},
        {"one pair of matching quotes removed",
         "[CONFIG]\r\nA= \"C:\\ERP\\DADOS.FDB\" \r\nB='x'\r\nC=\" a \"\r\nD=\"\"\r\nE=\"p1\r\n"
         "F=\"\r\nG='a\"\r\nH=\"\"\"\r\nI=\"a\" \"b\"\r\n",
         {{u"CONFIG", u"A", u"C:\\ERP\\DADOS.FDB"},
          {u"CONFIG", u"B", u"x"},
          {u"CONFIG", u"C", u" a "},
          {u"CONFIG", u"D", u""},
          {u"CONFIG", u"E", u"\"p1"},
          {u"CONFIG", u"F", u"\""},
          {u"CONFIG", u"G", u"'a\""},
          {u"CONFIG", u"H", u"\""},
          {u"CONFIG", u"I", u"a\" \"b"}}},
        {"a semicolon line is no key of the name after it",
         "[CONFIG]\r\n;SERVER=old\r\n;BASE=old\r\nSERVER=new\r\nUSER=a ; note\r\n",
         {{u"CONFIG", u"SERVER", u"new"}, {u"CONFIG", u"BASE", kDefault}, {u"CONFIG", u"USER", u"a ; note"}}},
        {"the first key of a name counts",
         "[CONFIG]\r\nSERVER=first\r\nserver=second\r\nBASE\r\nBASE=shadowed\r\n",
         {{u"CONFIG", u"SERVER", u"first"}, {u"CONFIG", u"BASE", kDefault}}},
        {"the first section of a name counts",
         "SERVER=before\r\n[CONFIG]\r\nSERVER=a\r\n[OTHER]\r\nX=1\r\n[config]\r\nSERVER=b\r\nBASE=c\r\n",
         {{u"CONFIG", u"SERVER", u"a"}, {u"CONFIG", u"BASE", kDefault}, {u"OTHER", u"X", u"1"}}},
        {"line forms",
         "[CONFIG] note\nSERVER=lf\rBASE=cr\r\nPORT=a=b\r\nUSER=\r\n[OTHER\r\nPWD=x\r\n",
         {{u"CONFIG", u"SERVER", u"lf"},
          {u"CONFIG", u"BASE", u"cr"},
          {u"CONFIG", u"PORT", u"a=b"},
          {u"CONFIG", u"USER", u""},
          {u"CONFIG", u"PWD", u"x"},
          {u"OTHER", u"PWD", kDefault}}},
        {"a NUL ends a value",
         "[CONFIG]\r\nSERVER=x\0y\r\nBASE=z\r\nUSER=p\0q=r\r\n"s,
         {{u"CONFIG", u"SERVER", u"x"},
          {u"CONFIG", u"BASE", u"z"},
          {u"CONFIG", u"USER", u"p"},
          {u"CONFIG", u"Q", kDefault}}},
        {"UTF-8 after its byte-order mark",
         "\xEF\xBB\xBF[CONFIG]\r\nSERVER=caf\xC3\xA9 \xE2\x98\x81\r\nBASE=a\xFF"
         "b\r\n"
         "[SE\xC3\x87\xC3\x83O]\r\nK=1\r\n",
         {{u"CONFIG", u"SERVER", u"caf\u00E9 \u2601"},
          {u"CONFIG", u"BASE", u"a\uFFFDb"},
          {u"SE\u00C7\u00C3O", u"K", u"1"}}},
        {"UTF-16 little-endian after its byte-order mark",
         Utf16(u"[CONFIG]\r\nSERVER=caf\u00E9 \u2601\r\n", true),
         {{u"CONFIG", u"SERVER", u"caf\u00E9 \u2601"}}},
        {"UTF-16 big-endian after its byte-order mark",
         Utf16(u"[CONFIG]\r\nSERVER=caf\u00E9 \u2601\r\n", false),
         {{u"CONFIG", u"SERVER", u"caf\u00E9 \u2601"}}},
        {"UTF-16 without a byte-order mark is not read as such",
         Utf16(u"[CONFIG]\r\nSERVER=x\r\n", true).substr(2),
         {{u"CONFIG", u"SERVER", kDefault}}},
        {"ANSI without a byte-order mark",
         "[CONFIG]\r\nSERVER=caf\xE9\r\n",
         {{u"CONFIG", u"SERVER", ansi_cafe}}},
        {"long values cut to 2047 characters",
         "[CONFIG]\r\nBASE=" + long_a + "\r\nUSER=" + std::string(2047, 'c') + "\r\n",
         {{u"CONFIG", u"BASE", Repeat(2047, u'a')}, {u"CONFIG", u"USER", Repeat(2047, u'c')}}},
        // The closing quote is dropped as the last character the buffer took:
        // a quoted value of exactly 2047 characters loses its last one.
        {"long quoted values",
         "[CONFIG]\r\nA=\"" + std::string(2045, 'h') + "\"\r\nB=\"" + std::string(2046, 'b') + "\"\r\nC=\"" +
             std::string(2047, 'd') + "\"\r\nD=\"" + std::string(2048, 'e') +
             "\"\r\nE=" + std::string(2046, 'f') + "'\r\nF='" + std::string(2047, 'g') + "\r\n",
         {{u"CONFIG", u"A", Repeat(2045, u'h')},
          {u"CONFIG", u"B", Repeat(2046, u'b')},
          {u"CONFIG", u"C", Repeat(2046, u'd')},
          {u"CONFIG", u"D", Repeat(2047, u'e')},
          {u"CONFIG", u"E", Repeat(2046, u'f').append(u"'")},
          {u"CONFIG", u"F", std::u16string(u"'").append(Repeat(2046, u'g'))}}},
        {"missing section and key",
         "[CONFIG]\r\nSERVER=x\r\n",
         {{u"OTHER", u"SERVER", kDefault}, {u"CONFIG", u"BASE", kDefault}}},
        {"empty file", "", {{u"CONFIG", u"SERVER", kDefault}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::u16string path = Write(c.bytes);
        for (const Lookup& l : c.lookups) {
            EXPECT_EQ(profiles.ReadString(path, l.section, l.key, kDefault), l.expected)
                << Utf16ToUtf8(l.section) << " / " << Utf16ToUtf8(l.key);
        }
    }
}

TEST_F(ProfilesTest, FileThatCannotBeReadGivesTheDefault) {
    fs::create_directory(dir / "BANCO.INI");
    EXPECT_EQ(profiles.ReadString((dir / "BANCO.INI").u16string(), u"CONFIG", u"SERVER", kDefault), kDefault);
    EXPECT_EQ(profiles.ReadString((dir / "missing.ini").u16string(), u"CONFIG", u"SERVER", u""), u"");
}

}  // namespace
}  // namespace vantrel::platform
