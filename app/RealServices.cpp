#include "app/RealServices.h"

#include "app/MarkingReaderLauncher.h"
#include "app/ServiceWorkers.h"
#include "ident/CIdentificationWnd.h"
#include "mail/CAuthenticationWnd.h"
#include "mail/CPasswdChangeWnd.h"
#include "mail/CPopCheckWnd.h"
#include "mail/SeenMailStore.h"
#include "net/WorkerContext.h"
#include "news/CNewsCheckWnd.h"
#include "readers/ReaderLauncherFactory.h"
#include "ui/CMailNoticeDlg.h"
#include "ui/CMainFrame.h"
#include "ui/CNewsMailNoticeDlg.h"
#include "ui/CNewsNoticeDlg.h"
#include "ui/NoticePresenter.h"
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

class RealWorkers final : public WorkerFactory {
public:
    RealWorkers(CMainFrame& frame, MessageBoxes& boxes, ProgramValues& values,
                std::shared_ptr<SeenMailStore> seen, const Timing& timing)
        : m_context{&frame, &frame, &boxes},
          m_values(values),
          m_seen(std::move(seen)),
          m_timing(timing) {}

    std::unique_ptr<MailWorker> MakeMailWorker() override {
        return std::make_unique<PopCheckWorker>(m_context, m_values, m_seen, m_popTls, m_timing);
    }
    std::unique_ptr<NewsWorker> MakeNewsWorker() override {
        return std::make_unique<NewsCheckWorker>(m_context, m_values, m_newsTls, m_timing);
    }
    std::unique_ptr<IdentWorker> MakeIdentWorker() override {
        return std::make_unique<IdentificationWorker>(m_context);
    }
    bool ChangePassword(const std::string& server, int port, const std::string& user,
                        const std::string& currentPassword,
                        const std::string& newPassword) override {
        CPasswdChangeWnd wnd(m_context, nullptr, m_timing);
        return wnd.ExecChange(server, port, user, currentPassword, newPassword);
    }
    bool Verify(const std::string& server, int port, const std::string& user,
                const std::string& password) override {
        CAuthenticationWnd wnd(m_context, nullptr, m_timing);
        wnd.SetSecurity(m_popTls);
        return wnd.Verify(server, port, user, password);
    }
    void SetSecurity(const TlsSettings& pop, const TlsSettings& news) override {
        m_popTls = pop;
        m_newsTls = news;
    }

private:
    WorkerContext m_context;
    ProgramValues& m_values;
    std::shared_ptr<SeenMailStore> m_seen;
    TlsSettings m_popTls;
    TlsSettings m_newsTls;
    Timing m_timing;
};

// Each popup gets a launcher of its own, which keeps its news conversation while it is open.
class DialogNoticePresenter final : public NoticePresenter {
public:
    DialogNoticePresenter(MessageBoxes& boxes, std::function<ReaderLauncherSettings()> settings,
                          QWidget* parent, std::shared_ptr<SeenMailStore> seen)
        : m_boxes(boxes),
          m_settings(std::move(settings)),
          m_parent(parent),
          m_seen(std::move(seen)) {}

    void ShowNewsAndMail(const std::string& groups, const std::string& mailText) override {
        auto launcher = MakeLauncher();
        CNewsMailNoticeDlg dlg(*launcher, m_parent);
        dlg.SetNewGroups(groups);
        dlg.SetMailText(mailText);
        dlg.exec();
    }
    void ShowNews(const std::string& groups) override {
        auto launcher = MakeLauncher();
        CNewsNoticeDlg dlg(*launcher, m_parent);
        dlg.SetNewGroups(groups);
        dlg.exec();
    }
    void ShowMail(const std::string& mailText) override {
        auto launcher = MakeLauncher();
        CMailNoticeDlg dlg(*launcher, m_parent);
        dlg.SetMailText(mailText);
        dlg.exec();
    }

private:
    std::unique_ptr<ReaderLauncher> MakeLauncher() {
        return std::make_unique<MarkingReaderLauncher>(
            MakeDesktopReaderLauncher(m_settings, m_boxes), m_seen);
    }

    MessageBoxes& m_boxes;
    std::function<ReaderLauncherSettings()> m_settings;
    QWidget* m_parent;
    std::shared_ptr<SeenMailStore> m_seen;
};

}  // namespace

std::unique_ptr<NoticePresenter> MakeNoticePresenter(
    MessageBoxes& boxes, std::function<ReaderLauncherSettings()> settings, QWidget* parent,
    std::shared_ptr<SeenMailStore> seen) {
    return std::make_unique<DialogNoticePresenter>(boxes, std::move(settings), parent,
                                                   std::move(seen));
}

std::unique_ptr<WorkerFactory> MakeWorkerFactory(CMainFrame& frame, MessageBoxes& boxes,
                                                 ProgramValues& values,
                                                 std::shared_ptr<SeenMailStore> seen,
                                                 const Timing& timing) {
    return std::make_unique<RealWorkers>(frame, boxes, values, std::move(seen), timing);
}

}  // namespace kestrel
