// The company lookup through the Firebird client library's binary interface:
// whole runs of vantrel.exe with BANCO.INI and a stand-in fbclient.dll that
// records what it is asked and answers from a script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/windows_tool_fixture_win32.h"

namespace vantrel::end_to_end {
namespace {

using Lines = std::vector<std::string>;

const std::string kSettings =
    "[CONFIG]\r\nSERVER=erpsrv\r\nPORT=3051\r\nBASE=C:\\ERP\\DADOS.FDB\r\nUSER=SYSDBA\r\nPWD=masterkey\r\n";

// What a run asks the library up to the end of its query, with kSettings.
const Lines kAttach = {
    "library fbclient.dll",
    "attach erpsrv/3051:C:\\ERP\\DADOS.FDB",
    "dpb version=1",
    "dpb user_name=SYSDBA",
    "dpb password=masterkey",
    "dpb lc_ctype=ISO8859_1",
    "dpb sql_dialect=3 (4 bytes)",
};
const Lines kQuery = {
    "start_transaction count=1 tpb=version3 write read_committed rec_version nowait",
    "allocate_statement",
    "prepare dialect=3 SELECT FIRST 1 APENASNUMERO(CONFIGURACOES.CNPJ) FROM CONFIGURACOES",
    "execute dialect=3",
    "fetch dialect=3",
    "free_statement drop",
};
// At shutdown, after the result is logged: the transaction rolled back, then the
// detach, once each.
const Lines kShutdown = {"rollback (after the run log)", "detach (after the run log)"};

Lines Join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST_F(WindowsToolTest, EachKindOfValueGivesTheDigitsSent) {
    struct Case {
        Lines script;
        std::string cnpj;
    } cases[] = {
        {{"type=varchar", "value=12345678000190"}, "12345678000190"},
        {{"type=char", "length=18", "value=12345678000190"}, "12345678000190"},  // trailing blanks dropped
        {{"type=smallint", "value=00123"}, "123"},                               // leading zeros lost
        {{"type=integer", "value=0012345678"}, "12345678"},
        {{"type=bigint", "value=012345678000190"}, "12345678000190"},
        {{"row=none"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script.back());
        NewFolder();
        PlaceTool();
        PlaceClient("fbclient.dll");
        WriteScript(c.script);
        WriteSettings(kSettings);
        testing::ProgramResult r = RunWithoutBox();
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, kSuccess);
        EXPECT_EQ(SentCnpj(), c.cnpj);
        EXPECT_EQ(Calls(), Join({kAttach, kQuery, kShutdown}));
        ExpectLoggedOnce(kSuccess);
    }
}

// A failure at the attach, the prepare or the fetch: the library's lines in the
// box, the run going on without a tax id, and an open connection closed only at
// the end.
TEST_F(WindowsToolTest, ClientFailureIsShownAndTheRunGoesOn) {
    struct Case {
        std::string call;
        Lines calls;
    } cases[] = {
        {"attach", kAttach},  // nothing to roll back or detach
        {"prepare", Join({kAttach, {kQuery[0], kQuery[1], kQuery[2], "free_statement drop"}, kShutdown})},
        {"fetch", Join({kAttach, kQuery, kShutdown})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        NewFolder();
        PlaceTool();
        PlaceClient("fbclient.dll");
        WriteScript({"fail=" + c.call, "code=335544321",
                     "line=arithmetic exception, numeric overflow, or "
                     "string truncation",
                     "line=failed at the " + c.call});
        WriteSettings(kSettings);
        testing::ProgramResult r;
        SeenBox box = RunWithBox(r);
        EXPECT_EQ(box.text, "Firebird client error:\r\narithmetic exception, numeric overflow, or string "
                            "truncation\r\nfailed at the " +
                                c.call + ".");
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, kSuccess);
        EXPECT_EQ(SentCnpj(), "");
        EXPECT_EQ(Calls(), c.calls);
        ExpectLoggedOnce(kSuccess);
    }
}

// Without fbclient.dll the second name is loaded. Without a server the database
// string is the base alone; an empty user name and password are not sent.
TEST_F(WindowsToolTest, EmbeddedLibraryAloneIsUsed) {
    PlaceTool();
    PlaceClient("fbembed.dll");
    WriteScript({"type=varchar", "value=12345678000190"});
    WriteSettings("[CONFIG]\r\nBASE=C:\\ERP\\DADOS.FDB\r\nUSER=\r\n");
    testing::ProgramResult r = RunWithoutBox();
    EXPECT_EQ(r.out, kSuccess);
    EXPECT_EQ(SentCnpj(), "12345678000190");
    EXPECT_EQ(Calls(), Join({{"library fbembed.dll", "attach C:\\ERP\\DADOS.FDB", "dpb version=1",
                              "dpb lc_ctype=ISO8859_1", "dpb sql_dialect=3 (4 bytes)"},
                             kQuery,
                             kShutdown}));
}

// A 64-bit library under the first name: the box leads with that, before the
// system's error of the last load.
TEST_F(WindowsToolTest, LibraryForAnotherArchitectureIsNamedFirst) {
    PlaceTool();
    PlaceClient("fbclient.dll", /*foreign=*/true);
    WriteSettings(kSettings);
    testing::ProgramResult r;
    SeenBox box = RunWithBox(r);
    EXPECT_EQ(box.text,
              "\"fbclient.dll\" was found but is not built for the 32-bit x86 architecture.\r\n"
              "Error 126: the Firebird database client library could not be loaded (tried \"fbclient.dll\" "
              "and \"fbembed.dll\").\r\nModule not found.\r\nPlace fbclient.dll on the library search path "
              "or in the executable's folder; it must be built for the 32-bit x86 architecture.");
    EXPECT_EQ(r.out, kSuccess);
    EXPECT_EQ(SentCnpj(), "");

    // With a usable library under the second name, that one is used.
    NewFolder();
    PlaceTool();
    PlaceClient("fbclient.dll", /*foreign=*/true);
    PlaceClient("fbembed.dll");
    WriteScript({"type=varchar", "value=12345678000190"});
    WriteSettings(kSettings);
    r = RunWithoutBox();
    EXPECT_EQ(r.out, kSuccess);
    EXPECT_EQ(SentCnpj(), "12345678000190");
    ASSERT_FALSE(Calls().empty());
    EXPECT_EQ(Calls()[0], "library fbembed.dll");
}

}  // namespace
}  // namespace vantrel::end_to_end
