// Query-value encoding, address normalisation and redirect resolution.
#include "accesskey/url.h"

#include <gtest/gtest.h>

namespace vantrel::accesskey {
namespace {

TEST(UrlTest, CodificaUrl) {
    struct Case {
        std::u16string text;
        std::u16string encoded;
    } cases[] = {
        {u"MEU PC", u"MEU+PC"},
        {u"O'NEIL-PC", u"O'NEIL-PC"},  // the apostrophe is copied here
        {u"JOS\u00C9-PC", u"JOS%C3%89-PC"},
        {u"A&B", u"A%26B"},
        {u"AZaz09!$'()*-.@_", u"AZaz09!$'()*-.@_"},
        {u"~+%\u007F\u0001/?=#;,:", u"%7E%2B%25%7F%01%2F%3F%3D%23%3B%2C%3A"},
        {u"caf\u00E9 \u20AC", u"caf%C3%A9+%E2%82%AC"},
        {u"\U0001F600", u"%F0%9F%98%80"},                      // a surrogate pair: one character
        {std::u16string(1, u'\xD800') + u"x", u"%EF%BF%BDx"},  // an unpaired surrogate
        {u"", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(CodificaUrl(c.text), c.encoded) << ::testing::PrintToString(c.text);
}

TEST(UrlTest, NormalizeUrl) {
    const std::u16string base = u"http://acesso.vantrel.com.br:3002/api/acessoremoto?";
    struct Case {
        std::u16string url;
        std::u16string normalised;
    } cases[] = {
        // What the client builds changes only where an apostrophe stands.
        {base + u"cnpj=123&id_dispositivo=6f1d-8b7e&nome_dispositivo=MEU+PC",
         base + u"cnpj=123&id_dispositivo=6f1d-8b7e&nome_dispositivo=MEU+PC"},
        {base + u"cnpj=&id_dispositivo=&nome_dispositivo=O'NEIL-PC",
         base + u"cnpj=&id_dispositivo=&nome_dispositivo=O%27NEIL-PC"},
        {base + u"cnpj=1&id_dispositivo=2&nome_dispositivo=A%26B",
         base + u"cnpj=1&id_dispositivo=2&nome_dispositivo=A%26B"},
        // Scheme and host in lower case; port and path as they stand.
        {u"HTTP://Acesso.Vantrel.COM.BR:3002/Api/X?a=1", u"http://acesso.vantrel.com.br:3002/Api/X?a=1"},
        // Bytes that cannot stand in a query, over UTF-8.
        {u"http://h/p?a=x y\"<>#'\u00E9", u"http://h/p?a=x%20y%22%3C%3E%23%27%C3%A9"},
        {u"http://h/p?a=%41%zz%4", u"http://h/p?a=%41%25zz%254"},
        {u"http://h/p?a=1+2&b=[x]{y}|", u"http://h/p?a=1+2&b=[x]{y}|"},
        // Pieces split at & and ;, empty ones dropped, each as name=value.
        {u"http://h/p?a=1;b=2&&c&=v&d=1=2&", u"http://h/p?a=1&b=2&c=&=v&d=1=2"},
        {u"http://h/p?", u"http://h/p"},
        {u"http://h/p?&;", u"http://h/p"},
        // A path with bytes that cannot stand in a request line.
        {u"http://h/a b/\u00E9", u"http://h/a%20b/%C3%A9"},
        {u"http://user:pw@h:81", u"http://h:81"},
        {u"http://h:/p", u"http://h:/p"},
        {u"http://h::/p", u"http://h::/p"},
        {u"not an address", u"not an address"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NormalizeUrl(c.url), c.normalised) << ::testing::PrintToString(c.url);
        EXPECT_EQ(NormalizeUrl(c.normalised), c.normalised) << "normalising twice changes nothing";
    }
}

TEST(UrlTest, ParseUrlAndTarget) {
    std::optional<Url> url = ParseUrl(u"http://[::1]:8080/a/b?x=1#y");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->host, u"[::1]");
    EXPECT_EQ(url->port, u"8080");
    EXPECT_EQ(RequestTarget(*url), u"/a/b?x=1#y");  // everything after "?" is the query

    url = ParseUrl(u"https://h");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->port, std::nullopt);
    EXPECT_EQ(RequestTarget(*url), u"/");

    EXPECT_FALSE(ParseUrl(u"/relative/path"));
    EXPECT_FALSE(ParseUrl(u"mailto:x@y"));
}

TEST(UrlTest, ResolveReference) {
    const std::u16string base = u"http://h:3002/a/b?q=1";
    struct Case {
        std::u16string reference;
        std::u16string resolved;
    } cases[] = {
        {u"/c", u"http://h:3002/c"},
        {u"c?x=2", u"http://h:3002/a/c?x=2"},
        {u"../c", u"http://h:3002/c"},
        {u"./d/./e/../f", u"http://h:3002/a/d/f"},
        {u"?x=2", u"http://h:3002/a/b?x=2"},
        {u"#frag", u"http://h:3002/a/b?q=1"},
        {u"", u"http://h:3002/a/b?q=1"},
        {u"//other:81/p", u"http://other:81/p"},
        {u"https://x/y/../z?k#frag", u"https://x/z?k"},
        {u"ftp://x/y", u"ftp://x/y"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolveReference(base, c.reference), c.resolved) << ::testing::PrintToString(c.reference);
    }
    EXPECT_EQ(ResolveReference(u"http://h", u"c"), u"http://h/c");
}

}  // namespace
}  // namespace vantrel::accesskey
