#include "news/CNewsCheckWnd.h"

#include <QString>

#include "net/NetSocketChannel.h"
#include "news/NewsCheckDialogue.h"
#include "news/WatchListFile.h"
#include "platform/MessageEvent.h"
#include "platform/ProgramDir.h"
#include "res/Cp932.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsNews.h"
#include "res/TextsTls.h"

namespace kestrel {
namespace {

constexpr unsigned kSmallestInterval = 3;

constexpr PeriodicCheckTexts kTexts{
    txt::kSkipNewscheckStart,    txt::kNewscheckStart,        txt::kNewsTimerSetComplete,
    txt::kNewsTimerSetError,     txt::kNntpSocketErrorFormat, txt::kNntpConnectFailedFormat,
    txt::kNewsWatchErrorCaption, txt::kNntpSocketConnecting,  txt::kNntpSocketDelete,
};

}  // namespace

CNewsCheckWnd::CNewsCheckWnd(const WorkerContext& context, std::function<bool()> noticeOpen,
                             QObject* parent, const Timing& timing)
    : QObject(parent),
      m_context(context),
      m_tlsReport(this, context.boxes, txt::kNntpTlsFailedFormat, txt::kNewsWatchErrorCaption,
                  txt::kNntpSocketDelete),
      m_check(context, std::move(noticeOpen),
              {TIMER_NEWS_CHECK, &Timing::newsFirstCheckMs, kTexts, m_state.status, m_state.closing,
               [this] { return MakeDialogue(); }},
              timing) {
    setObjectName(QString::fromLatin1(txt::kNewsCheckWindowTitle));
}

CNewsCheckWnd::~CNewsCheckWnd() {
    // Every wait of the dialogue looks at closing once per slice, so a check still busy after
    // the budget is in a file write or a send and ends soon.
    m_check.Shutdown();
}

int CNewsCheckWnd::InitCheck(const std::string& server, int port, unsigned interval) {
    if (interval < kSmallestInterval) return -3;
    const std::string listPath = ProgramFile(txt::kNewsWatchListName);
    if (!WatchListFile::CanOpen(listPath)) {
        m_check.Log(FillText(sjis(txt::kNewsListCannotOpenFormat), {utf8ToCp932(listPath)}));
        return -1;
    }
    m_check.SetServer(server, port);
    m_state.listPath = listPath;
    m_check.SetInterval(interval);
    return m_check.ArmFirst() ? 1 : -2;
}

int CNewsCheckWnd::ChangeInterval(unsigned minutes) {
    m_check.Disarm();
    if (minutes < kSmallestInterval) {
        m_check.ShowIntervalRefused();
        return 0;
    }
    m_check.SetInterval(minutes);
    return m_check.ArmFirst() ? 1 : 0;
}

PeriodicCheck::Dialogue CNewsCheckWnd::MakeDialogue() {
    return [this, listPath = m_state.listPath, server = m_check.Server(), tls = m_tls](
               const std::shared_ptr<CNetSocket>& socket, const Timing& timing) {
        NetSocketChannel plain(socket);
        // The channel passes bytes through in clear until it is secured, from the first byte
        // or after the greeting; with no TLS in the settings it stays in clear.
        TlsChannel channel(plain, server, tls.caFile);
        NewsCheckDialogue dialogue(channel, m_check.Sink(), m_state, timing);
        const bool secured = PrepareTls(channel, dialogue, tls, kNntpStartTls, m_check.Sink(),
                                        &m_state.closing, timing);
        std::optional<std::string> report;
        if (secured) report = dialogue.Run(listPath);
        m_tlsReport.After(channel, secured, server, m_check.Sink());
        if (report) PostMessage(m_context.frame, WM_NEW_NEWS, 0, 0, own(std::move(*report)));
    };
}

}  // namespace kestrel
