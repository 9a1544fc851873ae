// TConnection: the database connection of the data module, with its settings and
// the one session it opens.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "company/database_client.h"

namespace vantrel::company {

// The port of a Firebird server that no setting names.
inline constexpr std::int32_t kDefaultPort = 3050;

// Where the database is and who logs in to it: the five values of BANCO.INI,
// typed as ReadSettings (settings.h) reads them and kept so up to the attach,
// where TConnection turns them into the client's form (AttachParameters) in
// one place. A text left empty is a setting that is not there: nothing is sent
// for it, and nothing takes its place (no default server, user name or
// password). The port always has a value.
struct DatabaseSettings {
    std::u16string server;             // "SERVER": host of the database server
    std::u16string base;               // "BASE": the database as the server knows it: a file path or an alias
    std::u16string user;               // "USER": the user name
    std::u16string password;           // "PWD"
    std::int32_t port = kDefaultPort;  // "PORT": used with a server only
};

// The connection's settings, under their names in the system: three fixed
// ones, and Database, Server, Port, Password and User_Name, which are BASE,
// SERVER, PORT, PWD and USER of BANCO.INI and are held as those.
struct TConnectionParams {
    std::u16string DriverID;      // "FB": Firebird
    std::u16string CharacterSet;  // of the connection, such as "ISO8859_1"
    std::int32_t SQLDialect = 3;
    DatabaseSettings Settings;
};

class TConnection {
public:
    explicit TConnection(DatabaseClient& client);
    ~TConnection();  // closes: the open transaction is rolled back, the client detaches
    TConnection(const TConnection&) = delete;
    TConnection& operator=(const TConnection&) = delete;

    // Read at each Open.
    TConnectionParams Params;

    bool Connected() const { return session_ != nullptr; }

    // Attaches with Params: the database string is the server, "/", the port in
    // decimal (a minus sign when negative), ":" and the base when a server is
    // set, else the base alone; the user name and the password only when set;
    // the character set and the SQL dialect. Does nothing when already open.
    // Failures of the client come as vantrel::Error.
    void Open();

    // Rolls back the open transaction and detaches. Does nothing when closed.
    void Close();

    // Opens when closed, runs `sql` and returns the first column of its first row.
    FirstValue ExecSQLScalar(std::u16string_view sql);

private:
    DatabaseClient& client_;
    std::unique_ptr<DatabaseSession> session_;
};

}  // namespace vantrel::company
