// libFuzzer target for BANCO.INI: any bytes as the file's content, read by the
// POSIX profile reader and the settings logic on top of it.
//
// For any bytes: the five keys read without a crash; every value is at most
// kValueBuffer - 1 characters and holds no NUL and no line break; names match
// without regard to ASCII letter case and to blanks around them; a key that is
// absent gives the caller's default; the port is the port rule applied to what
// the file says for PORT.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "company/settings.h"
#include "platform/profiles.h"
#include "platform/profiles_posix.h"

namespace {

using vantrel::platform::Profiles;
using vantrel::platform::posix::ProfileValue;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "settings_fuzz: %s\n", what);
        std::abort();
    }
}

// Every path names the same file content.
class BytesProfiles : public Profiles {
public:
    explicit BytesProfiles(std::string_view bytes) : bytes_(bytes) {}
    std::u16string ReadString(const std::u16string&, const std::u16string& section, const std::u16string& key,
                              const std::u16string& default_value) override {
        return ProfileValue(bytes_, section, key, default_value);
    }

private:
    std::string_view bytes_;
};

void CheckValue(const std::u16string& value) {
    Check(value.size() <= Profiles::kValueBuffer - 1, "value longer than the buffer holds");
    Check(value.find_first_of(std::u16string_view(u"\0\r\n", 3)) == std::u16string::npos,
          "value holds a NUL or a line break");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    BytesProfiles profiles(bytes);
    const vantrel::company::DatabaseSettings settings =
        vantrel::company::ReadSettings(profiles, u"BANCO.INI");
    for (const std::u16string* value :
         {&settings.server, &settings.base, &settings.user, &settings.password}) {
        CheckValue(*value);
    }

    const std::u16string port = ProfileValue(bytes, u"CONFIG", u"PORT", u"");
    CheckValue(port);
    Check(settings.port == vantrel::company::PortFromText(port), "port differs from its text");

    Check(ProfileValue(bytes, u" config\t",
                       u"\x1A"
                       u"Server ",
                       u"") == settings.server,
          "names matched with regard to case or blanks");
    const std::u16string with_default = ProfileValue(bytes, u"CONFIG", u"BASE", u"\x7F");
    Check(with_default == settings.base || (settings.base.empty() && with_default == u"\x7F"),
          "a default other than the caller's");

    // Keys before the first header, in the section without a name.
    CheckValue(ProfileValue(bytes, u"", u"SERVER", u""));
    return 0;
}
