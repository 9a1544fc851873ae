// The settings file's rules: the port text and where the file is looked for.
#include "company/settings.h"

#include <gtest/gtest.h>

#include "core/utf.h"
#include "testing/fake_process.h"

namespace vantrel::company {
namespace {

TEST(SettingsTest, PortRule) {
    struct Case {
        const char16_t* text;
        std::int32_t port;
    } cases[] = {
        {u"", 3050},           {u"3051", 3051},  {u"0x0BEA", 3050}, {u"0X0bea", 3050},
        {u"$BEA", 3050},       {u"xbea", 3050},  {u"0x0BEB", 3051}, {u"3051abc", 3050},
        {u"30.5", 3050},       {u"-1", -1},      {u"0", 0},         {u"65536", 65536},
        {u" 3051", 3051},      {u"3051 ", 3050}, {u"0x", 3050},     {u"0x1", 1},
        {u"$FFFFFFFF", -1},    {u"-$10", -16},   {u"+7", 7},        {u"2147483648", 3050},
        {u"$100000000", 3050}, {u"port", 3050},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PortFromText(c.text), c.port) << Utf16ToUtf8(c.text);
    }
}

TEST(SettingsTest, PathIsInTheCurrentDirectory) {
    platform::FakeProcess process;
    struct Case {
        const char16_t* directory;
        char16_t separator;
        const char16_t* path;
    } cases[] = {
        {u"C:\\Work", u'\\', u"C:\\Work\\BANCO.INI"},
        {u"C:\\", u'\\', u"C:\\\\BANCO.INI"},  // the system reads the doubled separator as one
        {u"\\\\server\\share", u'\\', u"\\\\server\\share\\BANCO.INI"},
        {u"/home/erp", u'/', u"/home/erp/BANCO.INI"},
        {u"/", u'/', u"//BANCO.INI"},
    };
    for (const Case& c : cases) {
        process.current_directory = c.directory;
        process.separator = c.separator;
        EXPECT_EQ(SettingsPath(process), c.path);
    }
}

}  // namespace
}  // namespace vantrel::company
