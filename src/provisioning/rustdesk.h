// Installing, configuring and starting the RustDesk remote-access client.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace vantrel::provisioning {

inline constexpr char16_t kServiceName[] = u"RustDesk";
inline constexpr std::uint32_t kServiceBudget = 20000;     // ms
inline constexpr std::uint32_t kAfterServicePause = 1000;  // ms

// Refuses, with "EAccessKeyError", a key that could change the client's command
// line or configuration: one holding a double quote, a backslash, a comma or a
// control character (below U+0020, or U+007F). The client splits its
// configuration at commas, and a backslash before the closing quote would
// make that quote literal.
void RecusaChaveInvalida(std::u16string_view key);

// " --config \"host=<host>,key=<key>\"".
std::u16string ArgumentoConfiguracao(std::u16string_view host, std::u16string_view key);

// "ProgramW6432", or "ProgramFiles" when that is empty, then
// <sep>RustDesk<sep>rustdesk.exe.
std::u16string CaminhoClienteInstalado(platform::Programs& programs, char16_t separator);

// The installer beside the executable: <path_dir><sep>rustdesk.exe.
std::u16string CaminhoInstalador(std::u16string_view path_dir, char16_t separator);

// Branch A, client installed: starts it with the configuration, then plainly.
// Branch B, installer beside the executable: silent installation, a wait of up
// to kServiceBudget ms for the service, a pause, then the two client starts of
// branch A, or the installer started plainly when the installation left no
// client. Branch C, neither there: nothing. Program paths are quoted. Every
// start is visible and not waited for. Reports nothing.
void InstalaExecutaRustDesk(platform::Platform& sys, std::u16string_view path_dir, std::u16string_view host,
                            std::u16string_view key);

}  // namespace vantrel::provisioning
