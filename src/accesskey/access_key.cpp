#include "accesskey/access_key.h"

#include "accesskey/exchange.h"
#include "accesskey/url.h"
#include "core/error.h"
#include "core/server_host.h"

namespace vantrel::accesskey {

namespace {

[[noreturn]] void ThrowNoKey(const char16_t* why) {
    throw Error(u"EAccessKeyError", std::u16string(u"The access-key service sent no usable key: ") + why);
}

}  // namespace

std::u16string ServiceAddress(std::u16string_view cnpj, std::u16string_view id_pc,
                              std::u16string_view nome_pc) {
    return u"http://" + ServerHost() + u":3002/api/acessoremoto?cnpj=" + std::u16string(cnpj) +
           u"&id_dispositivo=" + std::u16string(id_pc) + u"&nome_dispositivo=" + CodificaUrl(nome_pc);
}

std::vector<platform::HttpHeader> ServiceHeaders() {
    return {
        {u"Accept", u"application/json, text/plain; q=0.9, text/html;q=0.8,"},
        {u"Accept-Charset", u"utf-8, *;q=0.8"},
        {u"User-Agent", u"Orlimar RESTClient/1.0"},
        {u"token_api", u"5a0f3c7e1d9b2a648c0e7f1b3d5a9c2e"},
    };
}

std::u16string ObtemTexto(const json::Value& value) { return json::ToText(value); }

std::u16string KeyFromReply(std::u16string_view text) {
    if (text.empty()) ThrowNoKey(u"empty reply");
    std::unique_ptr<json::Value> parsed = json::Parse(text);
    if (!parsed || parsed->kind() != json::Kind::Object) ThrowNoKey(u"reply is not a JSON object");
    json::Value copy = json::Copy(*parsed);
    const json::Value* token = copy.MemberByName(u"token");
    if (token == nullptr) ThrowNoKey(u"no member \"token\"");
    return ObtemTexto(*token);
}

std::u16string RequestAccessKey(platform::HttpTransport& transport, std::u16string_view cnpj,
                                std::u16string_view id_pc, std::u16string_view nome_pc,
                                const platform::HttpTimeouts& timeouts) {
    ExchangeOptions options;
    options.headers = ServiceHeaders();
    options.timeouts = timeouts;
    options.body_limit = kReplyBodyLimit;
    return KeyFromReply(HttpGetText(transport, ServiceAddress(cnpj, id_pc, nome_pc), options));
}

}  // namespace vantrel::accesskey
