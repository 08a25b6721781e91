#pragma once

#include <string>

namespace kestrel {

class SettingsStore;

// The in-memory copy of the settings the main form view works with, and the application's
// sound and window-behaviour settings. Texts are CP932. Field names are the stored names.
struct ViewSettings {
    // Environment
    std::string NNTPServer;
    std::string POPServer;
    std::string NewsFile;
    std::string MailFile;
    std::string DefaultUserId;
    int NNTPPort = 0;
    int POPPort = 0;
    int AUTHPort = 0;
    int PSWDPort = 0;
    int NewsReader = 0;
    int MailReader = 0;
    int NewsCheck = 0;
    int MailCheck = 0;
    int Identify = 0;
    int PasswdCheck = 0;
    int POPSecurity = 0;
    int MailProtocol = 0;
    int NNTPSecurity = 0;
    std::string TLSCAFile;
    // The saved password in plain text; empty when none is saved or the stored one is refused.
    std::string Password;

    // PeerChat
    int ChatPort = 0;
    int Chating = 0;
    std::string AliaseName;
    int CheckSaver = 0;
    std::string BroadIPs;  // list in its stored form
    int AutoUpdate = 0;

    // WhereIs
    std::string Places;  // list in its stored form

    // Timer
    int NewsTimer = 0;
    int MailTimer = 0;
    int CheckDays = 0;

    // Application: Sound, UserInterface
    int Sound = 0;
    std::string SoundFile;
    int BeIcon = 0;
    int BePopup = 0;

    // Every field from the store with its default; `AliaseName` falls back on the
    // `DefaultUserId` just read, and a news interval below 3 minutes becomes 3.
    void Load(const SettingsStore& store);

    // The groups the settings flows write, each in the order the flow writes them and then
    // flushed to the file.
    void SaveEnvironment(SettingsStore& store) const;
    void SaveTimers(SettingsStore& store) const;
    void SaveSound(SettingsStore& store) const;
    void SaveUserInterface(SettingsStore& store) const;
    void SaveCommunicator(SettingsStore& store) const;
    void SaveBroadcastList(SettingsStore& store) const;
    void SavePlaces(SettingsStore& store) const;
    void SaveCheckSaver(SettingsStore& store) const;
    void SaveAutoUpdate(SettingsStore& store) const;
    // Writes `Password` scrambled when save is true and it can be scrambled, else empty.
    void SavePassword(SettingsStore& store, bool save) const;
};

}  // namespace kestrel
