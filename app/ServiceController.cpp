#include "app/ServiceController.h"

#include <QApplication>

#include "app/PasswordAge.h"
#include "app/PasswordChangeFlow.h"
#include "app/ServiceWorkers.h"
#include "net/TraceLog.h"
#include "platform/MessageBoxes.h"
#include "platform/MessageEvent.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsService.h"
#include "settings/ViewSettings.h"
#include "ui/ProgramValues.h"

namespace kestrel {
namespace {

// The workers take the TLS settings and the mail protocol as they are when each is made.
void PassSecurity(WorkerFactory& workers, const ViewSettings& s) {
    workers.SetSecurity(TlsSettings{SecurityFromSetting(s.POPSecurity), s.TLSCAFile},
                        TlsSettings{SecurityFromSetting(s.NNTPSecurity), s.TLSCAFile});
    workers.SetMailProtocol(s.MailProtocol == 1 ? MailProtocol::Imap : MailProtocol::Pop3);
}

}  // namespace

ServiceController::ServiceController(Parts parts)
    : m_parts(std::move(parts)),
      m_saved(m_parts.store, m_parts.keyring, [](std::string_view line) { OnWriteLog(line); }) {
    m_credentials.user = m_parts.settings.DefaultUserId;
    m_credentials.password = m_saved.FromFile();
}

ServiceController::~ServiceController() = default;

void ServiceController::StartService() {
    if (m_parts.everyStart) m_parts.everyStart();
    if (m_mail || m_news || m_ident || ServerStepInProgress()) return;

    if (m_firstStart) {
        if (m_parts.firstStart) m_parts.firstStart();
        if (!CheckPasswordAge(m_parts.store, m_parts.settings.PasswdCheck,
                              m_parts.settings.CheckDays, m_parts.clock.Now(), m_parts.boxes)) {
            m_credentials.password.clear();
            m_firstStart = false;
            return;
        }
    }

    const ViewSettings& s = m_parts.settings;
    if (!s.MailCheck && !s.NewsCheck && !s.Identify && !s.Chating) {
        m_credentials.password.clear();
        m_parts.boxes.Show(sjis(txt::kNothingEnabled), sjis(txt::kCaptionCaution), BoxIcon::Stop,
                           BoxButtons::Ok);
        m_firstStart = false;
        return;
    }
    if (!s.MailCheck && !s.NewsCheck && !s.Identify) {
        m_firstStart = false;
        return;
    }

    const bool ok = InitServices(s.Identify ? 1 : 0, s.NewsCheck ? 1 : 0, s.MailCheck ? 1 : 0);
    m_firstStart = false;
    if (!ok) return;

    if (m_parts.showIcon) m_parts.showIcon(IDI_RUNNING);
    m_running = true;
    PostMessage(m_parts.frame, WM_SERVICE_STARTED);
    if (m_parts.values.iconise) PostMessage(m_parts.frame, WM_SYSCOMMAND, SC_MINIMIZE);
}

bool ServiceController::InitServices(int ident, int news, int mail) {
    PassSecurity(m_parts.workers, m_parts.settings);
    if ((ident || mail) && !m_credentials.loggedIn) {
        LogInNow();
        if (!m_credentials.loggedIn) return false;
    }
    if (news && !m_news && !StartNews()) return false;
    if (ident && !m_ident) StartIdent();
    if (mail && !m_mail) StartMail();
    return true;
}

bool ServiceController::StartNews() {
    const ViewSettings& s = m_parts.settings;
    m_news = m_parts.workers.MakeNewsWorker();
    const int result =
        m_news->InitCheck(s.NNTPServer, s.NNTPPort, static_cast<unsigned>(s.NewsTimer));
    if (result >= 0) return true;
    m_news.reset();
    std::string text = sjis(txt::kNewsInitFailed);
    if (result == -1)
        text += sjis(txt::kNewsInitNoFile);
    else if (result == -2)
        text += sjis(txt::kNewsInitTimer);
    else if (result == -3)
        text += sjis(txt::kNewsInitTooSmall);
    m_parts.boxes.Show(text, sjis(txt::kCaptionInitFailed), BoxIcon::Stop, BoxButtons::Ok);
    return false;
}

// A failed ident or mail worker is reported; the rest of the service runs without it.
void ServiceController::StartIdent() {
    m_ident = m_parts.workers.MakeIdentWorker();
    if (m_ident->Start(m_parts.settings.AUTHPort, m_credentials.user)) return;
    m_ident.reset();
    m_parts.boxes.Show(sjis(txt::kIdentInitFailed), sjis(txt::kCaptionInit), BoxIcon::Stop,
                       BoxButtons::Ok);
}

void ServiceController::StartMail() {
    const ViewSettings& s = m_parts.settings;
    m_mail = m_parts.workers.MakeMailWorker();
    if (m_mail->Start(s.POPServer, s.POPPort, m_credentials.user, m_credentials.password,
                      static_cast<unsigned>(s.MailTimer)))
        return;
    m_mail.reset();
    m_parts.boxes.Show(sjis(txt::kMailInitFailed), sjis(txt::kCaptionInit), BoxIcon::Stop,
                       BoxButtons::Ok);
}

void ServiceController::LogInNow() {
    // While the log-in runs, the frame refuses to close and a new start returns at once.
    m_loginInProgress = true;
    PassSecurity(m_parts.workers, m_parts.settings);
    // The keyring's password is the saved one; the file's is what an older run left there,
    // or what was saved while no keyring answered.
    if (m_firstStart) {
        std::string kept;
        if (m_saved.FromKeyring(m_credentials.user, m_parts.settings.POPServer, kept))
            m_credentials.password = kept;
    }
    LogIn(
        m_credentials, m_firstStart, m_parts.loginDialog,
        [this](const std::string& user, const std::string& password) {
            return m_parts.workers.Verify(m_parts.settings.POPServer, m_parts.settings.POPPort,
                                          user, password);
        },
        m_saved, m_parts.settings.POPServer, m_parts.boxes, m_parts.values.iconise != 0);
    m_loginInProgress = false;
}

void ServiceController::StopService() {
    m_credentials.loggedIn = false;
    if (m_parts.showIcon) m_parts.showIcon(IDI_STOPPED);
    m_running = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    PostMessage(m_parts.frame, WM_SERVICE_STOPPED);
    m_news.reset();
    m_ident.reset();
    m_mail.reset();
    QApplication::restoreOverrideCursor();
}

void ServiceController::ChangeIntervals(unsigned mailMinutes, unsigned newsMinutes) {
    if (m_news) m_news->ChangeInterval(newsMinutes);
    if (m_mail) m_mail->SetInterval(mailMinutes);
}

void ServiceController::ChangePasswordNow() {
    if (ServerStepInProgress()) return;
    m_passwordChangeInProgress = true;
    ChangePassword(
        m_running, m_credentials.user, m_parts.passwordDialog,
        [this](const std::string& user, const std::string& current, const std::string& next) {
            // The server may take minutes; the cursor says the program is busy.
            QApplication::setOverrideCursor(Qt::WaitCursor);
            const bool changed = m_parts.workers.ChangePassword(
                m_parts.settings.POPServer, m_parts.settings.PSWDPort, user, current, next);
            QApplication::restoreOverrideCursor();
            return changed;
        },
        m_parts.store, m_parts.boxes, m_parts.clock);
    m_passwordChangeInProgress = false;
}

}  // namespace kestrel
