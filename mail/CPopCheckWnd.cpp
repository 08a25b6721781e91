#include "mail/CPopCheckWnd.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <system_error>

#include "mail/Pop3Reply.h"
#include "mail/PopCheckDialogue.h"
#include "net/EventLog.h"
#include "net/NetSocket.h"
#include "net/NetSocketChannel.h"
#include "net/StartTls.h"
#include "net/TlsChannel.h"
#include "platform/MessageBoxes.h"
#include "platform/MessageEvent.h"
#include "platform/Timing.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsMail.h"
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

// Copy a text that is known to fit into a zero-terminated field.
template <std::size_t N>
void CopyField(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

void Wipe(std::string& secret) {
    std::fill(secret.begin(), secret.end(), '\0');
    secret.clear();
}

}  // namespace

struct CPopCheckWnd::Job {
    std::shared_ptr<CNetSocket> socket;
    std::string user;
    std::string password;
    Timing timing;
    std::string server;
    TlsSettings tls;
};

CPopCheckWnd::CPopCheckWnd(const WorkerContext& context, std::function<bool()> noticeOpen,
                           QObject* parent)
    : QObject(parent),
      m_context(context),
      m_noticeOpen(std::move(noticeOpen)),
      m_timers([this](int id) { OnTimer(id); }) {
    setObjectName(QString::fromLatin1(txt::kPopCheckWindowTitle));
}

CPopCheckWnd::~CPopCheckWnd() {
    m_timers.KillTimer(TIMER_MAIL_CHECK);
    m_record.stop = 1;
    WaitUntilClear(m_record.busy, ProgramTiming().workerStopWaitMs);
    // A worker still busy after the budget is in the LAST wait, which has no stop test, and
    // is done within one reply budget at most. It is joined rather than left behind: it still
    // posts to the log and the frame through this window's context, and the socket must not
    // be released before it is done with it.
    if (m_thread.joinable()) m_thread.join();
    m_record.socket.reset();
    std::memset(m_record.password, 0, sizeof m_record.password);
}

void CPopCheckWnd::Log(std::string_view text) {
    SinkOf(m_context).PostLog(text);
}

bool CPopCheckWnd::Start(const std::string& server, int port, const std::string& user,
                         const std::string& password, unsigned interval) {
    if (interval == 0) {
        if (m_context.boxes) {
            m_context.boxes->Show(sjis(txt::kTimerZero), sjis(txt::kTimerZeroCaption),
                                  BoxIcon::None);
        }
        return false;
    }
    std::string probe;
    const bool fits =
        server.size() < sizeof m_record.server && user.size() < sizeof m_record.user &&
        password.size() < sizeof m_record.password &&
        pop3::BuildCommand(txt::kPopUserFormat, user, probe) == pop3::CommandFault::None &&
        pop3::BuildCommand(txt::kPopPassFormat, password, probe) == pop3::CommandFault::None;
    Wipe(probe);
    if (!fits) {
        Log(sjis(txt::kMailAccountRefused));
        return false;
    }
    CopyField(m_record.server, server);
    CopyField(m_record.user, user);
    CopyField(m_record.password, password);
    m_record.port = port;
    m_interval = interval;

    const bool armed = m_timers.SetTimer(TIMER_MAIL_CHECK, ProgramTiming().mailFirstCheckMs);
    Log(sjis(armed ? txt::kMailTimerSetComplete : txt::kMailTimerSetError));
    return armed;
}

bool CPopCheckWnd::SetInterval(unsigned interval) {
    m_timers.KillTimer(TIMER_MAIL_CHECK);
    if (interval == 0) {
        if (m_context.boxes) {
            m_context.boxes->Show(sjis(txt::kTimerZero), sjis(txt::kTimerZeroCaption),
                                  BoxIcon::None);
        }
        return false;
    }
    m_interval = interval;
    const bool armed = m_timers.SetTimer(TIMER_MAIL_CHECK, ProgramTiming().mailFirstCheckMs);
    Log(sjis(armed ? txt::kMailTimerSetComplete : txt::kMailTimerSetError));
    return armed;
}

bool CPopCheckWnd::ArmInterval() {
    // A long interval in minutes does not fit a millisecond timer; it is held at the longest.
    const long long ms = static_cast<long long>(m_interval) * ProgramTiming().minuteMs;
    return m_timers.SetTimer(TIMER_MAIL_CHECK, static_cast<int>(std::min<long long>(ms, INT_MAX)));
}

