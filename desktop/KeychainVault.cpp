#include "desktop/KeychainVault.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEventLoop>
#include <QTimer>

#include <functional>

#include <qt6keychain/keychain.h>

#include "platform/QtText.h"

namespace kestrel {
namespace {

using QKeychain::Job;

// Runs the job and waits for it at most timeoutMs. The job deletes itself when it finishes,
// however late; our slot goes with the loop, so a late answer reaches nobody.
PasswordVault::Outcome RunJob(Job* job, const std::string& account, int timeoutMs,
                              QString& lastError, const std::function<void(Job*)>& onDone = {}) {
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(fromSjis(account));
    QEventLoop loop;
    bool finished = false;
    PasswordVault::Outcome outcome = PasswordVault::Outcome::Unavailable;
    QObject::connect(job, &Job::finished, &loop, [&](Job* done) {
        finished = true;
        switch (done->error()) {
            case QKeychain::NoError:
                outcome = PasswordVault::Outcome::Done;
                if (onDone) onDone(done);
                break;
            case QKeychain::EntryNotFound:
                outcome = PasswordVault::Outcome::NotFound;
                break;
            default:
                outcome = PasswordVault::Outcome::Unavailable;
                lastError = done->errorString();
                break;
        }
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!finished) loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!finished) lastError = QStringLiteral("no answer within %1 ms").arg(timeoutMs);
    return outcome;
}

// Only a keyring the session already runs is asked: one that the bus would start on demand
// comes up locked and would prompt at every log-in.
bool SecretServiceRunning() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return false;
    return bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets"));
}

}  // namespace

bool KeychainVault::Reachable() {
    if (SecretServiceRunning()) return true;
    m_lastError = QStringLiteral("no Secret Service runs on the session bus");
    return false;
}

KeychainVault::KeychainVault(int timeoutMs) : m_timeoutMs(timeoutMs) {}

PasswordVault::Outcome KeychainVault::Read(const std::string& account, std::string& password) {
    if (!Reachable()) return Outcome::Unavailable;
    auto* job = new QKeychain::ReadPasswordJob(QLatin1String(kServiceName));
    return RunJob(job, account, m_timeoutMs, m_lastError, [&](Job* done) {
        password = toSjis(static_cast<QKeychain::ReadPasswordJob*>(done)->textData());
    });
}

PasswordVault::Outcome KeychainVault::Write(const std::string& account,
                                            const std::string& password) {
    if (!Reachable()) return Outcome::Unavailable;
    auto* job = new QKeychain::WritePasswordJob(QLatin1String(kServiceName));
    job->setTextData(fromSjis(password));
    return RunJob(job, account, m_timeoutMs, m_lastError);
}

PasswordVault::Outcome KeychainVault::Remove(const std::string& account) {
    if (!Reachable()) return Outcome::Unavailable;
    auto* job = new QKeychain::DeletePasswordJob(QLatin1String(kServiceName));
    return RunJob(job, account, m_timeoutMs, m_lastError);
}

}  // namespace kestrel
