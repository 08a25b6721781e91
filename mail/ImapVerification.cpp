#include "mail/ImapVerification.h"

#include "mail/ImapDialogue.h"
#include "mail/ServedReplyWait.h"
#include "net/EventLog.h"
#include "net/NetSocketChannel.h"
#include "net/ServedWait.h"
#include "net/TlsChannel.h"
#include "net/TlsCheck.h"
#include "platform/MessageBoxes.h"
#include "res/Text.h"
#include "res/TextsMail.h"
#include "res/TextsTls.h"

namespace kestrel {

bool VerifyImapAccount(const WorkerContext& context, const Timing& timing, const TlsSettings& tls,
                       const std::string& server, int port, const std::string& user,
                       const std::string& password) {
    NullLogSink none;
    LogSink& log = context.log ? *context.log : none;
    const auto show = [&context](const std::string& text) {
        if (context.boxes) {
            context.boxes->Show(text, sjis(txt::kAuthFailedCaption), BoxIcon::None, BoxButtons::Ok);
        }
    };
    if (user.find_first_of(std::string("\r\n\0", 3)) != std::string::npos ||
        password.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        show(sjis(txt::kAuthAccountBadChar));
        return false;
    }

    NetSocketChannel socket(ConnectServingEvents(server, port, 256));
    TlsChannel channel(socket, server, tls.caFile);
    log.PostLog(sjis(txt::kImapSocketConnecting));
    bool secured = true;
    ImapDialogue::Outcome outcome = ImapDialogue::Outcome::Failed;
    std::string refusal;
    RunServingEvents([&](const std::atomic<int>& stop) {
        ImapDialogue dialogue(channel, log, stop, timing);
        dialogue.UseTls(&channel, tls.security == ChannelSecurity::StartTls);
        if (tls.security == ChannelSecurity::OnConnect) {
            secured = SecureChannel(channel, tls.security, kPop3StartTls, log, &stop, timing);
        }
        if (!secured) return;
        outcome = dialogue.LogIn(user, password);
        refusal = dialogue.LastText();
        if (outcome == ImapDialogue::Outcome::Ok) dialogue.LogOut();
    });
    log.PostLog(sjis(txt::kImapSocketDelete));

    if (channel.Fault() != TlsFault::None) {
        if (channel.Stopped()) return false;  // the program is quitting
        log.PostLog(FillText(txt::kTlsFailedLogFormat, {channel.FaultDetail()}));
        show(FillText(sjis(txt::kPopTlsFailedFormat), {server, TlsFaultText(channel.Fault())}));
        return false;
    }
    switch (outcome) {
        case ImapDialogue::Outcome::Ok:
            return true;
        case ImapDialogue::Outcome::Rejected:
            show(FillText(sjis(txt::kAuthPasswordRejectedFormat), {user, refusal}));
            return false;
        case ImapDialogue::Outcome::Busy:
            show(sjis(txt::kAuthServerBusy));
            return false;
        case ImapDialogue::Outcome::NotReady:
            show(sjis(txt::kAuthNotReady));
            return false;
        case ImapDialogue::Outcome::Stopped:
            return false;
        default:
            show(FillNumbers(sjis(txt::kAuthCommFailedFormat), -1, socket.GetLastError()));
            return false;
    }
}

}  // namespace kestrel
