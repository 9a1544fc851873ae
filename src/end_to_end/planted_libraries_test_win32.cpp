// Which copy of a library the built tool loads when a file of the same name
// lies beside it (Windows). WinHTTP, a system library, comes from the system
// folder only: a winhttp.dll beside the tool is never loaded. The Firebird
// client keeps the standard search, which looks beside the tool first: an
// fbclient.dll there is loaded. Both planted files are stand-ins that write a
// marker file when a process loads them.
//
// Wine prefers its own copy of a system library wherever the program looks;
// WINEDLLOVERRIDES=winhttp=n,b makes it search as Windows does, so that a
// planted winhttp.dll would be found.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "testing/run_program.h"
#include "testing/tool_fixture.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

void Copy(const std::string& from, const std::string& to) {
    fs::copy_file(fs::u8path(from), fs::u8path(to), fs::copy_options::overwrite_existing);
}

class PlantedLibrariesTest : public testing::ToolFixture {
protected:
    PlantedLibrariesTest() : ToolFixture(VANTREL_EXE) {}
};

TEST_F(PlantedLibrariesTest, WinHttpFromTheSystemFolderOnlyTheDatabaseClientFromBesideTheTool) {
    const std::string app = dir.File("app");
    const std::string work = dir.File("work");
    fs::create_directories(fs::u8path(app));
    fs::create_directories(fs::u8path(work));
    const std::string tool = app + "\\vantrel.exe";
    const std::string winhttp = app + "\\winhttp.dll";
    const std::string fbclient = app + "\\fbclient.dll";
    Copy(VANTREL_EXE, tool);
    Copy(STAND_IN_WINHTTP, winhttp);
    Copy(STAND_IN_FBCLIENT, fbclient);
    // A database to look up, so that the client library is loaded.
    testing::WriteFileBytes(work + "\\BANCO.INI", "[CONFIG]\r\nBASE=C:\\erp.fdb\r\nUSER=SYSDBA\r\n");

    testing::ProgramRun run = Prepare({}, {{"WINEDLLOVERRIDES", "mscoree,mshtml=;winhttp=n,b"}});
    run.program = tool;
    run.directory = work;
    run.timeout_ms = 60000;
    const testing::ProgramResult r = testing::RunProgram(run);

    EXPECT_FALSE(testing::FileExists(winhttp + ".loaded")) << "the planted winhttp.dll was loaded";
    ASSERT_TRUE(testing::FileExists(fbclient + ".loaded"))
        << "the fbclient.dll beside the tool was not loaded";
    // The stand-in records the program that loaded it (UTF-16).
    const std::string loader = testing::ReadFileBytes(fbclient + ".loaded");
    EXPECT_NE(loader.find(std::string("v\0a\0n\0t\0r\0e\0l\0.\0e\0x\0e\0", 22)), std::string::npos);

    // The stand-in client exports nothing, so the lookup fails (its box
    // returns at once without a display); the key request still goes out,
    // through the system's WinHTTP, without a tax id.
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, R"({"log":[],"Msg":"Sucesso"})");
    const auto requests = key_service.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].target.find("/api/acessoremoto?cnpj=&id_dispositivo="), std::string::npos)
        << requests[0].target;
}

}  // namespace
}  // namespace vantrel
