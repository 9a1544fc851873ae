#include "core/path.h"

#include <gtest/gtest.h>

#include "core/utf.h"

namespace vantrel {
namespace {

// Each path taken apart under the separator of its row.
TEST(PathTest, TakingPathsApart) {
    struct Case {
        std::u16string path;
        char16_t separator;
        std::u16string directory;
        std::u16string file_name;
        bool has_directory_part;
    } cases[] = {
        {u"C:\\Apps\\tool.exe", u'\\', u"C:\\Apps", u"tool.exe", true},
        {u"C:\\tool.exe", u'\\', u"C:\\", u"tool.exe", true},  // the root keeps its separator
        {u"C:tool.exe", u'\\', u"C:", u"C:tool.exe", true},    // a drive, but no separator
        {u"\\\\server\\share\\tool.exe", u'\\', u"\\\\server\\share", u"tool.exe", true},
        {u"\\\\tool.exe", u'\\', u"\\\\", u"tool.exe", true},
        {u"sub\\pedido.json", u'\\', u"sub", u"pedido.json", true},
        {u"C:\\Dir.d\\TOOL", u'\\', u"C:\\Dir.d", u"TOOL", true},
        {u"tool.exe", u'\\', u"", u"tool.exe", false},
        {u"a/b.exe", u'\\', u"", u"a/b.exe", false},  // "/" is no separator here
        {u"", u'\\', u"", u"", false},
        {u"/opt/vantrel/bin/vantrel", u'/', u"/opt/vantrel/bin", u"vantrel", true},
        {u"/vantrel", u'/', u"/", u"vantrel", true},
        {u"/opt/a:b/vantrel", u'/', u"/opt/a:b", u"vantrel", true},  // a colon is no drive on POSIX
        {u"sub/pedido.json", u'/', u"sub", u"pedido.json", true},
        {u"c:pedido.json", u'/', u"", u"c:pedido.json", false},
        {u"sub\\pedido.json", u'/', u"", u"sub\\pedido.json", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.path) + " with " + static_cast<char>(c.separator));
        EXPECT_EQ(DirectoryOf(c.path, c.separator), c.directory);
        EXPECT_EQ(FileNameOf(c.path, c.separator), c.file_name);
        EXPECT_EQ(HasDirectoryPart(c.path, c.separator), c.has_directory_part);
    }
}

// A join always puts one separator between the two, also after a root.
TEST(PathTest, JoiningAlwaysPutsOneSeparator) {
    struct Case {
        std::u16string directory;
        char16_t separator;
        std::u16string path;
    } cases[] = {
        {u"C:\\Work", u'\\', u"C:\\Work\\BANCO.INI"},
        {u"C:\\", u'\\', u"C:\\\\BANCO.INI"},  // the system reads the doubled separator as one
        {u"\\\\server\\share", u'\\', u"\\\\server\\share\\BANCO.INI"},
        {u"", u'\\', u"\\BANCO.INI"},  // from the root of the current drive
        {u"/home/erp", u'/', u"/home/erp/BANCO.INI"},
        {u"/", u'/', u"//BANCO.INI"},
        {u"", u'/', u"/BANCO.INI"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JoinPath(c.directory, u"BANCO.INI", c.separator), c.path) << Utf16ToUtf8(c.directory);
    }
}

}  // namespace
}  // namespace vantrel
