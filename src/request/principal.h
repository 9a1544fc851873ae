// TPrincipal: the one object a run's request flows through.
//
// It reads the request document, takes the request kind from "solicitacao",
// runs the provisioning sequence for kind 0, prints the result document and has
// the run logged. Every failure of the request's own steps ends up as the "erro"
// object of the result document, so a caller always gets one JSON document back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/error.h"
#include "json/json.h"
#include "platform/platform.h"
#include "request/standard_streams.h"

namespace vantrel::request {

class TPrincipal {
public:
    // Create: records the executable's directory and starts with an empty
    // request and an empty result.
    TPrincipal(platform::Platform& sys, StandardStreams& streams);
    ~TPrincipal() = default;  // Destroy: the two documents go with the object.
    TPrincipal(const TPrincipal&) = delete;
    TPrincipal& operator=(const TPrincipal&) = delete;

    // Directory of the running executable (where the installer is looked for).
    std::u16string PathDir;
    // The request; absent when the request text gave no JSON object.
    std::unique_ptr<json::Value> JsEntrada;
    // The result document while it is being built; never absent.
    std::unique_ptr<json::Value> JsRetorno;
    // The company's tax id, as digits; empty until the company lookup stores it.
    std::u16string FCNPJ;

    // The request cycle: reads the request when `Ler` is true, acts on it, prints
    // the result document and logs the run. Only a failure of the log, or one
    // that arises while the result itself is built, leaves it.
    void ProcessaSolicitacao(bool Ler);

    // Reads the whole input and replaces the request with its parse. Fails with
    // "EInOutError" on an input failure and "EInvalidCast" when the text is JSON
    // but not an object.
    void LerSolicitacao();

    // Asks the vendor's access-key service for the key of the remote-access
    // server, for the company `FCNPJ` and the device `IdPc` (machine identifier)
    // and `NomePC` (computer name). `KeyRustdesk` is emptied first and receives
    // the key on success; every failure is raised and leaves it empty.
    void BaixaDadosTivra(const std::u16string& IdPc, const std::u16string& NomePC,
                         std::u16string& KeyRustdesk);

    // Provisioning of the remote-access client (request kind 0).
    void ConfiguraRustDesk();

    // Fresh, empty request and result.
    void Clear();

    // Whether ProcessaSolicitacao has begun to print its result text: from then
    // on the run has its result document, whatever follows.
    bool Reported() const { return reported_; }

private:
    platform::Platform& sys_;
    StandardStreams& streams_;
    bool reported_ = false;
};

// The result document of a run that ran out of memory, as text: what is
// printed when not even the result text could be made.
inline constexpr char16_t kOutOfMemoryDocument[] =
    u"{\"log\":[],\"erro\":{\"class_erro\":\"EOutOfMemory\",\"msg_erro\":\"Out of memory\"}}";

// The "erro" object of a failure: "class_erro" its kind name, "msg_erro" its
// message.
json::Value FailureObject(const Error& failure);

// The result text of `result` in the compact form, pure ASCII. With `failing`
// (called while handling the failure that is leaving the request cycle) a
// result that has neither "Msg" nor "erro" yet is replaced by the document of
// that failure, so that what is printed is always a complete document. Running
// out of memory while the text is made gives kOutOfMemoryDocument.
std::u16string ResultText(const json::Value& result, bool failing);

// The end of every run: `text` on standard output (a failed write is dropped)
// and then its line in the run log, whose failures leave the function.
void PrintAndLog(platform::Platform& sys, StandardStreams& streams, const std::u16string& text);

// Looks `path` up in `object` and converts what it finds to a 32-bit integer.
// Never fails: false when the object is absent, nothing is found or the value
// does not convert, and then `value` is left as it was.
bool TentaObterInteiro(const json::Value* object, std::u16string_view path, std::int32_t& value);

}  // namespace vantrel::request
