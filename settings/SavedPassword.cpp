#include "settings/SavedPassword.h"

#include <utility>

#include "platform/PasswordVault.h"
#include "settings/PasswordScrambler.h"
#include "settings/SettingsStore.h"

namespace kestrel {

SavedPassword::SavedPassword(SettingsStore& store, PasswordVault* vault, LogFunction log)
    : m_store(store), m_vault(vault), m_log(std::move(log)) {}

std::string SavedPassword::Account(const std::string& user, const std::string& server) {
    return user + "@" + server;
}

void SavedPassword::KeyringUnavailable() {
    if (m_told) return;
    m_told = true;
    if (m_log) m_log("The keyring is not available; the saved password stays in the settings file");
}

std::string SavedPassword::FromFile() const {
    std::string scrambled = m_store.GetString(key::Password);
    std::string plain;
    EncodePassword(PasswordDirection::Unscramble, plain, scrambled);
    return plain;
}

bool SavedPassword::FromKeyring(const std::string& user, const std::string& server,
                                std::string& password) {
    if (!m_vault) return false;
    std::string found;
    switch (m_vault->Read(Account(user, server), found)) {
        case PasswordVault::Outcome::Done:
            password = std::move(found);
            return true;
        case PasswordVault::Outcome::NotFound:
            return false;
        case PasswordVault::Outcome::Unavailable:
            KeyringUnavailable();
            return false;
    }
    return false;
}

void SavedPassword::Keep(const std::string& user, const std::string& server,
                         const std::string& password, bool save) {
    const std::string account = Account(user, server);
    if (!save) {
        if (m_vault && m_vault->Remove(account) == PasswordVault::Outcome::Unavailable)
            KeyringUnavailable();
        m_store.Write(key::Password, std::string());
        m_store.Flush();
        return;
    }
    if (m_vault) {
        if (m_vault->Write(account, password) == PasswordVault::Outcome::Done) {
            m_store.Remove(key::Password);
            m_store.Flush();
            return;
        }
        KeyringUnavailable();
    }
    std::string plain = password;
    std::string scrambled;
    EncodePassword(PasswordDirection::Scramble, plain, scrambled);
    m_store.Write(key::Password, scrambled);
    m_store.Flush();
}

}  // namespace kestrel
