// TConnection: the database connection of the data module, with its settings by
// name and the one session it opens.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "company/database_client.h"

namespace vantrel::company {

class TConnection {
public:
    explicit TConnection(DatabaseClient& client);
    ~TConnection();  // closes: the open transaction is rolled back, the client detaches
    TConnection(const TConnection&) = delete;
    TConnection& operator=(const TConnection&) = delete;

    // The settings: "DriverID", "CharacterSet", "SQLDialect", "Database", "Server",
    // "Port", "Password", "User_Name". Setting an empty text removes the setting:
    // nothing is sent for it, and nothing takes its place.
    void SetParam(std::u16string_view name, const std::u16string& value);
    bool HasParam(std::u16string_view name) const;
    std::u16string Param(std::u16string_view name) const;  // empty when absent

    bool Connected() const { return session_ != nullptr; }

    // Attaches with the settings: the database string is Server, "/", Port, ":"
    // and Database when Server is set, else Database alone; the user name and the
    // password only when set; the character set and the SQL dialect. Does nothing
    // when already open. Failures of the client come as vantrel::Error.
    void Open();

    // Rolls back the open transaction and detaches. Does nothing when closed.
    void Close();

    // Opens when closed, runs `sql` and returns the first column of its first row.
    FirstValue ExecSQLScalar(std::u16string_view sql);

private:
    DatabaseClient& client_;
    std::vector<std::pair<std::u16string, std::u16string>> params_;
    std::unique_ptr<DatabaseSession> session_;
};

}  // namespace vantrel::company
