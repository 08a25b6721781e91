#include "settings/ViewSettingsFields.h"

#include <array>

#include "settings/SettingsDialogs.h"
#include "settings/ViewSettings.h"

namespace kestrel {
namespace {

struct FieldOf {
    const SettingKey* key;
    int ViewSettings::*intField;
    std::string ViewSettings::*stringField;
};

constexpr FieldOf I(const SettingKey& k, int ViewSettings::*f) {
    return {&k, f, nullptr};
}
constexpr FieldOf S(const SettingKey& k, std::string ViewSettings::*f) {
    return {&k, nullptr, f};
}

// `Password` is held in plain text and written only by the log-in; it has no field here.
constexpr std::array kFields{
    S(key::NNTPServer, &ViewSettings::NNTPServer),
    S(key::POPServer, &ViewSettings::POPServer),
    S(key::NewsFile, &ViewSettings::NewsFile),
    S(key::MailFile, &ViewSettings::MailFile),
    S(key::DefaultUserId, &ViewSettings::DefaultUserId),
    I(key::NNTPPort, &ViewSettings::NNTPPort),
    I(key::POPPort, &ViewSettings::POPPort),
    I(key::AUTHPort, &ViewSettings::AUTHPort),
    I(key::PSWDPort, &ViewSettings::PSWDPort),
    I(key::NewsReader, &ViewSettings::NewsReader),
    I(key::MailReader, &ViewSettings::MailReader),
    I(key::NewsCheck, &ViewSettings::NewsCheck),
    I(key::MailCheck, &ViewSettings::MailCheck),
    I(key::Identify, &ViewSettings::Identify),
    I(key::PasswdCheck, &ViewSettings::PasswdCheck),
    I(key::POPSecurity, &ViewSettings::POPSecurity),
    I(key::MailProtocol, &ViewSettings::MailProtocol),
    I(key::NNTPSecurity, &ViewSettings::NNTPSecurity),
    S(key::TLSCAFile, &ViewSettings::TLSCAFile),
    I(key::ChatPort, &ViewSettings::ChatPort),
    I(key::Chating, &ViewSettings::Chating),
    S(key::AliaseName, &ViewSettings::AliaseName),
    I(key::CheckSaver, &ViewSettings::CheckSaver),
    S(key::BroadIPs, &ViewSettings::BroadIPs),
    I(key::AutoUpdate, &ViewSettings::AutoUpdate),
    S(key::Places, &ViewSettings::Places),
    I(key::NewsTimer, &ViewSettings::NewsTimer),
    I(key::MailTimer, &ViewSettings::MailTimer),
    I(key::CheckDays, &ViewSettings::CheckDays),
    I(key::Sound, &ViewSettings::Sound),
    S(key::SoundFile, &ViewSettings::SoundFile),
    I(key::BeIcon, &ViewSettings::BeIcon),
    I(key::BePopup, &ViewSettings::BePopup),
};

const FieldOf* Find(const SettingKey& key) {
    for (const FieldOf& f : kFields)
        if (f.key == &key) return &f;
    return nullptr;
}

}  // namespace

int* IntField(ViewSettings& settings, const SettingKey& key) {
    const FieldOf* f = Find(key);
    return f && f->intField ? &(settings.*(f->intField)) : nullptr;
}

std::string* StringField(ViewSettings& settings, const SettingKey& key) {
    const FieldOf* f = Find(key);
    return f && f->stringField ? &(settings.*(f->stringField)) : nullptr;
}

const int* IntField(const ViewSettings& settings, const SettingKey& key) {
    return IntField(const_cast<ViewSettings&>(settings), key);
}

const std::string* StringField(const ViewSettings& settings, const SettingKey& key) {
    return StringField(const_cast<ViewSettings&>(settings), key);
}

void CopyFields(const ViewSettings& from, ViewSettings& to,
                std::span<const SettingKey* const> keys) {
    for (const SettingKey* k : keys) {
        if (const int* v = IntField(from, *k)) *IntField(to, *k) = *v;
        if (const std::string* v = StringField(from, *k)) *StringField(to, *k) = *v;
    }
}

namespace {
constexpr const SettingKey* kEnvironmentKeys[] = {
    &key::DefaultUserId, &key::NewsFile,     &key::NNTPServer, &key::POPServer,   &key::NewsCheck,
    &key::MailCheck,     &key::Identify,     &key::MailReader, &key::NewsReader,  &key::MailFile,
    &key::PasswdCheck,   &key::AUTHPort,     &key::NNTPPort,   &key::POPPort,     &key::PSWDPort,
    &key::POPSecurity,   &key::NNTPSecurity, &key::TLSCAFile,  &key::MailProtocol};
constexpr const SettingKey* kTimerKeys[] = {&key::NewsTimer, &key::MailTimer, &key::CheckDays};
constexpr const SettingKey* kSoundKeys[] = {&key::Sound, &key::SoundFile};
constexpr const SettingKey* kUserInterfaceKeys[] = {&key::BeIcon, &key::BePopup};
constexpr const SettingKey* kCommunicatorKeys[] = {&key::ChatPort, &key::AliaseName, &key::Chating};
constexpr const SettingKey* kBroadcastKeys[] = {&key::BroadIPs};
constexpr const SettingKey* kPlacesKeys[] = {&key::Places};
}  // namespace

std::span<const SettingKey* const> DialogKeys(SettingsDialogKind kind) {
    switch (kind) {
        case SettingsDialogKind::Environment:
            return kEnvironmentKeys;
        case SettingsDialogKind::Timer:
            return kTimerKeys;
        case SettingsDialogKind::Sound:
            return kSoundKeys;
        case SettingsDialogKind::UserInterface:
            return kUserInterfaceKeys;
        case SettingsDialogKind::Communicator:
            return kCommunicatorKeys;
        case SettingsDialogKind::Broadcast:
            return kBroadcastKeys;
        case SettingsDialogKind::Places:
            return kPlacesKeys;
    }
    return {};
}

}  // namespace kestrel
