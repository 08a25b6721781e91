#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "mail/ReplyBuffer.h"
#include "platform/Timing.h"

namespace kestrel {

class LogSink;
class SocketChannel;

// One mail check over an open channel: greeting, USER, PASS, LAST when there is mail, QUIT.
// Every command and reply goes to the event log (the password only masked). Run gives the
// unread count to report, or nothing after a failure, a stop, or a LAST above the total.
// A server that refused USER, PASS or LAST still waits for a command and is sent QUIT, so
// it ends the session in order; after silence, a broken connection or a stop nothing more
// is sent.
class PopCheckDialogue {
public:
    PopCheckDialogue(SocketChannel& channel, LogSink& log, const std::atomic<int>& stop,
                     const Timing& timing);

    std::optional<std::uint32_t> Run(std::string_view user, std::string_view password);

private:
    enum class Step { Ok, Failed, Stopped };

    Step Await(bool stopTested);
    Step SendCommand(const std::string& command, std::string_view logged);
    Step Fail(const std::string& text);
    // A refusal by a server that still listens: the failure text, then QUIT.
    Step Refused(const std::string& text);
    void SendQuit();
    void Log(std::string_view text);

    SocketChannel& m_channel;
    LogSink& m_log;
    const std::atomic<int>& m_stop;
    Timing m_timing;
    ReplyBuffer m_reply;
};

}  // namespace kestrel
