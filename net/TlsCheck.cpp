#include "net/TlsCheck.h"

#include "net/EventLog.h"
#include "platform/MessageBoxes.h"
#include "res/Text.h"
#include "res/TextsTls.h"

namespace kestrel {

bool SecureChannel(TlsChannel& channel, ChannelSecurity security, const StartTlsProtocol& protocol,
                   LogSink& log, const std::atomic<int>* stop, const Timing& timing) {
    const bool secured = security == ChannelSecurity::OnConnect
                             ? channel.Handshake(stop, timing)
                             : StartTls(channel, protocol, log, stop, timing);
    if (secured) log.PostLog(FillText(txt::kTlsSecuredLogFormat, {channel.Summary()}));
    return secured;
}

TlsCheckReport::TlsCheckReport(QObject* owner, MessageBoxes* boxes, const char* failedFormatUtf8,
                               const char* captionUtf8, const char* deleteUtf8)
    : m_owner(owner),
      m_boxes(boxes),
      m_failedFormat(failedFormatUtf8),
      m_caption(captionUtf8),
      m_delete(deleteUtf8) {}

void TlsCheckReport::After(const TlsChannel& channel, bool secured, const std::string& server,
                           LogSink& log) {
    if (channel.Fault() == TlsFault::None) {
        if (channel.Secured()) {
            QMetaObject::invokeMethod(
                m_owner, [this] { m_shown.clear(); }, Qt::QueuedConnection);
        }
        return;
    }
    if (!secured) log.PostLog(sjis(m_delete));
    if (channel.Stopped()) return;
    log.PostLog(FillText(txt::kTlsFailedLogFormat, {channel.FaultDetail()}));
    std::string text = FillText(sjis(m_failedFormat), {server, TlsFaultText(channel.Fault())});
    QMetaObject::invokeMethod(
        m_owner,
        [this, text = std::move(text)] {
            if (text == m_shown || !m_boxes) return;
            m_shown = text;
            m_boxes->Show(text, sjis(m_caption), BoxIcon::Stop);
        },
        Qt::QueuedConnection);
}

}  // namespace kestrel
