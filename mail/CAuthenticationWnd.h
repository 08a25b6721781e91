#pragma once

#include <QObject>

#include <string>

#include "mail/ReplyBuffer.h"
#include "net/TlsSettings.h"
#include "net/WorkerContext.h"
#include "platform/Timing.h"

namespace kestrel {

class SocketChannel;
class TlsChannel;

// The hidden "Authentication Window": checks a user name and password against the POP3
// server at log-in. Verify runs on the calling (user-interface) thread and returns when the
// dialogue is over; every failure has been shown in a box ("認証失敗") by then. While it
// waits for a reply, that thread goes on serving its events (all but user input), so the
// caller keeps a second log-in and the program's exit out until Verify has returned.
class CAuthenticationWnd final : public QObject {
public:
    explicit CAuthenticationWnd(const WorkerContext& context, QObject* parent = nullptr,
                                const Timing& timing = ProgramTiming());

    bool Verify(const std::string& server, int port, const std::string& user,
                const std::string& password);
    // The same dialogue over a channel that is already connecting.
    bool Verify(SocketChannel& channel, const std::string& user, const std::string& password);
    // TLS for the verification by server name (none until set).
    void SetSecurity(const TlsSettings& settings) { m_security = settings; }

private:
    bool BuildCommands(const std::string& user, const std::string& password,
                       std::string& userCommand, std::string& passCommand);
    bool Dialogue(SocketChannel& channel, const std::string& user, const std::string& userCommand,
                  const std::string& passCommand);
    // Send one command (logged as `logged`) and wait for its reply line; a failed send or
    // wait is shown and logged with its format, and the reply, when one came, is logged.
    bool Exchange(SocketChannel& channel, const std::string& command, std::string_view logged,
                  const char* sendErrorFormat, const char* receiveErrorFormat,
                  const Timing& timing);
    // The upgrade the settings ask for at this point of the dialogue (none: true at once); a
    // failure is shown and logged.
    bool Secure(ChannelSecurity when, const Timing& timing);
    void Show(const std::string& text);
    void Log(std::string_view text);

    WorkerContext m_context;
    const Timing m_timing;
    ReplyBuffer m_reply;
    TlsSettings m_security;
    TlsChannel* m_tls = nullptr;  // during a verification by server name
    std::string m_server;
};

}  // namespace kestrel
