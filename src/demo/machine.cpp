#include "demo/machine.h"

#include <filesystem>

namespace vantrel::demo {

namespace fs = std::filesystem;

namespace {

std::string KeyReply() { return std::string(R"({"token":")") + DemoMachine::kKey + "\"}"; }

}  // namespace

DemoMachine::DemoMachine(const std::string& stand_in)
    : work_(dir_.File("work")),
      programs_(dir_.File("Program Files")),
      client_(programs_ + "/RustDesk/rustdesk.exe"),
      service_(KeyReply()) {
    fs::create_directories(work_);
    fs::create_directories(fs::path(client_).parent_path());
    fs::copy_file(stand_in, client_);
    database_ = home_.CreateDatabase("erp.fdb", {.rows = {std::string("'") + kStoredTaxId + "'"}});
    testing::WriteFileBytes(work_ + "/BANCO.INI", "[CONFIG]\r\nBASE=" + database_ + "\r\nUSER=SYSDBA\r\n");
}

void DemoMachine::RefillService() {
    service_.Answer(testing::HttpReply(200, "OK", {{"Content-Type", "application/json"}}, KeyReply()));
}

void DemoMachine::ServeDatabase() {
    home_.StartServer();
    testing::WriteFileBytes(work_ + "/BANCO.INI",
                            "[CONFIG]\r\nSERVER=127.0.0.1\r\nPORT=" + std::to_string(home_.port()) +
                                "\r\nBASE=" + database_ +
                                "\r\nUSER=" + company::testing::FirebirdHome::kUser +
                                "\r\nPWD=" + company::testing::FirebirdHome::kPassword + "\r\n");
}

std::vector<std::pair<std::string, std::string>> DemoMachine::Environment() const {
    std::vector<std::pair<std::string, std::string>> environment = home_.Environment();
    for (auto& variable : service_.Environment()) environment.push_back(variable);
    environment.push_back({"ProgramW6432", programs_});
    return environment;
}

}  // namespace vantrel::demo
