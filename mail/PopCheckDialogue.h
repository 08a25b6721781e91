#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "mail/ReplyBuffer.h"
#include "mail/SeenMailBook.h"
#include "platform/Timing.h"

namespace kestrel {

class LogSink;
class SeenMailStore;
class SocketChannel;
namespace pop3 {
class UidlListing;
}

// One mail check over an open channel: greeting, USER, PASS, LAST when there is mail, QUIT.
// A server whose PASS reply gives no count is asked STAT; one that refuses LAST has its
// UIDL listing counted against the mail already read (given with UseSeenMail; without it
// such a check reports nothing). Every command and reply goes to the event log (the password
// only masked, a listing by its status line). Run gives the unread count to report, or
// nothing after a failure, a stop, or a LAST above the total. A server that refused USER,
// PASS or STAT still waits for a command and is sent QUIT, so it ends the session in order;
// after silence, a broken connection or a stop nothing more is sent.
class PopCheckDialogue {
public:
    PopCheckDialogue(SocketChannel& channel, LogSink& log, const std::atomic<int>& stop,
                     const Timing& timing);

    void UseSeenMail(SeenMailStore* seen, MailAccount account);

    std::optional<std::uint32_t> Run(std::string_view user, std::string_view password);

    // A step between the greeting and the first command (the upgrade to TLS); false ends the
    // check there, with nothing sent.
    void SetBeforeFirstCommand(std::function<bool()> step) {
        m_beforeFirstCommand = std::move(step);
    }

private:
    enum class Step { Ok, Failed, Stopped };

    // slices: the wait's budget, the ordinary one when 0.
    Step Await(bool stopTested, int slices = 0);
    Step AwaitListing(pop3::UidlListing& listing);
    std::optional<std::uint32_t> CountByUidl();
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
    SeenMailStore* m_seen = nullptr;
    MailAccount m_account;
    std::function<bool()> m_beforeFirstCommand;
};

}  // namespace kestrel
