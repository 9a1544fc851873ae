// End-to-end: the built tool with a BANCO.INI in its current directory. Natively
// against real Firebird databases through the embedded engine; under Wine, where
// no Windows client library is installed, the load failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "testing/run_program.h"
#include "testing/tool_fixture.h"
#ifndef _WIN32
#include "testing/firebird_fixture.h"
#endif

namespace vantrel {
namespace {

using testing::ProgramResult;
using testing::ProgramRun;

using testing::kSuccess;

class CompanyToolTest : public testing::ToolFixture {
protected:
    CompanyToolTest() : ToolFixture(VANTREL_EXE) {}

    ProgramResult Run(const testing::Environment& environment = {}) {
        ProgramRun run = Prepare({}, environment);
        // No terminal: the box goes to standard error and does not wait.
        run.detach_terminal = true;
        run.timeout_ms = 120000;
        return testing::RunProgram(run);
    }

    // The run log holds exactly one line, with the result.
    void ExpectLoggedOnce(const std::string& result) { testing::ExpectLogLines(Log(), {result}); }
};

TEST_F(CompanyToolTest, WithoutSettingsFileNothingIsLookedUp) {
    ProgramResult r = Run();
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kSuccess);
    EXPECT_EQ(r.err, "");
}

TEST_F(CompanyToolTest, DirectoryNamedLikeTheSettingsFileIsNoSettingsFile) {
    std::filesystem::create_directory(std::filesystem::u8path(dir.File("BANCO.INI")));
    ProgramResult r = Run();
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kSuccess);
    EXPECT_EQ(r.err, "");
    ExpectLoggedOnce(kSuccess);
}

#ifdef _WIN32
// No fbclient.dll or fbembed.dll anywhere: the box (which returns at once under
// a headless Wine) and a run that goes on to its result and its log line.
TEST_F(CompanyToolTest, WithoutClientLibraryTheRunGoesOn) {
    testing::WriteFileBytes(dir.File("BANCO.INI"), "[CONFIG]\r\nBASE=C:\\ERP\\DADOS.FDB\r\n");
    ProgramResult r = Run();
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kSuccess);
    ExpectLoggedOnce(kSuccess);
}
#else
using company::testing::FirebirdHome;

TEST_F(CompanyToolTest, LookupInARealDatabaseStaysOutOfTheResult) {
    FirebirdHome home;
    const std::string base = home.CreateDatabase("erp.fdb", {.rows = {"'12.345.678/0001-90'"}});
    testing::WriteFileBytes(dir.File("BANCO.INI"), "[CONFIG]\r\nBASE=" + base + "\r\nUSER=SYSDBA\r\n");
    ProgramResult r = Run(home.Environment());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kSuccess);
    EXPECT_EQ(r.err, "");  // no box
    ExpectLoggedOnce(kSuccess);
}

TEST_F(CompanyToolTest, DatabaseFailureShowsTheBoxAndTheRunGoesOn) {
    FirebirdHome home;
    const std::string base = home.CreateDatabase("erp.fdb", {.with_table = false});
    testing::WriteFileBytes(dir.File("BANCO.INI"), "[CONFIG]\r\nBASE=" + base + "\r\nUSER=SYSDBA\r\n");
    ProgramResult r = Run(home.Environment());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kSuccess);
    // Without a terminal the box is written to standard error: caption, then text.
    EXPECT_EQ(r.err.rfind("vantrel\nFirebird client error:\nDynamic SQL Error\n", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("Table unknown\nCONFIGURACOES\n"), std::string::npos) << r.err;
    ExpectLoggedOnce(kSuccess);
}

// The same settings reach the database while its server runs; once the server
// has stopped, the box tells why and the run still answers and logs.
TEST_F(CompanyToolTest, StoppedServerShowsTheBoxAndTheRunGoesOn) {
    FirebirdHome home;
    const std::string base = home.CreateDatabase("erp.fdb", {.rows = {"'12.345.678/0001-90'"}});
    testing::WriteFileBytes(dir.File("BANCO.INI"),
                            "[CONFIG]\r\nSERVER=127.0.0.1\r\nPORT=" + std::to_string(home.port()) +
                                "\r\nBASE=" + base + "\r\nUSER=" + FirebirdHome::kUser +
                                "\r\nPWD=" + FirebirdHome::kPassword + "\r\n");
    home.StartServer();
    ProgramResult up = Run(home.Environment());
    EXPECT_EQ(up.out, kSuccess);
    EXPECT_EQ(up.err, "");
    ASSERT_EQ(key_service.Requests().size(), 1u);
    EXPECT_NE(key_service.Requests()[0].target.find("cnpj=12345678000190&"), std::string::npos);

    home.StopServer();
    std::filesystem::remove(std::filesystem::u8path(dir.File("LogVantrel.txt")));
    ProgramResult down = Run(home.Environment());
    EXPECT_FALSE(down.timed_out);
    EXPECT_EQ(down.exit_code, 0);
    EXPECT_EQ(down.out, kSuccess);
    EXPECT_EQ(down.err.rfind("vantrel\nFirebird client error:\n", 0), 0u) << down.err;
    EXPECT_NE(down.err.find("Unable to complete network request to host \"127.0.0.1\""), std::string::npos)
        << down.err;
    ExpectLoggedOnce(kSuccess);
    // The key is still asked for, without the tax id.
    ASSERT_EQ(key_service.Requests().size(), 2u);
    EXPECT_NE(key_service.Requests()[1].target.find("cnpj=&"), std::string::npos);
}
#endif

}  // namespace
}  // namespace vantrel
