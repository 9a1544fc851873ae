// A machine set up for one provisioning run of the built tool, in a fresh
// temporary folder: an ERP database created through Firebird's embedded engine,
// whose company tax id is stored with punctuation; BANCO.INI naming it in the
// working folder; a local access-key service (reached through the proxy
// setting) that answers with a key and records what it was asked; a stand-in
// RustDesk client installed where "ProgramW6432" points, which records how it
// is started. Everything goes when the object does. Used by the demo and the
// benchmarks.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "testing/firebird_fixture.h"
#include "testing/key_service.h"
#include "testing/run_program.h"

namespace vantrel::demo {

class DemoMachine {
public:
    static constexpr char kKey[] = "DemoKey-0123456789abcdef";
    static constexpr char kStoredTaxId[] = "12.345.678/0001-90";

    // `stand_in` is the built stand-in client, copied into place.
    explicit DemoMachine(const std::string& stand_in);
    DemoMachine(const DemoMachine&) = delete;
    DemoMachine& operator=(const DemoMachine&) = delete;

    const std::string& folder() const { return dir_.path(); }
    const std::string& work() const { return work_; }          // the run's folder, with BANCO.INI
    const std::string& client() const { return client_; }      // the installed client
    const std::string& database() const { return database_; }  // the ERP database file
    const company::testing::FirebirdHome& home() const { return home_; }
    testing::KeyService& service() { return service_; }

    // The service answers the next requests with the key again (its script
    // runs out after a hundred).
    void RefillService();

    // From now on the database is reached through the home's Firebird server
    // on its loopback port: the server is started and BANCO.INI names it
    // (SERVER, PORT, and the server's user and password).
    void ServeDatabase();

    // What a run of the tool needs in its environment: the Firebird home, the
    // proxy setting that reaches the service and "ProgramW6432".
    std::vector<std::pair<std::string, std::string>> Environment() const;

private:
    testing::TempDir dir_;
    std::string work_;
    std::string programs_;
    std::string client_;
    company::testing::FirebirdHome home_;
    std::string database_;
    testing::KeyService service_;
};

}  // namespace vantrel::demo
