#include "app/QtWorkerFactory.h"

#include "ident/CIdentificationWnd.h"
#include "mail/CAuthenticationWnd.h"
#include "mail/CImapCheckWnd.h"
#include "mail/CPasswdChangeWnd.h"
#include "mail/CPopCheckWnd.h"
#include "mail/ImapVerification.h"
#include "mail/SeenMailStore.h"
#include "news/CNewsCheckWnd.h"
#include "ui/CMainFrame.h"
#include "ui/ProgramValues.h"

namespace kestrel {
namespace {

class PopCheckWorker final : public MailWorker {
public:
    PopCheckWorker(const WorkerContext& context, ProgramValues& values,
                   std::shared_ptr<SeenMailStore> seen, const TlsSettings& tls,
                   const Timing& timing)
        : m_wnd(
              context, [&values] { return values.noticeOpen.load() != 0; }, nullptr, timing,
              std::move(seen)) {
        m_wnd.SetSecurity(tls);
    }
    bool Start(const std::string& server, int port, const std::string& user,
               const std::string& password, unsigned interval) override {
        return m_wnd.Start(server, port, user, password, interval);
    }
    bool SetInterval(unsigned interval) override { return m_wnd.SetInterval(interval); }

private:
    CPopCheckWnd m_wnd;
};

class ImapCheckWorker final : public MailWorker {
public:
    ImapCheckWorker(const WorkerContext& context, ProgramValues& values, const TlsSettings& tls,
                    const Timing& timing)
        : m_wnd(
              context, [&values] { return values.noticeOpen.load() != 0; }, nullptr, timing) {
        m_wnd.SetSecurity(tls);
    }
    bool Start(const std::string& server, int port, const std::string& user,
               const std::string& password, unsigned interval) override {
        return m_wnd.Start(server, port, user, password, interval);
    }
    bool SetInterval(unsigned interval) override { return m_wnd.SetInterval(interval); }

private:
    CImapCheckWnd m_wnd;
};

class NewsCheckWorker final : public NewsWorker {
public:
    NewsCheckWorker(const WorkerContext& context, ProgramValues& values, const TlsSettings& tls,
                    const Timing& timing)
        : m_wnd(
              context, [&values] { return values.noticeOpen.load() != 0; }, nullptr, timing) {
        m_wnd.SetSecurity(tls);
    }
    int InitCheck(const std::string& server, int port, unsigned interval) override {
        return m_wnd.InitCheck(server, port, interval);
    }
    int ChangeInterval(unsigned interval) override { return m_wnd.ChangeInterval(interval); }

private:
    CNewsCheckWnd m_wnd;
};

class IdentificationWorker final : public IdentWorker {
public:
    explicit IdentificationWorker(const WorkerContext& context) : m_wnd(context) {}
    bool Start(int port, const std::string& user) override { return m_wnd.Start(port, user); }

private:
    CIdentificationWnd m_wnd;
};

}  // namespace

QtWorkerFactory::QtWorkerFactory(CMainFrame& frame, MessageBoxes& boxes, ProgramValues& values,
                                 std::shared_ptr<SeenMailStore> seen, const Timing& timing)
    : m_context{&frame, &frame, &boxes},
      m_values(values),
      m_seen(std::move(seen)),
      m_timing(timing) {}

std::unique_ptr<MailWorker> QtWorkerFactory::MakeMailWorker() {
    if (m_protocol == MailProtocol::Imap) {
        return std::make_unique<ImapCheckWorker>(m_context, m_values, m_popTls, m_timing);
    }
    return std::make_unique<PopCheckWorker>(m_context, m_values, m_seen, m_popTls, m_timing);
}

std::unique_ptr<NewsWorker> QtWorkerFactory::MakeNewsWorker() {
    return std::make_unique<NewsCheckWorker>(m_context, m_values, m_newsTls, m_timing);
}

std::unique_ptr<IdentWorker> QtWorkerFactory::MakeIdentWorker() {
    return std::make_unique<IdentificationWorker>(m_context);
}

bool QtWorkerFactory::ChangePassword(const std::string& server, int port, const std::string& user,
                                     const std::string& currentPassword,
                                     const std::string& newPassword) {
    CPasswdChangeWnd wnd(m_context, nullptr, m_timing);
    return wnd.ExecChange(server, port, user, currentPassword, newPassword);
}

bool QtWorkerFactory::Verify(const std::string& server, int port, const std::string& user,
                             const std::string& password) {
    if (m_protocol == MailProtocol::Imap) {
        return VerifyImapAccount(m_context, m_timing, m_popTls, server, port, user, password);
    }
    CAuthenticationWnd wnd(m_context, nullptr, m_timing);
    wnd.SetSecurity(m_popTls);
    return wnd.Verify(server, port, user, password);
}

void QtWorkerFactory::SetSecurity(const TlsSettings& pop, const TlsSettings& news) {
    m_popTls = pop;
    m_newsTls = news;
}

}  // namespace kestrel
