#include "company/settings.h"

#include "core/integer_text.h"
#include "core/path.h"

namespace vantrel::company {

namespace {

constexpr char16_t kSection[] = u"CONFIG";

}  // namespace

std::u16string SettingsPath(platform::Process& process) {
    return JoinPath(process.CurrentDirectory(), u"BANCO.INI", process.PathSeparator());
}

std::int32_t PortFromText(std::u16string text) {
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        text.replace(0, 2, u"$");
    }
    return ParseIntegerText(text).value_or(kDefaultPort);
}

DatabaseSettings ReadSettings(platform::Profiles& profiles, const std::u16string& path) {
    DatabaseSettings settings;
    settings.server = profiles.ReadString(path, kSection, u"SERVER", u"");
    settings.base = profiles.ReadString(path, kSection, u"BASE", u"");
    settings.user = profiles.ReadString(path, kSection, u"USER", u"");
    settings.password = profiles.ReadString(path, kSection, u"PWD", u"");
    settings.port = PortFromText(profiles.ReadString(path, kSection, u"PORT", u""));
    return settings;
}

}  // namespace vantrel::company
