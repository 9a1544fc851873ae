// The real machine identity: the registry on Windows, the machine-id file and
// the host name on POSIX.
#include "platform/machine_identity.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/utf.h"

#ifdef _WIN32
#include <windows.h>

#include "testing/registry_value_win32.h"
#else
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/machine_identity_posix.h"
#endif

namespace vantrel::platform {
namespace {

// What a read gave: the text up to its first NUL, or the outcome in brackets.
std::u16string Shown(const MachineGuidRead& read) {
    switch (read.outcome) {
    case MachineGuidRead::Outcome::Missing: return u"<missing>";
    case MachineGuidRead::Outcome::Empty: return u"<empty>";
    case MachineGuidRead::Outcome::ReadFailed: return u"<read failed>";
    case MachineGuidRead::Outcome::NotText: return u"<not text>";
    case MachineGuidRead::Outcome::Text: break;
    }
    return read.text.substr(0, read.text.find(u'\0'));
}

#ifdef _WIN32

TEST(MachineIdentityTest, MachineGuidFromTheRegistry) {
    vantrel::testing::ScopedRegistryValue value(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography",
                                                L"MachineGuid");
    auto text = [](DWORD type, std::wstring_view t) {
        return std::make_pair(
            type, std::string(reinterpret_cast<const char*>(t.data()), t.size() * sizeof(wchar_t)) +
                      std::string(2, '\0'));
    };
    struct Case {
        const char* what;
        std::pair<DWORD, std::string> data;
        std::u16string expected;
    } cases[] = {
        {"text", text(REG_SZ, L"6f1d3c2a-8b7e-4d5f-9a0b-1c2d3e4f5a6b"),
         u"6f1d3c2a-8b7e-4d5f-9a0b-1c2d3e4f5a6b"},
        {"expandable, kept unexpanded", text(REG_EXPAND_SZ, L"%SystemRoot%\\guid"), u"%SystemRoot%\\guid"},
        {"NUL inside", text(REG_SZ, std::wstring_view(L"abc\0def", 7)), u"abc"},
        {"dword", {REG_DWORD, std::string("\x07\0\0\0", 4)}, u"<not text>"},
        {"binary without data", {REG_BINARY, ""}, u"<empty>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(value.Set(c.data.first, c.data.second));
        EXPECT_EQ(Shown(RealMachineIdentity().ReadMachineGuid()), c.expected);
    }
    ASSERT_TRUE(value.Remove());
    EXPECT_EQ(Shown(RealMachineIdentity().ReadMachineGuid()), u"<missing>");
}

TEST(MachineIdentityTest, ComputerName) {
    std::u16string name = RealMachineIdentity().ComputerName(251).value_or(u"");
    EXPECT_FALSE(name.empty());
    const wchar_t* environment = _wgetenv(L"COMPUTERNAME");
    ASSERT_NE(environment, nullptr);
    EXPECT_EQ(name, std::u16string(reinterpret_cast<const char16_t*>(environment)));
}

#else

TEST(MachineIdentityTest, MachineIdFileStandsInForTheRegistry) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("vantrel-machine-id-" + std::to_string(getpid()));
    fs::create_directories(dir);
    struct Case {
        std::optional<std::string> content;  // nullopt: no file
        std::u16string expected;
    } cases[] = {
        {"3d1219c7c4c5404aaa1f6d2a48adfda4\n", u"3d1219c7c4c5404aaa1f6d2a48adfda4"},
        {"first\r\nsecond\n", u"first"},
        {"caf\xC3\xA9", u"caf\u00E9"},
        {"", u"<missing>"},
        {"\n", u""},
        {std::string("ab\0cd\n", 6), u"ab"},
        {std::nullopt, u"<missing>"},
    };
    for (const auto& c : cases) {
        const fs::path file = dir / "machine-id";
        fs::remove(file);
        if (c.content) std::ofstream(file, std::ios::binary) << *c.content;
        auto identity = NewPosixMachineIdentity(file.string());
        EXPECT_EQ(Shown(identity->ReadMachineGuid()), c.expected) << (c.content ? *c.content : "(no file)");
    }
    // A file that cannot be read gives the empty text too.
    auto unreadable = NewPosixMachineIdentity(dir.string());
    EXPECT_EQ(Shown(unreadable->ReadMachineGuid()), u"<missing>");
    fs::remove_all(dir);

    std::ifstream real("/etc/machine-id");
    std::string first;
    std::getline(real, first);
    EXPECT_EQ(Shown(RealMachineIdentity().ReadMachineGuid()), Utf8ToUtf16(first));
}

TEST(MachineIdentityTest, ComputerNameIsTheHostName) {
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(RealMachineIdentity().ComputerName(251), Utf8ToUtf16(host));
}

#endif

}  // namespace
}  // namespace vantrel::platform
