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
    // Both fresh objects exist before the old ones go: running out of memory
    // half-way leaves the old request and result, never an absent result.
    auto request = std::make_unique<json::Value>(EmptyObject());
    auto result = std::make_unique<json::Value>(EmptyObject());
    JsEntrada = std::move(request);
    JsRetorno = std::move(result);
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
        } catch (...) {
            const Error failure = CurrentFailure();
            if (trace::On()) trace::Line("end", u"failed: " + failure.kind() + u": " + failure.message());
            JsRetorno->AddMember(u"erro", FailureObject(failure));
        }
    } catch (...) {
        // The result text and the log line go out also while a failure that
        // could not be turned into the "erro" object is on its way out; the text
        // then reports that failure.
        const std::u16string text = ResultText(*JsRetorno, true);
        reported_ = true;
        PrintAndLog(sys_, streams_, text);
        throw;
    }
    const std::u16string text = ResultText(*JsRetorno, false);
    reported_ = true;
    PrintAndLog(sys_, streams_, text);
}

json::Value FailureObject(const Error& failure) {
    json::Value erro = json::Value::Object();
    erro.AddMember(u"class_erro", failure.kind());
    erro.AddMember(u"msg_erro", failure.message());
    return erro;
}

std::u16string ResultText(const json::Value& result, bool failing) {
    try {
        const json::WriteOptions ascii{.escape_below_32 = true, .escape_above_127 = true};
        // A result that has its outcome is printed as it stands; one that a
        // failure left without it is replaced by the document of that failure.
        if (result.MemberByName(u"Msg") != nullptr || result.MemberByName(u"erro") != nullptr || !failing) {
            return json::Write(result, ascii);
        }
        json::Value document = json::Value::Object();
        document.AddMember(u"log", json::Value::Array());
        document.AddMember(u"erro", FailureObject(CurrentFailure()));
        return json::Write(document, ascii);
    } catch (...) {
        // Only memory can have run out here.
        return kOutOfMemoryDocument;
    }
}

void PrintAndLog(platform::Platform& sys, StandardStreams& streams, const std::u16string& text) {
    // A result that cannot be written is not reported anywhere. Running out of
    // memory while writing leaves nothing written, so the write is tried once
    // more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            streams.Write(text);
            break;
        } catch (const Error&) {
            break;
        } catch (...) {
        }
    }
    // The trace never stops the report.
    auto note = [](auto&& line) noexcept {
        try {
            if (trace::On()) trace::Line("end", line());
        } catch (...) {
        }
    };
    note([&] { return u"result " + text; });
    try {
        GravaLog(sys, text);
    } catch (...) {
        note([] { return u"log line not written: " + CurrentFailure().message(); });
        throw;
    }
    note([] { return std::u16string(u"log line written"); });
}

bool TentaObterInteiro(const json::Value* object, std::u16string_view path, std::int32_t& value) {
    if (object == nullptr) return false;
    const json::Value* found = json::FindByPath(object, path);
    if (found == nullptr) return false;
    try {
        value = json::ToInteger(*found);
        return true;
    } catch (...) {
        // Whatever failed, memory exhaustion included: the kind stays as it was.
        return false;
    }
}

}  // namespace vantrel::request
