#include "request/principal.h"

#include <gtest/gtest.h>

#include "request/entry.h"
#include "platform/fakes/fake_process.h"

namespace vantrel::request {
namespace {

TEST(PrincipalTest, RequestFilePath) {
    platform::FakeProcess process;
    process.current_directory = u"C:\\Work";
    EXPECT_EQ(RequestFilePath(process, u"pedido.json"), u"C:\\Work\\pedido.json");
    EXPECT_EQ(RequestFilePath(process, u""), u"C:\\Work\\");
    EXPECT_EQ(RequestFilePath(process, u"C:pedido.json"), u"C:pedido.json");
    EXPECT_EQ(RequestFilePath(process, u"sub\\pedido.json"), u"sub\\pedido.json");

    process.separator = u'/';
    process.current_directory = u"/work";
    EXPECT_EQ(RequestFilePath(process, u"pedido.json"), u"/work/pedido.json");
    EXPECT_EQ(RequestFilePath(process, u"sub/pedido.json"), u"sub/pedido.json");
    EXPECT_EQ(RequestFilePath(process, u"c:pedido.json"), u"/work/c:pedido.json");
}

TEST(PrincipalTest, RequestKindLookup) {
    struct Case {
        const char16_t* request;
        bool found;
        std::int32_t kind;
    } cases[] = {
        {u"{\"solicitacao\":1}", true, 1},
        {u"{\"solicitacao\":256}", true, 256},
        {u"{\"solicitacao\":\"1\"}", true, 1},
        {u"{\"solicitacao\":\" 0x1F\"}", true, 31},
        {u"{\"solicitacao\":true}", true, 1},
        {u"{\"solicitacao\":false}", true, 0},
        {u"{\"solicitacao\":1,\"solicitacao\":0}", true, 1},  // the first one counts
        {u"{\"solicitacao\":null}", false, 0},
        {u"{\"solicitacao\":1.5}", false, 0},
        {u"{\"solicitacao\":\"abc\"}", false, 0},
        {u"{\"solicitacao\":{}}", false, 0},
        {u"{\"solicitacao\":2147483648}", false, 0},
        {u"{\"Solicitacao\":1}", false, 0},
        {u"{}", false, 0},
    };
    for (const auto& c : cases) {
        auto request = json::Parse(c.request);
        ASSERT_TRUE(request) << ::testing::PrintToString(std::u16string(c.request));
        std::int32_t kind = -7;
        EXPECT_EQ(TentaObterInteiro(request.get(), u"solicitacao", kind), c.found);
        EXPECT_EQ(kind, c.found ? c.kind : -7);  // untouched when nothing converts
    }
    std::int32_t kind = -7;
    EXPECT_FALSE(TentaObterInteiro(nullptr, u"solicitacao", kind));
}

}  // namespace
}  // namespace vantrel::request
