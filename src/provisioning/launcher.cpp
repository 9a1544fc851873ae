#include "provisioning/launcher.h"

namespace vantrel::provisioning {

void ExecutarProcesso(platform::Programs& programs, const std::u16string& Comando, bool Aguardar,
                      bool Visivel) {
    try {
        programs.Start(Comando, Aguardar, Visivel);
    } catch (...) {
        // A start that fails is not reported, whatever the failure.
    }
}

bool AguardaServicoRodando(platform::Programs& programs, platform::Clock& clock,
                           const std::u16string& NomeServico, std::uint32_t TempoLimite) {
    const auto start = static_cast<std::uint32_t>(clock.Ticks());
    for (;;) {
        try {
            if (programs.ServiceRunning(NomeServico)) return true;
        } catch (...) {
            // A look that fails counts as a service not running yet.
        }
        clock.Sleep(kServicePollPause);
        const std::uint32_t elapsed = static_cast<std::uint32_t>(clock.Ticks()) - start;
        if (elapsed > TempoLimite) return false;
    }
}

}  // namespace vantrel::provisioning
