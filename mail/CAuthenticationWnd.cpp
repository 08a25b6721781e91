#include "mail/CAuthenticationWnd.h"

#include <QString>

#include <memory>

#include "mail/Pop3Count.h"
#include "mail/Pop3Reply.h"
#include "mail/ServedReplyWait.h"
#include "net/EventLog.h"
#include "net/LogText.h"
#include "net/NetSocket.h"
#include "net/NetSocketChannel.h"
#include "net/ServedWait.h"
#include "net/SocketChannel.h"
#include "net/StartTls.h"
#include "net/TlsChannel.h"
#include "net/TlsCheck.h"
#include "platform/MessageBoxes.h"
#include "platform/Timing.h"
#include "res/Text.h"
#include "res/TextsMail.h"
#include "res/TextsTls.h"

namespace kestrel {
CAuthenticationWnd::CAuthenticationWnd(const WorkerContext& context, QObject* parent,
                                       const Timing& timing)
    : QObject(parent), m_context(context), m_timing(timing) {
    setObjectName(QString::fromLatin1(txt::kAuthenticationWindowTitle));
}

void CAuthenticationWnd::Show(const std::string& text) {
    if (m_context.boxes) {
        m_context.boxes->Show(text, sjis(txt::kAuthFailedCaption), BoxIcon::None, BoxButtons::Ok);
    }
}

void CAuthenticationWnd::Log(std::string_view text) {
    if (m_context.log) m_context.log->PostLog(text);
}

bool CAuthenticationWnd::BuildCommands(const std::string& user, const std::string& password,
                                       std::string& userCommand, std::string& passCommand) {
    // Both commands are put together before anything is sent, so a name or password that
    // cannot go out whole stops the log-in before the server has seen any of it.
    const pop3::CommandFault userFault = pop3::BuildCommand(txt::kPopUserFormat, user, userCommand);
    const pop3::CommandFault passFault =
        pop3::BuildCommand(txt::kPopPassFormat, password, passCommand);
    if (userFault == pop3::CommandFault::None && passFault == pop3::CommandFault::None) return true;
    const bool lineBreak =
        userFault == pop3::CommandFault::LineBreak || passFault == pop3::CommandFault::LineBreak;
    Show(sjis(lineBreak ? txt::kAuthAccountBadChar : txt::kAuthAccountTooLong));
    return false;
}

bool CAuthenticationWnd::Verify(const std::string& server, int port, const std::string& user,
                                const std::string& password) {
    std::string userCommand;
    std::string passCommand;
    if (!BuildCommands(user, password, userCommand, passCommand)) return false;
    // The creation result is not looked at: a socket that cannot connect shows itself as a
    // greeting that never comes.
    NetSocketChannel socket(ConnectServingEvents(server, port, 256));
    // In clear until the settings ask for more, so a log-in without TLS goes as it always has.
    TlsChannel channel(socket, server, m_security.caFile);
    m_tls = &channel;
    m_server = server;
    const bool accepted = Verify(channel, user, password);
    m_tls = nullptr;
    return accepted;
}

bool CAuthenticationWnd::Secure(ChannelSecurity when, const Timing& timing) {
    if (!m_tls || m_security.security != when) return true;
    NullLogSink none;
    LogSink& log = m_context.log ? *m_context.log : none;
    // A handshake has the budget of a reply, and the windows are served meanwhile as they are
    // while a reply is awaited.
    bool secured = false;
    RunServingEvents([&](const std::atomic<int>& stop) {
        secured = SecureChannel(*m_tls, when, kPop3StartTls, log, &stop, timing);
    });
    if (secured) return true;
    if (m_tls->Stopped()) return false;  // the program is quitting
    Log(FillText(txt::kTlsFailedLogFormat, {m_tls->FaultDetail()}));
    Show(FillText(sjis(txt::kPopTlsFailedFormat), {m_server, TlsFaultText(m_tls->Fault())}));
    return false;
}

bool CAuthenticationWnd::Verify(SocketChannel& channel, const std::string& user,
                                const std::string& password) {
    std::string userCommand;
    std::string passCommand;
    if (!BuildCommands(user, password, userCommand, passCommand)) return false;
    Log(sjis(txt::kPopSocketConnecting));
    const bool accepted = Dialogue(channel, user, userCommand, passCommand);
    Log(sjis(txt::kPopSocketDelete));
    return accepted;
}

bool CAuthenticationWnd::Exchange(SocketChannel& channel, const std::string& command,
                                  std::string_view logged, const char* sendErrorFormat,
                                  const char* receiveErrorFormat, const Timing& timing) {
    Log(logged);
    if (channel.Send(command.data(), static_cast<int>(command.size())) == -1) {
        const std::string text = FillNumbers(sjis(sendErrorFormat), -1, channel.GetLastError());
        Show(text);
        Log(text);
        return false;
    }
    const WaitResult wait = WaitForReplyServingEvents(channel, m_reply, timing);
    if (wait.outcome != WaitOutcome::Reply) {
        const std::string text =
            FillNumbers(sjis(receiveErrorFormat), wait.lastRead, wait.lastError);
        Show(text);
        Log(text);
        return false;
    }
    Log(net::LogSafeText(m_reply.Text()));
    return true;
}

bool CAuthenticationWnd::Dialogue(SocketChannel& channel, const std::string& user,
                                  const std::string& userCommand, const std::string& passCommand) {
    const Timing& timing = m_timing;
    if (!Secure(ChannelSecurity::OnConnect, timing)) return false;

    const WaitResult wait = WaitForReplyServingEvents(channel, m_reply, timing);
    if (wait.outcome != WaitOutcome::Reply) {
        Show(FillNumbers(sjis(txt::kAuthCommFailedFormat), wait.lastRead, wait.lastError));
        return false;
    }
    if (!pop3::IsPositiveReply(m_reply.Text())) {
        Show(sjis(txt::kAuthNotReady));
        Log(sjis(txt::kPopNotReady));
        return false;
    }
    if (!Secure(ChannelSecurity::StartTls, timing)) return false;

    if (!Exchange(channel, userCommand, userCommand, txt::kAuthSendErrorUserFormat,
                  txt::kAuthReceiveErrorUserFormat, timing))
        return false;
    if (!pop3::IsPositiveReply(m_reply.Text())) {
        const std::string text = pop3::FormatRejection(
            sjis(txt::kPopUserRejectedFormat), user, m_reply.Text(), pop3::kVerifyFailureAreaSize);
        Show(text);
        Log(text);
        return false;
    }

    // The event log is a plain file beside the program: the password never goes into it.
    Timing passTiming = timing;
    passTiming.pollSlices = timing.passReplySlices;
    if (!Exchange(channel, passCommand, sjis(txt::kPopPassLogged), txt::kAuthSendErrorPassFormat,
                  txt::kAuthReceiveErrorPassFormat, passTiming))
        return false;
    if (pop3::IsTemporaryRefusal(m_reply.Text())) {
        // The box is in use or the server is in trouble: the password may well be right. The
        // log-in fails this time and the user starts it again a little later.
        Show(sjis(txt::kAuthServerBusy));
        return false;
    }
    if (!pop3::IsPositiveReply(m_reply.Text())) {
        Show(pop3::FormatRejection(sjis(txt::kAuthPasswordRejectedFormat), user, m_reply.Text(),
                                   pop3::kVerifyFailureAreaSize));
        return false;
    }

    const std::string quit = txt::kPopQuit;
    Log(quit);
    if (channel.Send(quit.data(), static_cast<int>(quit.size())) == -1) {
        Log(FillNumbers(sjis(txt::kAuthSendErrorQuitFormat), -1, channel.GetLastError()));
    } else {
        // Give QUIT its moment on the wire before the socket closes; an answer ends it early.
        WaitReadableServingEvents(channel, 2 * timing.pollSliceMs);
    }
    return true;
}

}  // namespace kestrel
