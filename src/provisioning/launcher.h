// Starting a program from one command line, and waiting for a service to run.
#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "platform/programs.h"

namespace vantrel::provisioning {

// Starts the program `Comando` names (program path and arguments in one text),
// exactly as given: nothing is quoted or escaped. Waits for its end when
// `Aguardar`; `Visivel` false keeps a console program without a window. A
// program that cannot be started is not reported; `Comando` stays unchanged.
void ExecutarProcesso(platform::Programs& programs, const std::u16string& Comando, bool Aguardar,
                      bool Visivel);

// The pause between two looks at the service.
inline constexpr std::uint32_t kServicePollPause = 1000;

// Looks at the service `NomeServico` at once and then after every pause of
// kServicePollPause ms for as long as the time since the start, on a 32-bit
// millisecond counter that may wrap, is at most `TempoLimite` ms. True as soon
// as a look finds it running, false when the budget is used up. Raises nothing.
bool AguardaServicoRodando(platform::Programs& programs, platform::Clock& clock,
                           const std::u16string& NomeServico, std::uint32_t TempoLimite);

}  // namespace vantrel::provisioning
