#include "company/connection.h"

#include <optional>
#include <string>

#include "core/ascii.h"
#include "core/trace.h"
#include "core/utf.h"

namespace vantrel::company {

namespace {

// The one rule for texts: an empty one is not sent.
std::optional<std::u16string> Sent(const std::u16string& text) {
    if (text.empty()) return std::nullopt;
    return text;
}

// The settings in the client's form; the one place where they are reshaped.
AttachParameters AttachParametersOf(const TConnectionParams& params) {
    const DatabaseSettings& settings = params.Settings;
    AttachParameters attach;
    attach.database = settings.base;
    if (const auto server = Sent(settings.server)) {
        attach.database = *server + u"/" + Decimal(settings.port) + u":" + settings.base;
    }
    attach.user = Sent(settings.user);
    attach.password = Sent(settings.password);
    attach.character_set = params.CharacterSet;
    attach.dialect = params.SQLDialect;
    return attach;
}

}  // namespace

TConnection::TConnection(DatabaseClient& client) : client_(client) {}

TConnection::~TConnection() { Close(); }

void TConnection::Open() {
    if (Connected()) return;
    const AttachParameters attach = AttachParametersOf(Params);
    if (trace::On()) {
        trace::Line("company", u"database " + attach.database + u"; user " + attach.user.value_or(u"(none)") +
                                   u"; charset " + attach.character_set);
    }
    session_ = client_.Attach(attach);
    if (trace::On()) trace::Line("company", u"attached");
}

void TConnection::Close() { session_.reset(); }

FirstValue TConnection::ExecSQLScalar(std::u16string_view sql) {
    Open();
    return session_->QueryFirstValue(sql);
}

}  // namespace vantrel::company
