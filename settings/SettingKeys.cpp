#include "settings/SettingKeys.h"

#include <array>

namespace kestrel {
namespace {

constexpr std::array<const SettingKey*, 38> kAllKeys = {
    &key::NNTPServer,   &key::POPServer,  &key::NewsFile,     &key::MailFile,   &key::DefaultUserId,
    &key::NNTPPort,     &key::POPPort,    &key::AUTHPort,     &key::PSWDPort,   &key::NewsReader,
    &key::MailReader,   &key::NewsCheck,  &key::MailCheck,    &key::Identify,   &key::PasswdCheck,
    &key::Password,     &key::LastTime,   &key::debug,        &key::ChatPort,   &key::Chating,
    &key::AliaseName,   &key::CheckSaver, &key::BroadIPs,     &key::AutoUpdate, &key::Places,
    &key::NewsTimer,    &key::MailTimer,  &key::CheckDays,    &key::Sound,      &key::SoundFile,
    &key::BeIcon,       &key::BePopup,    &key::left,         &key::top,        &key::POPSecurity,
    &key::NNTPSecurity, &key::TLSCAFile,  &key::MailProtocol,
};

}  // namespace

std::span<const SettingKey* const> AllSettingKeys() {
    return kAllKeys;
}

const SettingKey* FindSettingKey(std::string_view sectionName, std::string_view name) {
    for (const SettingKey* k : kAllKeys) {
        if (sectionName == k->section && name == k->name) return k;
    }
    return nullptr;
}

}  // namespace kestrel
