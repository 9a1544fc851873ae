// TDM: the database module. Its creation handler finds out which company this PC
// belongs to (the tax id, read from the ERP's Firebird database that BANCO.INI
// locates) and stores it in FCNPJ. The lookup never fails the request: a missing
// BANCO.INI makes it do nothing, and any failure is shown in the error box and
// then dropped.
#pragma once

#include <memory>
#include <string>

#include "company/connection.h"
#include "company/database_client.h"
#include "platform/platform.h"

namespace vantrel::company {

// The one statement: the company's tax id, as digits.
inline constexpr char16_t kStatement[] =
    u"SELECT FIRST 1 APENASNUMERO(CONFIGURACOES.CNPJ) FROM CONFIGURACOES";

class TDM {
    // Declared before Connection, which uses it: the client outlives the
    // connection's end.
    std::unique_ptr<DatabaseClient> own_client_;
    platform::Platform& sys_;

public:
    // The connection starts closed, with the fixed settings: Firebird, character
    // set ISO8859_1, SQL dialect 3. It goes through `client` when one is given
    // (tests), else through a Firebird client of the module's own over the
    // platform's libraries.
    explicit TDM(platform::Platform& sys, DatabaseClient* client = nullptr);
    // The connection closes: its transaction is rolled back and the client detaches.
    ~TDM() = default;
    TDM(const TDM&) = delete;
    TDM& operator=(const TDM&) = delete;

    TConnection Connection;

    // Reads BANCO.INI from the current directory, opens Connection, runs the
    // statement and stores its value in `FCNPJ`. No settings file: nothing
    // happens. Any failure after that shows the error box and returns normally,
    // leaving `FCNPJ` as it was; the connection, once open, stays open.
    void DataModuleCreate(std::u16string& FCNPJ);
};

// The module of this run; absent until CriaDM.
extern std::unique_ptr<TDM> DM;

// Creates DM, which refers to the new module before its creation handler runs,
// and runs DataModuleCreate. Returns normally whatever happens inside. `client`
// as for TDM.
void CriaDM(platform::Platform& sys, std::u16string& FCNPJ, DatabaseClient* client = nullptr);

// Shutdown: frees DM, closing its connection (roll back, detach).
void LiberaDM();

// The error box's caption: the executable's file name up to its first ".", with
// every character after the first in lower case ("ABC_TOOL.V2.exe": "Abc_tool").
std::u16string ApplicationTitle(platform::Process& process, platform::Locale& locale);

// A failure's message as the box shows it: a "." is added when the message is not
// empty and its last code unit comes after the period (46).
std::u16string BoxText(std::u16string message);

}  // namespace vantrel::company
