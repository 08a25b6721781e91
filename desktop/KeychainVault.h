#pragma once

#include <QString>

#include "platform/PasswordVault.h"

namespace kestrel {

// The desktop's keyring (the Secret Service, through QtKeychain): one item per account
// under the program's service name. A request waits at most timeoutMs with the event loop
// served, so a locked keyring's prompt or a daemon that never answers costs the caller that
// long and no more; the request left behind finishes or dies on its own.
class KeychainVault final : public PasswordVault {
public:
    static constexpr int kDefaultTimeoutMs = 3000;
    static constexpr char kServiceName[] = "Kestrel for Intranet";

    explicit KeychainVault(int timeoutMs = kDefaultTimeoutMs);

    Outcome Read(const std::string& account, std::string& password) override;
    Outcome Write(const std::string& account, const std::string& password) override;
    Outcome Remove(const std::string& account) override;

    // Why the last request came out Unavailable, for the event log (never a secret).
    const QString& LastError() const { return m_lastError; }

private:
    bool Reachable();

    int m_timeoutMs;
    QString m_lastError;
};

}  // namespace kestrel
