#include "mail/CPopCheckWnd.h"

#include <QString>

#include <algorithm>
#include <cstring>

#include "mail/Pop3Reply.h"
#include "mail/PopCheckDialogue.h"
#include "mail/SeenMailStore.h"
#include "net/NetSocket.h"
#include "net/NetSocketChannel.h"
#include "platform/MessageEvent.h"
#include "platform/ProgramDir.h"
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
    txt::kSkipMailcheckStart,    txt::kPopcheckStart,        txt::kMailTimerSetComplete,
    txt::kMailTimerSetError,     txt::kPopSocketErrorFormat, txt::kPopConnectFailedFormat,
    txt::kMailWatchErrorCaption, txt::kPopSocketConnecting,  txt::kPopSocketDelete,
};

}  // namespace

CPopCheckWnd::CPopCheckWnd(const WorkerContext& context, std::function<bool()> noticeOpen,
                           QObject* parent, const Timing& timing,
                           std::shared_ptr<SeenMailStore> seen)
    : QObject(parent),
      m_context(context),
      m_seen(seen ? std::move(seen)
                  : std::make_shared<SeenMailStore>(ProgramFile(SeenMailStore::kFileName))),
      m_tlsReport(this, context.boxes, txt::kPopTlsFailedFormat, txt::kMailWatchErrorCaption,
                  txt::kPopSocketDelete),
      m_check(context, std::move(noticeOpen),
              {TIMER_MAIL_CHECK, &Timing::mailFirstCheckMs, kTexts, m_record.busy, m_record.stop,
               [this] { return MakeDialogue(); }},
              timing) {
    setObjectName(QString::fromLatin1(txt::kPopCheckWindowTitle));
}

CPopCheckWnd::~CPopCheckWnd() {
    m_check.Shutdown();
    std::memset(m_record.password, 0, sizeof m_record.password);
}

bool CPopCheckWnd::Start(const std::string& server, int port, const std::string& user,
                         const std::string& password, unsigned interval) {
    if (interval == 0) {
        m_check.ShowIntervalRefused();
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
        m_check.Log(sjis(txt::kMailAccountRefused));
        return false;
    }
    CopyField(m_record.server, server);
    CopyField(m_record.user, user);
    CopyField(m_record.password, password);
    m_record.port = port;
    m_check.SetServer(m_record.server, m_record.port);
    m_check.SetInterval(interval);
    return m_check.ArmFirst();
}

bool CPopCheckWnd::SetInterval(unsigned interval) {
    m_check.Disarm();
    if (interval == 0) {
        m_check.ShowIntervalRefused();
        return false;
    }
    m_check.SetInterval(interval);
    return m_check.ArmFirst();
}

PeriodicCheck::Dialogue CPopCheckWnd::MakeDialogue() {
    return [this, user = std::string(m_record.user), password = Secret(m_record.password),
            account = MailAccount{m_record.server, m_record.port, m_record.user},
            server = std::string(m_record.server),
            tls = m_tls](const std::shared_ptr<CNetSocket>& socket, const Timing& timing) {
        NetSocketChannel plain(socket);
        // The channel passes bytes through in clear until it is secured, from the first byte
        // or after the greeting; with no TLS in the settings it stays in clear.
        TlsChannel channel(plain, server, tls.caFile);
        PopCheckDialogue dialogue(channel, m_check.Sink(), m_record.stop, timing);
        dialogue.UseSeenMail(m_seen.get(), account);
        const bool secured = PrepareTls(channel, dialogue, tls, kPop3StartTls, m_check.Sink(),
                                        &m_record.stop, timing);
        std::optional<std::uint32_t> unread;
        if (secured) unread = dialogue.Run(user, password.text);
        m_tlsReport.After(channel, secured, server, m_check.Sink());
        if (unread) {
            PostMessage(m_context.frame, WM_UNREAD_MAIL, static_cast<std::intptr_t>(*unread));
        }
    };
}

}  // namespace kestrel
