#include "company/dm.h"

#include "company/firebird_client.h"
#include "company/settings.h"
#include "core/error.h"
#include "core/path.h"
#include "core/trace.h"
#include "core/utf.h"

namespace vantrel::company {

std::unique_ptr<TDM> DM;

namespace {

// The value's text: empty without a row; NULL has none.
std::u16string TextOf(const FirstValue& value) {
    switch (value.kind) {
    case FirstValue::Kind::NoRow: return {};
    case FirstValue::Kind::Null:
        throw Error(u"EVariantTypeCastError", u"Could not convert variant of type (Null) into type (OleStr)");
    case FirstValue::Kind::Text: return value.text;
    }
    return {};
}

}  // namespace

TDM::TDM(platform::Platform& sys, DatabaseClient* client)
    : own_client_(client ? nullptr : std::make_unique<FirebirdClient>(sys.libraries)),
      sys_(sys),
      Connection(client ? *client : *own_client_) {
    Connection.Params.DriverID = u"FB";
    Connection.Params.CharacterSet = u"ISO8859_1";
    Connection.Params.SQLDialect = 3;
}

void TDM::DataModuleCreate(std::u16string& FCNPJ) {
    const std::u16string path = SettingsPath(sys_.process);
    if (!sys_.files.Exists(path)) {
        if (trace::On()) trace::Line("company", u"settings " + path + u" not found: no tax id");
        return;
    }
    std::u16string failure;
    try {
        const DatabaseSettings settings = ReadSettings(sys_.profiles, path);
        trace::Conceal(settings.password);
        if (trace::On()) trace::Line("company", u"settings " + path + u" found");
        Connection.Close();
        Connection.Params.Settings = settings;
        Connection.Open();
        const FirstValue value = Connection.ExecSQLScalar(kStatement);
        if (trace::On()) {
            trace::Line("company", value.kind == FirstValue::Kind::Text    ? u"tax id " + value.text
                                   : value.kind == FirstValue::Kind::NoRow ? u"the statement gave no row"
                                                                           : u"the statement gave NULL");
        }
        FCNPJ = TextOf(value);
        return;
    } catch (...) {
        // Memory exhaustion included: the box says so.
        failure = CurrentFailure().message();
    }
    if (trace::On()) trace::Line("company", u"failed; the box shows: " + BoxText(failure));
    sys_.error_box.Show(ApplicationTitle(sys_.process, sys_.locale), BoxText(failure));
}

void CriaDM(platform::Platform& sys, std::u16string& FCNPJ, DatabaseClient* client) {
    try {
        DM = std::make_unique<TDM>(sys, client);
        DM->DataModuleCreate(FCNPJ);
    } catch (...) {
        // The creation of the module never fails the run.
    }
}

void LiberaDM() { DM.reset(); }

std::u16string ApplicationTitle(platform::Process& process, platform::Locale& locale) {
    const std::u16string path = process.ExecutablePath();
    std::u16string name(FileNameOf(path, process.PathSeparator()));
    const std::size_t dot = name.find(u'.');
    if (dot != std::u16string::npos) name.erase(dot);
    return locale.LowerAfterFirst(name);
}

std::u16string BoxText(std::u16string message) {
    if (!message.empty() && message.back() > 46) message += u'.';
    return message;
}

}  // namespace vantrel::company
