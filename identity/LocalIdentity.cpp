#include "identity/LocalIdentity.h"

#include <cstring>

#include "platform/SystemInfo.h"
#include "res/Cp932.h"
#include "res/Text.h"
#include "res/TextsCore.h"

namespace kestrel {
LocalIdentity MakeLocalIdentity(const IdentitySources& s) {
    LocalIdentity id;
    CopyField(id.nickname, s.nickname);
    CopyField(id.hostName, s.computerName.empty() ? txt::kNoName : s.computerName);
    CopyField(id.userName, s.logonName.empty() ? txt::kNoName : s.logonName);
    id.present = 1;
    CopyField(id.address, s.address);
    const std::string version = std::string(txt::kProductTitle) + " " + txt::kVersion;
    CopyField(id.version, version);
    return id;
}

IdentitySources ReadIdentitySources(const std::string& nickname) {
    IdentitySources s;
    s.nickname = nickname;
    s.computerName = ComputerName().value_or(std::string());
    s.logonName = LogonName().value_or(std::string());
    if (!s.computerName.empty()) s.address = ResolveFirstIPv4(s.computerName).value_or("");
    return s;
}

}  // namespace kestrel
