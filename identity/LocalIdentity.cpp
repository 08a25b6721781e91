#include "identity/LocalIdentity.h"

#include <cstring>

#include "platform/SystemInfo.h"
#include "res/Text.h"
#include "res/TextsCore.h"

namespace kestrel {
namespace {

bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

}  // namespace

void CopyField(char* field, size_t size, std::string_view text) {
    if (size == 0) return;
    size_t n = 0;
    const size_t limit = size - 1;
    while (n < text.size()) {
        const size_t step = IsLeadByte(static_cast<unsigned char>(text[n])) ? 2 : 1;
        if (n + step > limit || n + step > text.size()) break;
        n += step;
    }
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, size - n);
}

LocalIdentity MakeLocalIdentity(const IdentitySources& s) {
    LocalIdentity id;
    SetField(id.nickname, s.nickname);
    SetField(id.hostName, s.computerName.empty() ? txt::kNoName : s.computerName);
    SetField(id.userName, s.logonName.empty() ? txt::kNoName : s.logonName);
    id.present = 1;
    SetField(id.address, s.address);
    const std::string version = std::string(txt::kProductTitle) + " " + txt::kVersion;
    SetField(id.version, version);
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
