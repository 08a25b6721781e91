#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "mail/ImapResponse.h"
#include "platform/Timing.h"

namespace kestrel {

class LogSink;
class SocketChannel;
class TlsChannel;

// One IMAP session over an open channel: greeting, STARTTLS when asked, LOGIN (AUTHENTICATE
// PLAIN where LOGIN cannot carry the account or is disabled), STATUS INBOX (UNSEEN), LOGOUT,
// and the IDLE that waits for the server's word of new mail. Every command and response goes
// to the event log, the password only masked. A wait runs in slices with a stop test in each,
// so a stop ends any step within one slice.
class ImapDialogue {
public:
    enum class Outcome {
        Ok,
        Failed,    // no answer, closed, broken, or a refusal that is no verdict on the account
        Stopped,   // the program is quitting
        NotReady,  // the greeting was no OK
        Rejected,  // the server refused the user name or password
        Busy,      // the server refused for the moment ([UNAVAILABLE], [INUSE], [LIMIT])
        Insecure,  // TLS could not be had, or the password would go in clear: nothing sent
    };
    enum class IdleEnd {
        Stopped,
        Dropped,  // the connection closed or the server said BYE: worth reopening
        Failed,   // no answer, a broken response, a refused EXAMINE or recount
        Refused,  // the server refused IDLE itself: the timer does the counting
    };

    ImapDialogue(SocketChannel& channel, LogSink& log, const std::atomic<int>& stop,
                 const Timing& timing);

    // The TLS layer of the channel (refusals are recorded on it, so the check reports them
    // as TLS failures); with startTls the session is upgraded right after the greeting.
    void UseTls(TlsChannel* tls, bool startTls) {
        m_tls = tls;
        m_startTls = startTls;
    }

    Outcome LogIn(std::string_view user, std::string_view password);
    // The unread count of INBOX; nothing after a failure (logged).
    std::optional<std::uint32_t> CountUnseen();
    void LogOut();
    bool Offers(std::string_view capability) const;

    // Watch INBOX: examine it, report its count, then IDLE, reporting a new count whenever the
    // server tells of a change, and renewing the IDLE every renewMs. Returns when stopped or
    // when the session cannot go on.
    IdleEnd Idle(const std::function<void(std::uint32_t)>& report, int renewMs);

    // The text of the last completion, for a box.
    const std::string& LastText() const { return m_lastText; }

private:
    enum class Read { Got, NoAnswer, Closed, Broken, Stopped };

    // The next response within slicesLeft slices (used up as they pass) of sliceMs each
    // (0: the reply slice).
    Read Receive(imap::Response& out, int& slicesLeft, int sliceMs = 0);
    // Responses up to the completion of the last command sent; untagged ones are noted.
    Read Complete(imap::Response& done, int slices,
                  const std::function<void(const imap::Response&)>& untagged = {});
    bool Send(std::string_view command, std::string_view logged);
    // A new tag and the command line under it.
    std::string Tagged(std::string_view command);
    // The failure a read ended in, logged.
    Outcome Failure(Read read);
    bool AskCapabilities();
    Outcome StartTls();
    Outcome Authenticate(std::string_view user, std::string_view password, bool loginAllowed);
    Outcome Refuse(const char* why);
    void Note(const imap::Response& r);
    void Log(std::string_view text);

    SocketChannel& m_channel;
    LogSink& m_log;
    const std::atomic<int>& m_stop;
    Timing m_timing;
    TlsChannel* m_tls = nullptr;
    bool m_startTls = false;
    imap::ResponseReader m_reader;
    std::optional<std::set<std::string>> m_capabilities;
    unsigned m_nextTag = 1;
    std::string m_tag;
    std::string m_lastText;
    int m_lastRead = -1;
    int m_lastError = 0;
    bool m_ended = false;    // the session is over: nothing more goes out
    bool m_changed = false;  // the mailbox changed since the last count
};

}  // namespace kestrel
