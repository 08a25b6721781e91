#pragma once

#include <QObject>

#include <string>
#include <string_view>

#include "mail/PoppassdReply.h"
#include "mail/ReplyBuffer.h"
#include "net/WorkerContext.h"
#include "platform/Timing.h"

namespace kestrel {

class SocketChannel;

// The hidden "PasswordChange Window": changes the user's mail password through the poppassd
// service on the mail host. ExecChange runs on the calling (user-interface) thread and
// returns when the dialogue is over; the new-password reply may take up to 2 min 30 s. While
// it waits for a reply, that thread goes on serving its events (all but user input), so the
// caller keeps a second change and the program's exit out until ExecChange has returned.
class CPasswdChangeWnd final : public QObject {
public:
    explicit CPasswdChangeWnd(const WorkerContext& context, QObject* parent = nullptr,
                              const Timing& timing = ProgramTiming());

    // True when the server confirmed the new password. Every failure but a refused new
    // password has been shown in a box by then; the caller reports the outcome.
    bool ExecChange(const std::string& server, int port, const std::string& user,
                    const std::string& oldPassword, const std::string& newPassword);
    // The same dialogue over a channel that is already connecting.
    bool ExecChange(SocketChannel& channel, const std::string& user, const std::string& oldPassword,
                    const std::string& newPassword);

private:
    bool CheckFields(const std::string& user, const std::string& oldPassword,
                     const std::string& newPassword, poppassd::Commands& commands);
    bool Dialogue(SocketChannel& channel, const std::string& user,
                  const poppassd::Commands& commands, const Timing& timing);
    bool Send(SocketChannel& channel, const std::string& line, std::string_view logged);
    bool ErrorEnd(const std::string& text);
    void Show(const std::string& text);
    void Log(std::string_view text);

    WorkerContext m_context;
    const Timing m_timing;
    ReplyBuffer m_reply;
};

}  // namespace kestrel
