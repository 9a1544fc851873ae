#include "company/connection.h"

#include <algorithm>

#include "core/integer_text.h"

namespace vantrel::company {

TConnection::TConnection(DatabaseClient& client) : client_(client) {}

TConnection::~TConnection() { Close(); }

void TConnection::SetParam(std::u16string_view name, const std::u16string& value) {
    auto it = std::find_if(params_.begin(), params_.end(), [&](const auto& p) { return p.first == name; });
    if (value.empty()) {
        if (it != params_.end()) params_.erase(it);
    } else if (it != params_.end()) {
        it->second = value;
    } else {
        params_.emplace_back(std::u16string(name), value);
    }
}

bool TConnection::HasParam(std::u16string_view name) const {
    return std::any_of(params_.begin(), params_.end(), [&](const auto& p) { return p.first == name; });
}

std::u16string TConnection::Param(std::u16string_view name) const {
    for (const auto& [key, value] : params_)
        if (key == name) return value;
    return {};
}

void TConnection::Open() {
    if (Connected()) return;
    AttachParameters attach;
    const std::u16string server = Param(u"Server");
    attach.database = Param(u"Database");
    if (!server.empty()) {
        const std::u16string port = HasParam(u"Port") ? Param(u"Port") : std::u16string(u"3050");
        attach.database = server + u"/" + port + u":" + attach.database;
    }
    if (HasParam(u"User_Name")) attach.user = Param(u"User_Name");
    if (HasParam(u"Password")) attach.password = Param(u"Password");
    attach.character_set = Param(u"CharacterSet");
    attach.dialect = ParseIntegerText(Param(u"SQLDialect")).value_or(3);
    session_ = client_.Attach(attach);
}

void TConnection::Close() { session_.reset(); }

FirstValue TConnection::ExecSQLScalar(std::u16string_view sql) {
    Open();
    return session_->QueryFirstValue(sql);
}

}  // namespace vantrel::company
