// The client of the vendor's access-key service: one GET to
// http://<server host>:3002/api/acessoremoto with the company's tax id and the
// PC's identity, answered by a JSON object whose member "token" is the key of
// the vendor's remote-access server.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "json/json.h"
#include "platform/http.h"

namespace vantrel::accesskey {

// The reply body is never read or inflated past this many bytes.
inline constexpr std::size_t kReplyBodyLimit = 8 * 1024 * 1024;

// The service's time-outs, in milliseconds.
inline constexpr platform::HttpTimeouts kServiceTimeouts{30000, 30000, 60000, 30000};

// "http://<ServerHost()>:3002/api/acessoremoto?cnpj=<cnpj>&id_dispositivo=<id_pc>
// &nome_dispositivo=<CodificaUrl(nome_pc)>": only the computer name is encoded.
std::u16string ServiceAddress(std::u16string_view cnpj, std::u16string_view id_pc,
                              std::u16string_view nome_pc);

// The headers sent on every request of the exchange, in their order.
std::vector<platform::HttpHeader> ServiceHeaders();

// A JSON value as text: a string's text, a number's text as received, "true",
// "false", the empty text for null. An object or an array fails with
// "EJSONException" "Conversion from TJSONObject to string is not supported"
// (TJSONArray for an array).
std::u16string ObtemTexto(const json::Value& value);

// The key in the text of a reply: the first member "token" of the JSON object
// the text holds, after a copy that reads every number as a double. Fails with
// "EAccessKeyError" "The access-key service sent no usable key: " and "empty
// reply", "reply is not a JSON object" or "no member \"token\""; with the
// copy's failure for a number beyond the double range; with ObtemTexto's.
std::u16string KeyFromReply(std::u16string_view text);

// Asks the service for the key of the company `cnpj` and the device (`id_pc`,
// `nome_pc`) and returns it. `timeouts` are the service's own except in tests.
// Every failure of the exchange (HttpGetText) and of KeyFromReply is raised.
std::u16string RequestAccessKey(platform::HttpTransport& transport, std::u16string_view cnpj,
                                std::u16string_view id_pc, std::u16string_view nome_pc,
                                const platform::HttpTimeouts& timeouts = kServiceTimeouts);

}  // namespace vantrel::accesskey
