#pragma once

#include <QObject>

#include <atomic>
#include <string>
#include <string_view>

#include "net/StartTls.h"
#include "net/TlsChannel.h"
#include "net/TlsSettings.h"

namespace kestrel {

class LogSink;
class MessageBoxes;
struct Timing;

// Secures a channel still in clear as asked (a handshake at once, or the upgrade after the
// greeting) and, once secured, writes the event-log line naming its protocol and cipher.
// false: Fault() of the channel says why.
bool SecureChannel(TlsChannel& channel, ChannelSecurity security, const StartTlsProtocol& protocol,
                   LogSink& log, const std::atomic<int>* stop, const Timing& timing);

// Worker thread, before a periodic check's dialogue: TLS from the first byte is done here; the
// upgrade after the greeting is handed to the dialogue as its step before the first command.
// false: the channel could not be secured and nothing may be said on it.
template <class Dialogue>
bool PrepareTls(TlsChannel& channel, Dialogue& dialogue, const TlsSettings& tls,
                const StartTlsProtocol& protocol, LogSink& log, const std::atomic<int>* stop,
                const Timing& timing) {
    if (tls.security == ChannelSecurity::OnConnect) {
        return SecureChannel(channel, tls.security, protocol, log, stop, timing);
    }
    if (tls.security == ChannelSecurity::StartTls) {
        dialogue.SetBeforeFirstCommand([&channel, &protocol, &log, stop, &timing] {
            return SecureChannel(channel, ChannelSecurity::StartTls, protocol, log, stop, timing);
        });
    }
    return true;
}

// What a periodic check tells about TLS after its dialogue: every failure goes to the log; the
// box comes once per kind of failure until a check is secured again, since a box every few
// minutes for the same fault would be noise.
class TlsCheckReport {
public:
    // owner: the check window (boxes are shown on its thread). failedFormatUtf8 takes the
    // server and the reason; captionUtf8 is the box's caption; deleteUtf8 is the line the
    // check writes when it gives its socket up.
    TlsCheckReport(QObject* owner, MessageBoxes* boxes, const char* failedFormatUtf8,
                   const char* captionUtf8, const char* deleteUtf8);

    // Worker thread, after the dialogue (or instead of it when secured is false).
    void After(const TlsChannel& channel, bool secured, const std::string& server, LogSink& log);

private:
    QObject* m_owner;
    MessageBoxes* m_boxes;
    const char* m_failedFormat;
    const char* m_caption;
    const char* m_delete;
    std::string m_shown;  // user-interface thread only
};

}  // namespace kestrel
