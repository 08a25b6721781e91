#include "settings/ViewSettings.h"

#include "settings/PasswordScrambler.h"
#include "settings/SettingsStore.h"

namespace kestrel {

void ViewSettings::Load(const SettingsStore& store) {
    NNTPServer = store.GetString(key::NNTPServer);
    POPServer = store.GetString(key::POPServer);
    NewsFile = store.GetString(key::NewsFile);
    MailFile = store.GetString(key::MailFile);
    DefaultUserId = store.GetString(key::DefaultUserId);
    NNTPPort = store.GetInt(key::NNTPPort);
    POPPort = store.GetInt(key::POPPort);
    AUTHPort = store.GetInt(key::AUTHPort);
    PSWDPort = store.GetInt(key::PSWDPort);
    NewsReader = store.GetInt(key::NewsReader);
    MailReader = store.GetInt(key::MailReader);
    NewsCheck = store.GetInt(key::NewsCheck);
    MailCheck = store.GetInt(key::MailCheck);
    Identify = store.GetInt(key::Identify);
    PasswdCheck = store.GetInt(key::PasswdCheck);
    POPSecurity = store.GetInt(key::POPSecurity);
    MailProtocol = store.GetInt(key::MailProtocol);
    NNTPSecurity = store.GetInt(key::NNTPSecurity);
    TLSCAFile = store.GetString(key::TLSCAFile);
    std::string scrambled = store.GetString(key::Password);
    EncodePassword(PasswordDirection::Unscramble, Password, scrambled);

    ChatPort = store.GetInt(key::ChatPort);
    Chating = store.GetInt(key::Chating);
    AliaseName = store.GetString(key::AliaseName, DefaultUserId);
    CheckSaver = store.GetInt(key::CheckSaver);
    BroadIPs = store.GetString(key::BroadIPs);
    AutoUpdate = store.GetInt(key::AutoUpdate);

    Places = store.GetString(key::Places);

    NewsTimer = store.GetInt(key::NewsTimer);
    MailTimer = store.GetInt(key::MailTimer);
    CheckDays = store.GetInt(key::CheckDays);

    Sound = store.GetInt(key::Sound);
    SoundFile = store.GetString(key::SoundFile);
    BeIcon = store.GetInt(key::BeIcon);
    BePopup = store.GetInt(key::BePopup);
}

void ViewSettings::SaveEnvironment(SettingsStore& store) const {
    store.Write(key::NNTPServer, NNTPServer);
    store.Write(key::POPServer, POPServer);
    store.Write(key::NNTPPort, NNTPPort);
    store.Write(key::POPPort, POPPort);
    store.Write(key::AUTHPort, AUTHPort);
    store.Write(key::PSWDPort, PSWDPort);
    store.Write(key::NewsCheck, NewsCheck);
    store.Write(key::MailCheck, MailCheck);
    store.Write(key::NewsFile, NewsFile);
    store.Write(key::MailFile, MailFile);
    store.Write(key::Identify, Identify);
    store.Write(key::PasswdCheck, PasswdCheck);
    store.Write(key::DefaultUserId, DefaultUserId);
    store.Write(key::NewsReader, NewsReader);
    store.Write(key::MailReader, MailReader);
    store.Write(key::POPSecurity, POPSecurity);
    store.Write(key::MailProtocol, MailProtocol);
    store.Write(key::NNTPSecurity, NNTPSecurity);
    store.Write(key::TLSCAFile, TLSCAFile);
    store.Flush();
}

void ViewSettings::SaveTimers(SettingsStore& store) const {
    store.Write(key::NewsTimer, NewsTimer);
    store.Write(key::MailTimer, MailTimer);
    store.Write(key::CheckDays, CheckDays);
    store.Flush();
}

void ViewSettings::SaveSound(SettingsStore& store) const {
    store.Write(key::SoundFile, SoundFile);
    store.Write(key::Sound, Sound);
    store.Flush();
}

void ViewSettings::SaveUserInterface(SettingsStore& store) const {
    store.Write(key::BeIcon, BeIcon);
    store.Write(key::BePopup, BePopup);
    store.Flush();
}

void ViewSettings::SaveCommunicator(SettingsStore& store) const {
    store.Write(key::AliaseName, AliaseName);
    store.Write(key::ChatPort, ChatPort);
    store.Write(key::Chating, Chating);
    store.Flush();
}

void ViewSettings::SaveBroadcastList(SettingsStore& store) const {
    store.Write(key::BroadIPs, BroadIPs);
    store.Flush();
}

void ViewSettings::SavePlaces(SettingsStore& store) const {
    store.Write(key::Places, Places);
    store.Flush();
}

void ViewSettings::SaveCheckSaver(SettingsStore& store) const {
    store.Write(key::CheckSaver, CheckSaver);
    store.Flush();
}

void ViewSettings::SaveAutoUpdate(SettingsStore& store) const {
    store.Write(key::AutoUpdate, AutoUpdate);
    store.Flush();
}

void ViewSettings::SavePassword(SettingsStore& store, bool save) const {
    std::string plain = Password;
    std::string scrambled;
    if (!save || !EncodePassword(PasswordDirection::Scramble, plain, scrambled)) scrambled.clear();
    store.Write(key::Password, scrambled);
    store.Flush();
}

}  // namespace kestrel
