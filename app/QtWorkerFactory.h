#pragma once

#include <memory>
#include <string>

#include "app/ServiceWorkers.h"
#include "net/TlsSettings.h"
#include "net/WorkerContext.h"
#include "platform/Timing.h"

namespace kestrel {

class CMainFrame;
class MessageBoxes;
class SeenMailStore;
struct ProgramValues;

// The real workers behind the controller's interfaces: the hidden worker windows, which post
// their results to the frame and log through it. The mail check counts against the mail
// already read, which it shares with the popups' mail reader button. The workers wait by the
// timing given (tests scale it down).
class QtWorkerFactory final : public WorkerFactory {
public:
    QtWorkerFactory(CMainFrame& frame, MessageBoxes& boxes, ProgramValues& values,
                    std::shared_ptr<SeenMailStore> seen, const Timing& timing = ProgramTiming());

    std::unique_ptr<MailWorker> MakeMailWorker() override;
    std::unique_ptr<NewsWorker> MakeNewsWorker() override;
    std::unique_ptr<IdentWorker> MakeIdentWorker() override;
    bool Verify(const std::string& server, int port, const std::string& user,
                const std::string& password) override;
    void SetSecurity(const TlsSettings& pop, const TlsSettings& news) override;
    void SetMailProtocol(MailProtocol protocol) override { m_protocol = protocol; }
    bool ChangePassword(const std::string& server, int port, const std::string& user,
                        const std::string& currentPassword,
                        const std::string& newPassword) override;

private:
    WorkerContext m_context;
    ProgramValues& m_values;
    std::shared_ptr<SeenMailStore> m_seen;
    TlsSettings m_popTls;
    MailProtocol m_protocol = MailProtocol::Pop3;
    TlsSettings m_newsTls;
    Timing m_timing;
};

}  // namespace kestrel
