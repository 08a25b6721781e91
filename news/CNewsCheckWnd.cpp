#include "news/CNewsCheckWnd.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <system_error>

#include "net/EventLog.h"
#include "net/NetSocket.h"
#include "net/NetSocketChannel.h"
#include "net/StartTls.h"
#include "net/TlsChannel.h"
#include "news/NewsCheckDialogue.h"
#include "news/NntpReply.h"
#include "news/WatchListFile.h"
#include "platform/MessageBoxes.h"
#include "platform/MessageEvent.h"
#include "platform/ProgramDir.h"
#include "platform/Timing.h"
#include "res/Cp932.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsMail.h"
#include "res/TextsNews.h"
#include "res/TextsTls.h"

namespace kestrel {
namespace {

class NullLogSink final : public LogSink {
public:
    void PostLog(std::string_view) override {}
};

LogSink& SinkOf(const WorkerContext& context) {
    static NullLogSink none;
    return context.log ? *context.log : none;
}

bool IsWouldBlock(int error) {
    return error == EINPROGRESS || error == EWOULDBLOCK || error == EAGAIN;
}

constexpr unsigned kSmallestInterval = 3;

}  // namespace

struct CNewsCheckWnd::Job {
    std::shared_ptr<CNetSocket> socket;
    std::string listPath;
    Timing timing;
    std::string server;
    TlsSettings tls;
};

CNewsCheckWnd::CNewsCheckWnd(const WorkerContext& context, std::function<bool()> noticeOpen,
                             QObject* parent)
    : QObject(parent),
      m_context(context),
      m_noticeOpen(std::move(noticeOpen)),
      m_timers([this](int id) { OnTimer(id); }) {
    setObjectName(QString::fromLatin1(txt::kNewsCheckWindowTitle));
}

CNewsCheckWnd::~CNewsCheckWnd() {
    m_timers.KillTimer(TIMER_NEWS_CHECK);
    m_state.closing = 1;
    WaitUntilClear(m_state.status, ProgramTiming().workerStopWaitMs);
    // Every wait of the dialogue looks at closing once per slice, so a worker still busy
    // after the budget is in a file write or a send and ends soon. It is joined rather than
    // left behind: it still posts through this window's context, and the connection must not
    // be released while it may use it.
    if (m_thread.joinable()) m_thread.join();
    m_state.connection.reset();
}

void CNewsCheckWnd::Log(std::string_view text) {
    SinkOf(m_context).PostLog(text);
}

int CNewsCheckWnd::InitCheck(const std::string& server, int port, unsigned interval) {
    if (interval < kSmallestInterval) return -3;
    const std::string listPath = ProgramFile(txt::kNewsWatchListName);
    if (!WatchListFile::CanOpen(listPath)) {
        Log(nntp::FillText(sjis(txt::kNewsListCannotOpenFormat), {utf8ToCp932(listPath)}));
        return -1;
    }
    m_state.server = server;
    m_state.port = port;
    m_state.listPath = listPath;
    m_interval = interval;
    if (!m_timers.SetTimer(TIMER_NEWS_CHECK, ProgramTiming().newsFirstCheckMs)) {
        Log(sjis(txt::kNewsTimerSetError));
        return -2;
    }
    Log(sjis(txt::kNewsTimerSetComplete));
    return 1;
}

int CNewsCheckWnd::ChangeInterval(unsigned minutes) {
    m_timers.KillTimer(TIMER_NEWS_CHECK);
    if (minutes < kSmallestInterval) {
        if (m_context.boxes) {
            m_context.boxes->Show(sjis(txt::kTimerZero), sjis(txt::kTimerZeroCaption),
                                  BoxIcon::None);
        }
        return 0;
    }
    m_interval = minutes;
    if (!m_timers.SetTimer(TIMER_NEWS_CHECK, ProgramTiming().newsFirstCheckMs)) {
        Log(sjis(txt::kNewsTimerSetError));
        return 0;
    }
    Log(sjis(txt::kNewsTimerSetComplete));
    return 1;
}

bool CNewsCheckWnd::ArmInterval() {
    // A long interval in minutes does not fit a millisecond timer; it is held at the longest.
    const long long ms = static_cast<long long>(m_interval) * ProgramTiming().minuteMs;
    return m_timers.SetTimer(TIMER_NEWS_CHECK, static_cast<int>(std::min<long long>(ms, INT_MAX)));
}

void CNewsCheckWnd::OnTimer(int id) {
    if (id != TIMER_NEWS_CHECK) return;
    if (m_state.status.load() != 0 || (m_noticeOpen && m_noticeOpen())) {
        Log(sjis(txt::kSkipNewscheckStart));
        m_timers.KillTimer(TIMER_NEWS_CHECK);
        if (!ArmInterval()) Log(sjis(txt::kNewsTimerSetError));
        return;
    }
    Log(sjis(txt::kNewscheckStart));
    m_timers.KillTimer(TIMER_NEWS_CHECK);

    // status is 0, so the previous worker has finished its dialogue and is returning.
    if (m_thread.joinable()) m_thread.join();
    m_state.connection.reset();

    auto socket = std::make_shared<CNetSocket>(m_state.server, m_state.port, nullptr, 0, 0, 256);
    const int error = socket->GetLastError();
    if (error != 0 && !IsWouldBlock(error)) {
        Log(nntp::FillText(sjis(txt::kNntpSocketErrorFormat), {std::to_string(error)}));
        m_state.status = 0;
        if (m_context.boxes) {
            m_context.boxes->Show(
                nntp::FillText(sjis(txt::kNntpConnectFailedFormat), {std::to_string(error)}),
                sjis(txt::kNewsWatchErrorCaption), BoxIcon::Stop);
        }
        return;
    }
    Log(sjis(txt::kNntpSocketConnecting));
    m_state.connection = socket;

    if (!ArmInterval()) {
        Log(sjis(txt::kNewsTimerSetError));
        return;
    }

    // Set here rather than by the worker, so a tick can never find the state idle while a
    // worker is still starting up.
    m_state.status = 1;
    try {
        m_thread =
            std::thread(&CNewsCheckWnd::NewsCheckThread, this,
                        Job{socket, m_state.listPath, ProgramTiming(), m_state.server, m_tls});
    } catch (const std::system_error&) {
        m_state.status = 0;
        Log(sjis(txt::kNntpSocketDelete));
    }
}

void CNewsCheckWnd::NewsCheckThread(Job job) {
    if (m_state.closing.load() == 0) {
        NetSocketChannel socket(job.socket);
        // In clear until told otherwise, so a check without TLS goes exactly as it always has.
        TlsChannel channel(socket, job.server, job.tls.caFile);
        NewsCheckDialogue dialogue(channel, SinkOf(m_context), m_state, job.timing);
        bool secured = true;
        if (job.tls.security == ChannelSecurity::OnConnect) {
            secured = channel.Handshake(&m_state.closing, job.timing);
        } else if (job.tls.security == ChannelSecurity::StartTls) {
            dialogue.SetBeforeFirstCommand([&] {
                return StartTls(channel, kNntpStartTls, SinkOf(m_context), &m_state.closing,
                                job.timing);
            });
        }
        std::optional<std::string> report;
        if (secured) report = dialogue.Run(job.listPath);
        if (channel.Fault() != TlsFault::None) {
            if (!secured) Log(sjis(txt::kNntpSocketDelete));
            ReportTlsFailure(channel, job.server);
        } else if (channel.Secured()) {
            ReportTlsSecured();
        }
        if (report) PostMessage(m_context.frame, WM_NEW_NEWS, 0, 0, own(std::move(*report)));
    }
    job.socket.reset();
    m_state.status = 0;
}

void CNewsCheckWnd::ReportTlsFailure(const TlsChannel& channel, const std::string& server) {
    if (channel.Stopped()) return;
    Log(nntp::FillText(txt::kTlsFailedLogFormat, {channel.FaultDetail()}));
    std::string text =
        nntp::FillText(sjis(txt::kNntpTlsFailedFormat), {server, TlsFaultText(channel.Fault())});
    QMetaObject::invokeMethod(
        this,
        [this, text = std::move(text)] {
            if (text == m_tlsBoxShown || !m_context.boxes) return;
            m_tlsBoxShown = text;
            m_context.boxes->Show(text, sjis(txt::kNewsWatchErrorCaption), BoxIcon::Stop);
        },
        Qt::QueuedConnection);
}

void CNewsCheckWnd::ReportTlsSecured() {
    QMetaObject::invokeMethod(
        this, [this] { m_tlsBoxShown.clear(); }, Qt::QueuedConnection);
}

}  // namespace kestrel
