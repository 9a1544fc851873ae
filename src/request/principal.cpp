#include "request/principal.h"

#include "accesskey/access_key.h"
#include "accesskey/device_identity.h"
#include "company/dm.h"
#include "core/ascii.h"
#include "core/error.h"
#include "core/path.h"
#include "core/server_host.h"
#include "core/trace.h"
#include "core/utf.h"
#include "provisioning/rustdesk.h"
#include "request/run_log.h"

namespace vantrel::request {

namespace {

json::Value EmptyObject() { return json::Value::Object(); }

}  // namespace

TPrincipal::TPrincipal(platform::Platform& sys, StandardStreams& streams)
    : PathDir(DirectoryOf(sys.process.ExecutablePath(), sys.process.PathSeparator())),
      JsEntrada(std::make_unique<json::Value>(EmptyObject())),
      JsRetorno(std::make_unique<json::Value>(EmptyObject())),
      sys_(sys),
      streams_(streams) {}

void TPrincipal::Clear() {
    JsEntrada.reset();
    JsRetorno.reset();
    JsEntrada = std::make_unique<json::Value>(EmptyObject());
    JsRetorno = std::make_unique<json::Value>(EmptyObject());
}

void TPrincipal::LerSolicitacao() {
    std::vector<std::u16string> lines = streams_.ReadLines();
    JsEntrada.reset();

    std::u16string text;
    for (const auto& line : lines) {
        text += line;
        text += u"\r\n";
    }
    std::unique_ptr<json::Value> parsed = json::Parse(text);
    if (!parsed) return;
    if (parsed->kind() != json::Kind::Object) {
        throw Error(u"EInvalidCast", u"Invalid class typecast");
    }
    JsEntrada = std::move(parsed);
}

void TPrincipal::BaixaDadosTivra(const std::u16string& IdPc, const std::u16string& NomePC,
                                 std::u16string& KeyRustdesk) {
    // The inputs are read before the key is emptied, so that a caller passing
    // one string for both still asks with what it held.
    // NOLINTBEGIN(performance-unnecessary-copy-initialization): the copies are the point
    const std::u16string id = IdPc;
    const std::u16string name = NomePC;
    // NOLINTEND(performance-unnecessary-copy-initialization)
    KeyRustdesk.clear();
    KeyRustdesk = accesskey::RequestAccessKey(sys_.http, FCNPJ, id, name);
    trace::Conceal(KeyRustdesk);
    if (trace::On()) trace::Line("key", u"a key of " + Decimal(KeyRustdesk.size()) + u" characters");
}

void TPrincipal::ConfiguraRustDesk() {
    // First the company's tax id, once per run, into FCNPJ. The lookup never
    // fails the request.
    try {
        if (!company::DM) company::CriaDM(sys_, FCNPJ);
    } catch (...) {
        // The data module shows its own failures; the run goes on without the id.
    }

    // The PC's identity and the key; a failure here ends the request before
    // anything is started.
    std::u16string key;
    const std::u16string name = accesskey::LeNomeComputador(sys_.identity);
    const std::u16string machine = accesskey::LeMachineGuid(sys_.identity);
    if (trace::On())
        trace::Line("identity", u"computer name \"" + name + u"\"; machine id \"" + machine + u"\"");
    BaixaDadosTivra(machine, name, key);
    provisioning::RecusaChaveInvalida(key);

    provisioning::InstalaExecutaRustDesk(sys_, PathDir, ServerHost(), key);
}

void TPrincipal::ProcessaSolicitacao(bool Ler) {
    // The result text and the log run on every path, also while a failure that
    // could not be turned into the "erro" object is on its way out.
    auto finish = [this] {
        std::u16string text = json::Write(*JsRetorno, {.escape_below_32 = true, .escape_above_127 = true});
        try {
            streams_.Write(text);
        } catch (const Error&) {
            // A result that cannot be written is not reported anywhere.
        }
        if (trace::On()) trace::Line("end", u"result " + text);
        try {
            GravaLog(sys_, text);
        } catch (const Error& failure) {
            if (trace::On()) trace::Line("end", u"log line not written: " + failure.message());
            throw;
        }
        if (trace::On()) trace::Line("end", u"log line written");
    };

    try {
        JsRetorno->AddMember(u"log", json::Value::Array());
        try {
            if (Ler) LerSolicitacao();
            std::int32_t kind = 0;
            const bool read = TentaObterInteiro(JsEntrada.get(), u"solicitacao", kind);
            if (trace::On()) {
                trace::Line("start", read ? u"request kind " + Decimal(kind)
                                     : JsEntrada
                                         ? u"request kind 0: no integer \"solicitacao\" in the request"
                                         : u"request kind 0: the request is not JSON");
            }
            if ((kind & 0xFF) == 0) {
                ConfiguraRustDesk();
            } else if (trace::On()) {
                trace::Line("start", u"not a provisioning request: nothing to do");
            }
            JsRetorno->AddMember(u"Msg", std::u16string(u"Sucesso"));
        } catch (const Error& failure) {
            if (trace::On()) trace::Line("end", u"failed: " + failure.kind() + u": " + failure.message());
            json::Value erro = json::Value::Object();
            erro.AddMember(u"class_erro", failure.kind());
            erro.AddMember(u"msg_erro", failure.message());
            JsRetorno->AddMember(u"erro", std::move(erro));
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

bool TentaObterInteiro(const json::Value* object, std::u16string_view path, std::int32_t& value) {
    if (object == nullptr) return false;
    const json::Value* found = json::FindByPath(object, path);
    if (found == nullptr) return false;
    try {
        value = json::ToInteger(*found);
        return true;
    } catch (const Error&) {
        return false;
    }
}

}  // namespace vantrel::request
