// The database settings file BANCO.INI: where it is and what it says.
#pragma once

#include <cstdint>
#include <string>

#include "company/connection.h"
#include "platform/process.h"
#include "platform/profiles.h"

namespace vantrel::company {

// BANCO.INI in the current directory: the directory as the platform reports it,
// one separator (also after a root, where the system reads the doubled separator
// as one) and the name.
std::u16string SettingsPath(platform::Process& process);

// Reads the five keys of section "CONFIG", in the order "SERVER", "BASE",
// "USER", "PWD", "PORT". A missing key gives the empty text (PORT:
// kDefaultPort). DatabaseSettings is the connection's (connection.h): the
// values go to it as they are read.
DatabaseSettings ReadSettings(platform::Profiles& profiles, const std::u16string& path);

// The port from its text: a text of more than two characters that starts with
// "0x" in any letter case reads as "$" and the rest; then the integer-text rule
// (decimal, or hexadecimal after "$", "x" or "0x"); kDefaultPort when that
// fails. The number is not checked as a port.
std::int32_t PortFromText(std::u16string text);

}  // namespace vantrel::company
