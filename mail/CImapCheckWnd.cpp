#include "mail/CImapCheckWnd.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

#include "mail/ImapDialogue.h"
#include "mail/ImapResponse.h"
#include "net/EventLog.h"
#include "net/NetSocket.h"
#include "net/NetSocketChannel.h"
#include "platform/MessageEvent.h"
#include "res/Cp932.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsMail.h"
#include "res/TextsTls.h"

namespace kestrel {
namespace {

void Wipe(std::string& secret) {
    std::fill(secret.begin(), secret.end(), '\0');
    secret.clear();
}

// The password a check carries to its thread; wiped with every copy that goes.
struct Secret {
    std::string text;
    explicit Secret(std::string t) : text(std::move(t)) {}
    Secret(const Secret&) = default;
    Secret& operator=(const Secret&) = delete;
    ~Secret() { Wipe(text); }
};

constexpr PeriodicCheckTexts kTexts{
    txt::kSkipMailcheckStart,    txt::kImapcheckStart,       txt::kMailTimerSetComplete,
    txt::kMailTimerSetError,     txt::kPopSocketErrorFormat, txt::kPopConnectFailedFormat,
    txt::kMailWatchErrorCaption, txt::kImapSocketConnecting, txt::kImapSocketDelete,
};

}  // namespace

CImapCheckWnd::CImapCheckWnd(const WorkerContext& context, std::function<bool()> noticeOpen,
                             QObject* parent, const Timing& timing)
    : QObject(parent),
      m_context(context),
      m_tlsReport(this, context.boxes, txt::kPopTlsFailedFormat, txt::kMailWatchErrorCaption,
                  txt::kImapSocketDelete),
      m_check(context, std::move(noticeOpen),
              {TIMER_MAIL_CHECK, &Timing::mailFirstCheckMs, kTexts, m_record.busy, m_record.stop,
               [this] { return MakeDialogue(); }},
              timing),
      m_timing(timing),
      m_timers([this](int id) { OnTimer(id); }) {
    setObjectName(QString::fromLatin1(txt::kImapCheckWindowTitle));
}

CImapCheckWnd::~CImapCheckWnd() {
    m_timers.KillTimer(TIMER_MAIL_IDLE_RETRY);
    m_check.Shutdown();
    std::memset(m_record.password, 0, sizeof m_record.password);
}

bool CImapCheckWnd::Start(const std::string& server, int port, const std::string& user,
                          const std::string& password, unsigned interval) {
    if (interval == 0) {
        m_check.ShowIntervalRefused();
        return false;
    }
    const auto bare = [](const std::string& s) {
        return s.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
    };
    const bool fits = server.size() < sizeof m_record.server &&
                      user.size() < sizeof m_record.user &&
                      password.size() < sizeof m_record.password && bare(user) && bare(password);
    if (!fits) {
        m_check.Log(sjis(txt::kMailAccountRefused));
        return false;
    }
    CopyField(m_record.server, server);
    CopyField(m_record.user, user);
    CopyField(m_record.password, password);
    m_record.port = port;
    m_interval = interval;
    m_check.SetServer(m_record.server, m_record.port);
    m_check.SetInterval(interval);
    return m_check.ArmFirst();
}

bool CImapCheckWnd::SetInterval(unsigned interval) {
    m_check.Disarm();
    if (interval == 0) {
        m_check.ShowIntervalRefused();
        return false;
    }
    m_interval = interval;
    m_check.SetInterval(interval);
    return m_check.ArmFirst();
}

int CImapCheckWnd::RetryDelayMs() const {
    return m_timers.IsActive(TIMER_MAIL_IDLE_RETRY) ? m_timers.Interval(TIMER_MAIL_IDLE_RETRY) : 0;
}

void CImapCheckWnd::OnIdleStarted() {
    m_idling = true;
    m_idleSince = std::chrono::steady_clock::now();
}

void CImapCheckWnd::OnDialogueEnded(Ended how) {
    const bool wasIdling = m_idling;
    m_idling = false;
    if (how == Ended::Stopped || how == Ended::Counted) {
        m_retrying = false;
        return;
    }
    // An IDLE that ended, or a reopening of one that failed: try again a little later, each
    // time waiting twice as long, until the wait reaches the interval, whose check goes on.
    if (!wasIdling && !m_retrying) return;
    const long long intervalMs = static_cast<long long>(m_interval) * m_timing.minuteMs;
    // Only an IDLE that held for a whole interval starts the waits over: one that a server
    // breaks right after it began would otherwise be reopened every second for ever.
    if (wasIdling &&
        std::chrono::steady_clock::now() - m_idleSince >= std::chrono::milliseconds(intervalMs)) {
        m_nextRetryMs = 0;
    }
    if (m_nextRetryMs <= 0) m_nextRetryMs = m_timing.imapRetryFirstMs;
    if (m_nextRetryMs >= intervalMs) {
        m_retrying = false;
        return;
    }
    m_retrying = true;
    m_check.Log(FillText(txt::kImapIdleRetryFormat, {std::to_string(m_nextRetryMs)}));
    m_timers.SetTimer(TIMER_MAIL_IDLE_RETRY, m_nextRetryMs);
    m_nextRetryMs = static_cast<int>(std::min<long long>(2LL * m_nextRetryMs, INT_MAX));
}

void CImapCheckWnd::OnTimer(int id) {
    if (id != TIMER_MAIL_IDLE_RETRY) return;
    m_timers.KillTimer(TIMER_MAIL_IDLE_RETRY);
    // A check of its own, now: it re-arms the interval behind it.
    m_check.OnTimer(TIMER_MAIL_CHECK);
}

PeriodicCheck::Dialogue CImapCheckWnd::MakeDialogue() {
    return [this, user = std::string(m_record.user), password = Secret(m_record.password),
            server = std::string(m_record.server),
            tls = m_tls](const std::shared_ptr<CNetSocket>& socket, const Timing& timing) {
        LogSink& log = m_check.Sink();
        NetSocketChannel plain(socket);
        TlsChannel channel(plain, server, tls.caFile);
        ImapDialogue dialogue(channel, log, m_record.stop, timing);
        dialogue.UseTls(&channel, tls.security == ChannelSecurity::StartTls);
        const auto post = [this](std::uint32_t unread) {
            PostMessage(m_context.frame, WM_UNREAD_MAIL, static_cast<std::intptr_t>(unread));
        };
        Ended how = Ended::Failed;
        bool secured = true;
        if (tls.security == ChannelSecurity::OnConnect) {
            secured =
                SecureChannel(channel, tls.security, kPop3StartTls, log, &m_record.stop, timing);
        }
        ImapDialogue::Outcome outcome = ImapDialogue::Outcome::Failed;
        if (secured) outcome = dialogue.LogIn(user, password.text);
        m_tlsReport.After(channel, secured, server, log);
        if (outcome == ImapDialogue::Outcome::Stopped) how = Ended::Stopped;
        if (outcome == ImapDialogue::Outcome::Ok && dialogue.Offers("IDLE")) {
            QMetaObject::invokeMethod(
                this, [this] { OnIdleStarted(); }, Qt::QueuedConnection);
            const ImapDialogue::IdleEnd end = dialogue.Idle(post, timing.imapIdleRenewMs);
            how = end == ImapDialogue::IdleEnd::Stopped   ? Ended::Stopped
                  : end == ImapDialogue::IdleEnd::Refused ? Ended::Counted
                                                          : Ended::Idled;
            if (end == ImapDialogue::IdleEnd::Refused) dialogue.LogOut();
        } else if (outcome == ImapDialogue::Outcome::Ok) {
            if (const auto unread = dialogue.CountUnseen()) {
                post(*unread);
                how = Ended::Counted;
            }
            dialogue.LogOut();
        }
        if (secured && how != Ended::Stopped) log.PostLog(sjis(txt::kImapSocketDelete));
        QMetaObject::invokeMethod(
            this, [this, how] { OnDialogueEnded(how); }, Qt::QueuedConnection);
    };
}

}  // namespace kestrel
