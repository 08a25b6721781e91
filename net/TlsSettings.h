#pragma once

#include <string>

namespace kestrel {

// How a check talks to its server: in clear as always, upgraded with STLS / STARTTLS after
// the greeting, or in TLS from the first byte (the servers' own ports, 995 and 563). The
// numbers are the stored values of `POPSecurity` and `NNTPSecurity`.
enum class ChannelSecurity : int { None = 0, StartTls = 1, OnConnect = 2 };

struct TlsSettings {
    ChannelSecurity security = ChannelSecurity::None;
    // A CA file trusted besides the system's store (CP932, as every setting); empty: none.
    std::string caFile;
};

// A stored value outside 0..2 counts as none, so an old or hand-edited setting never stops the
// checks.
ChannelSecurity SecurityFromSetting(int value);

}  // namespace kestrel
