// The database client as the connection uses it: attach to a database, run a
// statement for its first value, and, when the session ends, roll back and
// detach. The Firebird client (firebird_client.h) is the real one; unit tests
// use a fake.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::company {

// What an attach hands the client, already in the client library's own form:
// the database string built (server, port and base joined the way Firebird
// reads them), and the user name and password present only when they are
// sent. It differs from the settings (DatabaseSettings, connection.h) on
// purpose: the connection applies the rules that reshape them, once, so that a
// client, the real one or a test's, applies none and passes on exactly this.
struct AttachParameters {
    std::u16string database;                 // the database string, as the client reads it
    std::optional<std::u16string> user;      // absent: no user name is sent
    std::optional<std::u16string> password;  // absent: no password is sent
    std::u16string character_set;            // of the connection, such as "ISO8859_1"
    int dialect = 3;                         // SQL dialect
};

// The first column of a statement's first row.
struct FirstValue {
    enum class Kind { NoRow, Null, Text };
    Kind kind = Kind::NoRow;
    std::u16string text;  // for Text
};

// An attached database with its one transaction. Destroying it rolls the open
// transaction back and detaches; failures on the way are dropped.
class DatabaseSession {
public:
    virtual ~DatabaseSession() = default;

    // Runs `sql` in the session's transaction, which the first statement starts
    // and which stays open afterwards, and returns the first column of the first
    // row. Client-library failures come as vantrel::Error.
    virtual FirstValue QueryFirstValue(std::u16string_view sql) = 0;
};

class DatabaseClient {
public:
    virtual ~DatabaseClient() = default;

    // Attaches to an existing database (never creates one). Fails with
    // vantrel::Error.
    virtual std::unique_ptr<DatabaseSession> Attach(const AttachParameters& parameters) = 0;
};

}  // namespace vantrel::company
