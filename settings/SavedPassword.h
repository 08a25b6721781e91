#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kestrel {

class PasswordVault;
class SettingsStore;

// The one way to the saved log-in password: the desktop's keyring, one item per user and
// server, when it answers; otherwise the scrambled Environment/Password of the settings file
// as before. A keyring that is missing, locked, refuses or is too slow only sends the
// password to the file (and the log-in to the file's value or the dialog); the event log is
// told so once. The password itself never goes to the log.
class SavedPassword {
public:
    using LogFunction = std::function<void(std::string_view)>;

    // vault may be null: no keyring in this build or run.
    SavedPassword(SettingsStore& store, PasswordVault* vault, LogFunction log);

    // The file's password (unscrambled; empty when none or unreadable).
    std::string FromFile() const;
    // The keyring's password for this user and server; false when it has none or does not
    // answer.
    bool FromKeyring(const std::string& user, const std::string& server, std::string& password);
    // After a log-in that the server accepted: keep the password when asked (the keyring
    // when it answers, and then the file holds none; else the file), or forget it everywhere.
    void Keep(const std::string& user, const std::string& server, const std::string& password,
              bool save);

    // The keyring item's name for a user at a server.
    static std::string Account(const std::string& user, const std::string& server);

private:
    void KeyringUnavailable();

    SettingsStore& m_store;
    PasswordVault* m_vault;
    LogFunction m_log;
    bool m_told = false;
};

}  // namespace kestrel