void CPopCheckWnd::OnTimer(int id) {
    if (id != TIMER_MAIL_CHECK) return;
    if (m_record.busy.load() != 0 || (m_noticeOpen && m_noticeOpen())) {
        Log(sjis(txt::kSkipMailcheckStart));
        m_timers.KillTimer(TIMER_MAIL_CHECK);
        if (!ArmInterval()) Log(sjis(txt::kMailTimerSetError));
        return;
    }
    Log(sjis(txt::kPopcheckStart));
    m_timers.KillTimer(TIMER_MAIL_CHECK);

    // busy is clear, so the previous worker has finished its dialogue and is returning.
    if (m_thread.joinable()) m_thread.join();
    m_record.socket.reset();

    auto socket = std::make_shared<CNetSocket>(std::string(m_record.server), m_record.port, nullptr,
                                               0, 0, 256);
    const int error = socket->GetLastError();
    if (error != 0 && !IsWouldBlock(error)) {
        Log(pop3::FillText(sjis(txt::kPopSocketErrorFormat), {std::to_string(error)}));
        if (m_context.boxes) {
            m_context.boxes->Show(
                pop3::FillText(sjis(txt::kPopConnectFailedFormat), {std::to_string(error)}),
                sjis(txt::kMailWatchErrorCaption), BoxIcon::Stop);
        }
        return;
    }
    Log(sjis(txt::kPopSocketConnecting));
    m_record.socket = socket;

    if (!ArmInterval()) {
        Log(sjis(txt::kMailTimerSetError));
        return;
    }

    // Set here rather than by the worker, so a tick can never find the flag clear while a
    // worker is still starting up.
    m_record.busy = 1;
    try {
        m_thread = std::thread(
            &CPopCheckWnd::PopCheckThread, this,
            Job{socket, m_record.user, m_record.password, ProgramTiming(), m_record.server, m_tls});
    } catch (const std::system_error&) {
        m_record.busy = 0;
        Log(sjis(txt::kPopSocketDelete));
    }
}

void CPopCheckWnd::PopCheckThread(Job job) {
    if (m_record.stop.load() == 0) {
        NetSocketChannel socket(job.socket);
        // In clear until told otherwise, so a check without TLS goes exactly as it always has.
        TlsChannel channel(socket, job.server, job.tls.caFile);
        PopCheckDialogue dialogue(channel, SinkOf(m_context), m_record.stop, job.timing);
        bool secured = true;
        if (job.tls.security == ChannelSecurity::OnConnect) {
            secured = channel.Handshake(&m_record.stop, job.timing);
        } else if (job.tls.security == ChannelSecurity::StartTls) {
            dialogue.SetBeforeFirstCommand([&] {
                return StartTls(channel, kPop3StartTls, SinkOf(m_context), &m_record.stop,
                                job.timing);
            });
        }
        std::optional<std::uint32_t> unread;
        if (secured) unread = dialogue.Run(job.user, job.password);
        if (channel.Fault() != TlsFault::None) {
            if (!secured) Log(sjis(txt::kPopSocketDelete));
            ReportTlsFailure(channel, job.server);
        } else if (channel.Secured()) {
            ReportTlsSecured();
        }
        if (unread) {
            PostMessage(m_context.frame, WM_UNREAD_MAIL, static_cast<std::intptr_t>(*unread));
        }
    }
    Wipe(job.password);
    job.socket.reset();
    m_record.busy = 0;
}

void CPopCheckWnd::ReportTlsFailure(const TlsChannel& channel, const std::string& server) {
    if (channel.Stopped()) return;
    Log(pop3::FillText(txt::kTlsFailedLogFormat, {channel.FaultDetail()}));
    std::string text =
        pop3::FillText(sjis(txt::kPopTlsFailedFormat), {server, TlsFaultText(channel.Fault())});
    QMetaObject::invokeMethod(
        this,
        [this, text = std::move(text)] {
            if (text == m_tlsBoxShown || !m_context.boxes) return;
            m_tlsBoxShown = text;
            m_context.boxes->Show(text, sjis(txt::kMailWatchErrorCaption), BoxIcon::Stop);
        },
        Qt::QueuedConnection);
}

void CPopCheckWnd::ReportTlsSecured() {
    QMetaObject::invokeMethod(
        this, [this] { m_tlsBoxShown.clear(); }, Qt::QueuedConnection);
}

}  // namespace kestrel
