#include "provisioning/rustdesk.h"

#include "core/ascii.h"
#include "core/error.h"
#include "core/path.h"
#include "core/trace.h"
#include "provisioning/launcher.h"

namespace vantrel::provisioning {

namespace {

std::u16string Quoted(std::u16string_view path) {
    std::u16string out;
    out.reserve(path.size() + 2);
    out += u'"';
    out += path;
    out += u'"';
    return out;
}

void Start(platform::Platform& sys, const std::u16string& command) {
    ExecutarProcesso(sys.programs, command, false, true);
}

}  // namespace

void RecusaChaveInvalida(std::u16string_view key) {
    for (char16_t c : key) {
        if (c == u'"' || c == u'\\' || c == u',' || c < 0x20 || c == 0x7F) {
            throw Error(u"EAccessKeyError", u"The access key contains a character that is not allowed");
        }
    }
}

std::u16string ArgumentoConfiguracao(std::u16string_view host, std::u16string_view key) {
    std::u16string out = u" --config \"host=";
    out += host;
    out += u",key=";
    out += key;
    out += u'"';
    return out;
}

std::u16string CaminhoClienteInstalado(platform::Programs& programs, char16_t separator) {
    std::u16string base = programs.Environment(u"ProgramW6432");
    if (base.empty()) base = programs.Environment(u"ProgramFiles");
    return JoinPath(JoinPath(base, u"RustDesk", separator), u"rustdesk.exe", separator);
}

std::u16string CaminhoInstalador(std::u16string_view path_dir, char16_t separator) {
    return JoinPath(path_dir, u"rustdesk.exe", separator);
}

void InstalaExecutaRustDesk(platform::Platform& sys, std::u16string_view path_dir, std::u16string_view host,
                            std::u16string_view key) {
    const std::u16string config = ArgumentoConfiguracao(host, key);
    const std::u16string client = CaminhoClienteInstalado(sys.programs, sys.process.PathSeparator());
    auto start_client = [&] {
        // The run that takes the configuration and the plain client, side by side.
        Start(sys, Quoted(client) + config);
        Start(sys, Quoted(client));
    };
    // What this step found and chose, for the support trace; the texts are
    // built only while it is on.
    const bool tracing = trace::On();
    auto note = [](const std::u16string& text) { trace::Line("provisioning", text); };
    if (sys.files.Exists(client)) {
        if (tracing) note(u"client " + client + u" is there");
        if (tracing) note(u"branch A: the client is installed; configure it and start it");
        start_client();
        return;
    }
    if (tracing) note(u"client " + client + u" is not there");
    const std::u16string installer = CaminhoInstalador(path_dir, sys.process.PathSeparator());
    if (!sys.files.Exists(installer)) {
        if (tracing) note(u"installer " + installer + u" is not there");
        if (tracing) note(u"branch C: no client and no installer; nothing to start");
        return;
    }
    if (tracing) note(u"installer " + installer + u" is there");
    if (tracing) note(u"branch B: no client; install it with the installer beside the tool");

    Start(sys, Quoted(installer) + u" --silent-install");
    const bool up = AguardaServicoRodando(sys.programs, sys.clock, kServiceName, kServiceBudget);
    if (tracing)
        note(up ? std::u16string(u"the service is running") : std::u16string(u"the service is not running"));
    if (tracing) note(u"pause of " + Decimal(kAfterServicePause) + u" ms");
    sys.clock.Sleep(kAfterServicePause);
    if (sys.files.Exists(client)) {
        if (tracing) note(u"client " + client + u" is there after the install; configure it and start it");
        start_client();
    } else {
        if (tracing) note(u"client " + client + u" still not there; start the installer on its own");
        Start(sys, Quoted(installer));
    }
}

}  // namespace vantrel::provisioning
