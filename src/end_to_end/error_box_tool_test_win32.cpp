// The tool's error box as a user sees it: a real window on the display, read
// while the run waits on it, closed with OK, after which the run goes on and
// asks for the key without a tax id.
#include <gtest/gtest.h>

#include <string>

#include "testing/windows_tool_fixture_win32.h"

namespace vantrel::end_to_end {
namespace {

const std::string kSettings =
    "[CONFIG]\r\nSERVER=erpsrv\r\nBASE=C:\\ERP\\DADOS.FDB\r\nUSER=SYSDBA\r\nPWD=masterkey\r\n";

// The text of a failed load of the client library, for the system's text of the
// last load's error.
std::string LoadFailure(const std::string& system_text) {
    return "Error 126: the Firebird database client library could not be loaded (tried \"fbclient.dll\" and "
           "\"fbembed.dll\").\r\n" +
           system_text +
           ".\r\nPlace fbclient.dll on the library search path or in the executable's folder; it must be "
           "built for the 32-bit x86 architecture.";
}

struct BoxCase {
    const char* name;
    std::vector<std::string> script;  // empty: no client library at all
    std::string text;                 // exactly as the box shows it
};

TEST_F(WindowsToolTest, BoxShowsTheFailureAndTheRunWaitsForOk) {
    const BoxCase cases[] = {
        // Ends with a parenthesis: no period added.
        {"null value", {"type=null"}, "Could not convert variant of type (Null) into type (OleStr)"},
        {"client lines",
         {"fail=prepare", "line=Dynamic SQL Error", "line=SQL error code = -204", "line=Table unknown",
          "line=CONFIGURACOES", "line=At line 1, column 44"},
         "Firebird client error:\r\nDynamic SQL Error\r\nSQL error code = -204\r\nTable "
         "unknown\r\nCONFIGURACOES\r\nAt line 1, column 44."},
        // Already ends with a period: none added.
        {"client line with its period",
         {"fail=attach", "line=Your user name and password are not defined. Ask your database administrator "
                         "to set up a Firebird login."},
         "Firebird client error:\r\nYour user name and password are not defined. Ask your database "
         "administrator to set up a Firebird login."},
        {"no client library", {}, LoadFailure("Module not found")},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.name);
        NewFolder();
        PlaceTool();
        if (!c.script.empty()) {
            PlaceClient("fbclient.dll");
            WriteScript(c.script);
        }
        WriteSettings(kSettings);
        testing::ProgramResult result;
        // Held open a while: the run still waits.
        SeenBox box = RunWithBox(result, "vantrel", 3000);
        EXPECT_EQ(box.caption, "vantrel");
        EXPECT_EQ(box.text, c.text);
        EXPECT_EQ(box.buttons, "OK");
        EXPECT_EQ(box.icon, "stop");
        // After OK the run goes on: the key is asked for without a tax id.
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_EQ(result.out, kSuccess);
        ExpectLoggedOnce(kSuccess);
        EXPECT_EQ(SentCnpj(), "");
    }
}

// The caption is the executable's name up to its first period, the rest of it
// in lower case.
TEST_F(WindowsToolTest, BoxCaptionIsTheApplicationTitle) {
    PlaceTool("ABC_TOOL.V2.exe");
    WriteSettings(kSettings);
    testing::ProgramResult result;
    SeenBox box = RunWithBox(result, "Abc_tool");
    EXPECT_EQ(box.caption, "Abc_tool");
    EXPECT_EQ(box.text, LoadFailure("Module not found"));
    EXPECT_EQ(result.out, kSuccess);
}

}  // namespace
}  // namespace vantrel::end_to_end
