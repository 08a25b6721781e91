#pragma once

#include <optional>
#include <string>

namespace kestrel {

// The computer name; nullopt when it cannot be read.
std::optional<std::string> ComputerName();
// The log-on name of the real user; nullopt when it cannot be read.
std::optional<std::string> LogonName();
// Dotted text of the first IPv4 address a look-up of host returns; nullopt when it fails.
std::optional<std::string> ResolveFirstIPv4(const std::string& host);

}  // namespace kestrel
