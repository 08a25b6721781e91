#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/LoginFlow.h"
#include "platform/Clock.h"
#include "settings/SavedPassword.h"

class QObject;

namespace kestrel {

class IdentWorker;
class MailWorker;
class MessageBoxes;
class NewsWorker;
class PasswordChangeDialog;
class PasswordVault;
class SettingsStore;
class WorkerFactory;
struct ProgramValues;
struct ViewSettings;

// The network service as one unit: the mail check, the news check and the ident responder,
// started and stopped together; the log-in that guards the mail check and ident; and the
// password change, which waits on its server the way the log-in does. It keeps the
// credentials of this run. A worker runs exactly while its object exists.
class ServiceController {
public:
    struct Parts {
        const ViewSettings& settings;
        ProgramValues& values;
        SettingsStore& store;
        MessageBoxes& boxes;
        WorkerFactory& workers;
        LoginDialog& loginDialog;
        PasswordChangeDialog& passwordDialog;
        const Clock& clock;
        // Takes WM_SERVICE_STARTED, WM_SERVICE_STOPPED and the minimise after a start.
        QObject* frame;
        // The form around the service: the first thing of every start, even one that goes no
        // further; the form's preparation at the first start; the form's status icon.
        std::function<void()> everyStart;
        std::function<void()> firstStart;
        std::function<void(int iconId)> showIcon;
        // The desktop's keyring for the saved password (none: the settings file only).
        PasswordVault* keyring = nullptr;
    };
    explicit ServiceController(Parts parts);
    ~ServiceController();
    ServiceController(const ServiceController&) = delete;
    ServiceController& operator=(const ServiceController&) = delete;

    void StartService();
    void StopService();
    // Starts the workers asked for that do not run yet, after a log-in when ident or mail
    // needs one; false when the start cannot go on (log-in refused, news check failed).
    bool InitServices(int ident, int news, int mail);
    // The password change command; refused while the service runs.
    void ChangePasswordNow();
    // New check intervals (minutes) for the checks that run.
    void ChangeIntervals(unsigned mailMinutes, unsigned newsMinutes);
    // The log-in proposes this name from now on.
    void SetUser(const std::string& user) { m_credentials.user = user; }

    bool Running() const { return m_running; }
    // A log-in or a password change waits on its server with the events served meanwhile;
    // no second one starts, and the program does not end under it.
    bool ServerStepInProgress() const { return m_loginInProgress || m_passwordChangeInProgress; }
    bool FirstStart() const { return m_firstStart; }
    const Credentials& CurrentCredentials() const { return m_credentials; }
    bool MailRunning() const { return m_mail != nullptr; }
    bool NewsRunning() const { return m_news != nullptr; }
    bool IdentRunning() const { return m_ident != nullptr; }

private:
    void LogInNow();
    bool StartNews();
    void StartIdent();
    void StartMail();

    Parts m_parts;
    SavedPassword m_saved;
    Credentials m_credentials;
    bool m_firstStart = true;
    bool m_running = false;
    bool m_loginInProgress = false;
    bool m_passwordChangeInProgress = false;
    std::unique_ptr<MailWorker> m_mail;
    std::unique_ptr<NewsWorker> m_news;
    std::unique_ptr<IdentWorker> m_ident;
};

}  // namespace kestrel
