#include "mail/CPasswdChangeWnd.h"

#include <QString>

#include <memory>

#include "mail/Pop3Reply.h"
#include "mail/PoppassdReply.h"
#include "mail/ServedReplyWait.h"
#include "net/EventLog.h"
#include "net/LogText.h"
#include "net/NetSocket.h"
#include "net/NetSocketChannel.h"
#include "net/SocketChannel.h"
#include "platform/MessageBoxes.h"
#include "platform/Timing.h"
#include "res/Text.h"
#include "res/TextsMail.h"
#include "res/TextsPasswd.h"

namespace kestrel {

CPasswdChangeWnd::CPasswdChangeWnd(const WorkerContext& context, QObject* parent,
                                   const Timing& timing)
    : QObject(parent), m_context(context), m_timing(timing) {
    setObjectName(QString::fromLatin1(txt::kPasswdChangeWindowTitle));
}

void CPasswdChangeWnd::Show(const std::string& text) {
    if (m_context.boxes) {
        m_context.boxes->Show(text, sjis(txt::kPasswdChangeCaption), BoxIcon::None, BoxButtons::Ok);
    }
}

void CPasswdChangeWnd::Log(std::string_view text) {
    if (m_context.log) m_context.log->PostLog(text);
}

bool CPasswdChangeWnd::ErrorEnd(const std::string& text) {
    Show(text);
    Log(text);
    Log(sjis(txt::kPoppassdDelete));
    return false;
}

bool CPasswdChangeWnd::CheckFields(const std::string& user, const std::string& oldPassword,
                                   const std::string& newPassword, poppassd::Commands& commands) {
    const pop3::CommandFault fault =
        poppassd::BuildCommands(user, oldPassword, newPassword, commands);
    if (fault == pop3::CommandFault::None) return true;
    const std::string& text =
        sjis(fault == pop3::CommandFault::LineBreak ? txt::kAuthAccountBadChar
                                                    : txt::kAuthAccountTooLong);
    Show(text);
    Log(text);
    return false;
}

bool CPasswdChangeWnd::ExecChange(const std::string& server, int port, const std::string& user,
                                  const std::string& oldPassword, const std::string& newPassword) {
    poppassd::Commands commands;
    if (!CheckFields(user, oldPassword, newPassword, commands)) return false;
    // The creation result is not looked at: a socket that cannot connect shows itself as a
    // greeting that never comes.
    NetSocketChannel channel(ConnectServingEvents(server, port, 256));
    Log(sjis(txt::kPoppassdConnecting));
    return Dialogue(channel, user, commands, m_timing);
}

bool CPasswdChangeWnd::ExecChange(SocketChannel& channel, const std::string& user,
                                  const std::string& oldPassword, const std::string& newPassword) {
    poppassd::Commands commands;
    if (!CheckFields(user, oldPassword, newPassword, commands)) return false;
    Log(sjis(txt::kPoppassdConnecting));
    return Dialogue(channel, user, commands, m_timing);
}

bool CPasswdChangeWnd::Send(SocketChannel& channel, const std::string& line,
                            std::string_view logged) {
    Log(logged);
    return channel.Send(line.data(), static_cast<int>(line.size())) != -1;
}

bool CPasswdChangeWnd::Dialogue(SocketChannel& channel, const std::string& user,
                                const poppassd::Commands& commands, const Timing& timing) {
    const std::string& errorFormat = sjis(txt::kPoppassdErrorFormat);
    const auto sendFailure = [&] {
        return ErrorEnd(FillNumbers(errorFormat, -1, channel.GetLastError()));
    };
    const auto waitFailure = [&](const WaitResult& wait) {
        return ErrorEnd(FillNumbers(errorFormat, wait.lastRead, wait.lastError));
    };

    WaitResult wait = WaitForReplyServingEvents(channel, m_reply, timing);
    if (wait.outcome != WaitOutcome::Reply) return waitFailure(wait);
    Log(net::LogSafeText(m_reply.Text()));
    if (!poppassd::IsOk(m_reply.Text())) {
        Show(sjis(txt::kPoppassdNotReady));
        Log(sjis(txt::kPoppassdNotReadyLog));
        return false;
    }

    if (!Send(channel, commands.user, commands.user)) return sendFailure();
    wait = WaitForReplyServingEvents(channel, m_reply, timing);
    if (wait.outcome != WaitOutcome::Reply) return waitFailure(wait);
    Log(net::LogSafeText(m_reply.Text()));
    if (!poppassd::IsUserAccepted(m_reply.Text())) {
        const std::string text =
            pop3::FormatRejection(sjis(txt::kPoppassdUserRejectedFormat), user, m_reply.Text(),
                                  pop3::kVerifyFailureAreaSize);
        Show(text);
        Log(text);
        Log(sjis(txt::kPoppassdDelete));
        return false;
    }

    // The event log is a plain file beside the program: no password goes into it.
    if (!Send(channel, commands.pass, sjis(txt::kPoppassdPassLogged))) {
        return sendFailure();
    }
    wait = WaitForReplyServingEvents(channel, m_reply, timing);
    if (wait.outcome != WaitOutcome::Reply) return waitFailure(wait);
    Log(net::LogSafeText(m_reply.Text()));
    if (!poppassd::IsOk(m_reply.Text())) {
        Show(sjis(txt::kPoppassdPasswordInvalid));
        Log(sjis(txt::kPoppassdPasswordInvalid));
        Log(sjis(txt::kPoppassdDelete));
        return false;
    }

    if (!Send(channel, commands.newpass, sjis(txt::kPoppassdNewpassLogged))) {
        return sendFailure();
    }
    // The server may take long to put the new password in place; its reply gets a budget
    // of its own.
    Timing newPassTiming = timing;
    newPassTiming.pollSliceMs = timing.newPassSliceMs;
    newPassTiming.pollSlices = timing.newPassSlices;
    wait = WaitForReplyServingEvents(channel, m_reply, newPassTiming);
    if (wait.outcome != WaitOutcome::Reply) {
        Log(sjis(txt::kPoppassdDelete));
        const std::string text =
            FillNumbers(sjis(txt::kPoppassdTooSlowFormat), wait.lastRead, wait.lastError);
        Log(text);
        Show(text);
        return false;
    }
    Log(net::LogSafeText(m_reply.Text()));
    if (!poppassd::IsOk(m_reply.Text())) {
        // No box here: the caller tells the user that the change failed.
        Log(sjis(txt::kPoppassdChangeFailed));
        Log(sjis(txt::kPoppassdDelete));
        return false;
    }

    const std::string quit = txt::kPoppassdQuit;
    if (!Send(channel, quit, quit)) {
        const std::string text = FillNumbers(errorFormat, -1, channel.GetLastError());
        Show(text);
        Log(text);
        Log(sjis(txt::kPoppassdDelete));
        return true;
    }
    // Give QUIT its moment on the wire before the socket closes; an answer ends it early.
    WaitReadableServingEvents(channel, 2 * timing.pollSliceMs);
    Log(sjis(txt::kPoppassdDelete));
    return true;
}

}  // namespace kestrel
