#include "provisioning/rustdesk.h"

#include "core/error.h"
#include "core/path.h"
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
    if (sys.files.Exists(client)) {
        start_client();
        return;
    }
    const std::u16string installer = CaminhoInstalador(path_dir, sys.process.PathSeparator());
    if (!sys.files.Exists(installer)) return;

    Start(sys, Quoted(installer) + u" --silent-install");
    AguardaServicoRodando(sys.programs, sys.clock, kServiceName, kServiceBudget);
    sys.clock.Sleep(kAfterServicePause);
    if (sys.files.Exists(client)) {
        start_client();
    } else {
        Start(sys, Quoted(installer));
    }
}

}  // namespace vantrel::provisioning
