#include "provisioning/launcher.h"

#include "core/ascii.h"
#include "core/trace.h"

namespace vantrel::provisioning {

void ExecutarProcesso(platform::Programs& programs, const std::u16string& Comando, bool Aguardar,
                      bool Visivel) {
    // The command line goes to the trace with every concealed secret (the key)
    // masked.
    if (trace::On()) trace::Line("provisioning", u"start " + Comando);
    bool started = false;
    try {
        started = programs.Start(Comando, Aguardar, Visivel);
    } catch (...) {
        // A start that fails is not reported, whatever the failure.
    }
    if (trace::On()) trace::Line("provisioning", started ? u"started" : u"did not start");
}

bool AguardaServicoRodando(platform::Programs& programs, platform::Clock& clock,
                           const std::u16string& NomeServico, std::uint32_t TempoLimite) {
    const auto start = static_cast<std::uint32_t>(clock.Ticks());
    if (trace::On()) {
        trace::Line("provisioning",
                    u"waiting up to " + Decimal(TempoLimite) + u" ms for the service " + NomeServico);
    }
    for (;;) {
        bool running = false;
        try {
            running = programs.ServiceRunning(NomeServico);
        } catch (...) {
            // A look that fails counts as a service not running yet.
        }
        if (trace::On()) {
            const std::uint32_t elapsed = static_cast<std::uint32_t>(clock.Ticks()) - start;
            trace::Line("provisioning", u"service " + NomeServico +
                                            (running ? u" running" : u" not running") + u" after " +
                                            Decimal(elapsed) + u" ms");
        }
        if (running) return true;
        clock.Sleep(kServicePollPause);
        const std::uint32_t elapsed = static_cast<std::uint32_t>(clock.Ticks()) - start;
        if (elapsed > TempoLimite) {
            if (trace::On()) trace::Line("provisioning", u"the service did not come up within the wait");
            return false;
        }
    }
}

}  // namespace vantrel::provisioning
