#pragma once

// What the peer chat needs of the program beside its socket: where its results and log lines
// go, the message boxes, the speaker and the seat notices. The windows half provides the real
// speaker and notices; tests record them.

#include <functional>
#include <string>
#include <string_view>

class QObject;

namespace kestrel {

class Clock;
class LogSink;
class MessageBoxes;

class Beeper {
public:
    virtual ~Beeper() = default;
    // Sound a tone; returns at once.
    virtual void Beep(int frequencyHz, int durationMs) = 0;
};

class SeatNotifier {
public:
    virtual ~SeatNotifier() = default;
    // Open a new seat notice with the text (CP932); earlier ones stay open.
    virtual void ShowSeatNotice(const std::string& text) = 0;
};

struct PeerChatContext {
    QObject* view = nullptr;  // member events and received messages are posted here
    LogSink* log = nullptr;   // event-log lines written later, through the main frame
    MessageBoxes* boxes = nullptr;
    Beeper* beeper = nullptr;
    SeatNotifier* seatNotices = nullptr;
    // Event-log lines written at once; unset: the event log's own writer (OnWriteLog).
    std::function<void(std::string_view)> writeLog;
    // The time of the seat notices and of the flood guards; unset: the system's clock.
    const Clock* clock = nullptr;
};

struct ChatSettings {
    int chatPort = 2425;  // PeerChat/ChatPort, read at creation
    // PeerChat/BroadIPs as it stands at the time of a send.
    std::function<std::string()> broadIPs;
    // Speak UTF-8 with the peers that can: the entry, answer and absence packets announce it
    // and carry the names as UTF-8 lines, and messages to such a member go in UTF-8. Off, the
    // packets are the plain CP932 ones.
    bool utf8 = false;
};

}  // namespace kestrel
