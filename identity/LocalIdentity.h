#pragma once

#include <string>
#include <string_view>

namespace kestrel {

// What this station announces to its peers. Fixed-size zero-terminated fields, as the peers'
// records carry them; a text too long for its field is cut at a character boundary.
struct LocalIdentity {
    char nickname[128] = {};
    char userName[128] = {};
    char hostName[128] = {};
    int present = 1;
    char whereabouts[64] = {};
    char spare[128] = {};
    char address[40] = {};
    char version[64] = {};
};

// Fill the identity the way start-up does: nickname, computer and log-on names ("no_name"
// when unreadable), present, the address of the first IPv4 address of the computer name,
// and the version text.
struct IdentitySources {
    std::string nickname;
    std::string computerName;  // empty: unreadable
    std::string logonName;     // empty: unreadable
    std::string address;       // empty: look-up failed
};
LocalIdentity MakeLocalIdentity(const IdentitySources& sources);
IdentitySources ReadIdentitySources(const std::string& nickname);

}  // namespace kestrel
