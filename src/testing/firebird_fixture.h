// A Firebird 3 of the tests' own, for tests against a real database (POSIX).
//
// The home is a temporary root directory that borrows the installed engine's
// files (plugins, character sets, messages) and has its own configuration, its
// own security database with one user and a known password, and its own lock and
// temporary folders. A process uses it through the FIREBIRD, FIREBIRD_LOCK and
// FIREBIRD_TMP variables: the client library then opens database files directly
// through its embedded engine. The home also runs a Firebird server of its own on
// a free loopback port, started and stopped by the tests, with bounded waits.
#pragma once

#include "testing/test_only.h"

#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace vantrel::company::testing {

// A database for the company lookup: table CONFIGURACOES with the column CNPJ and
// the function APENASNUMERO.
struct DatabaseLayout {
    std::string column_type = "VARCHAR(30)";  // of CONFIGURACOES.CNPJ
    std::vector<std::string> rows{};          // SQL literals for CNPJ, in order
    // What APENASNUMERO returns, and whether it keeps the digits of its argument
    // (else it returns the argument as it is).
    std::string returns = "VARCHAR(100)";
    bool keeps_digits = true;
    bool with_table = true;
    bool with_function = true;
};

class FirebirdHome {
public:
    // The server's user, and its password.
    static constexpr char kUser[] = "VANTREL";
    static constexpr char kPassword[] = "Vantrel-Test-7";

    // Builds the home. Fails with std::runtime_error, saying why.
    FirebirdHome();
    // Stops the server and removes the home with everything in it.
    ~FirebirdHome();
    FirebirdHome(const FirebirdHome&) = delete;
    FirebirdHome& operator=(const FirebirdHome&) = delete;

    const std::string& root() const { return root_; }
    int port() const { return port_; }

    // The variables that make a process use this home.
    std::vector<std::pair<std::string, std::string>> Environment() const;

    // Sets those variables in this process. Call before the client library is
    // first loaded: it reads them once.
    void UseInThisProcess() const;

    // Creates the database file `name` in the home through the embedded engine,
    // with every object readable by every user; returns its path.
    std::string CreateDatabase(const std::string& name, const DatabaseLayout& layout);

    // Starts the server and waits (at most 30 s a try, three tries) until it
    // takes connections.
    void StartServer();
    // Stops the server: asks it to end, and kills it after 15 s.
    void StopServer();

private:
    void Build();
    void Configure(int port);  // firebird.conf, with the server's port
    void StartServerOnce();
    void Isql(const std::string& script);

    std::string root_;
    int port_ = 0;
    pid_t server_ = -1;
};

}  // namespace vantrel::company::testing
