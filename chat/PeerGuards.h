#pragma once

// What keeps a peer on the network from flooding or misleading the chat: the messages already
// taken (a resend after a lost acknowledgement is not taken twice), the quota of messages a
// sender may have taken, and the spacing of answers to one address. Pure code: the peer chat
// asks them with the time of its clock.

#include <chrono>
#include <cstddef>
#include <ctime>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace kestrel {

// The messages taken in the last ten minutes, by sender and packet number. IP Messenger
// clients send a message again with the same number when its acknowledgement is lost.
class RecentMessages {
public:
    static constexpr std::time_t kKeptSeconds = 600;
    // The oldest is forgotten beyond this many.
    static constexpr std::size_t kMost = 4096;

    // True when this sender's message with this number was taken within the time kept.
    bool Seen(std::string_view sender, unsigned number, std::time_t now);
    void Remember(std::string_view sender, unsigned number, std::time_t now);
    std::size_t Size() const { return m_keys.size(); }

private:
    void Expire(std::time_t now);

    std::deque<std::pair<std::time_t, std::string>> m_order;
    std::unordered_set<std::string> m_keys;
};

// How many messages are taken: from one sender a burst of a few, then one every couple of
// seconds; from everyone together a larger burst, then a few a second. What is over is
// dropped without an acknowledgement, so the sender learns that it did not arrive.
class MessageQuota {
public:
    static constexpr double kSenderBurst = 10;
    static constexpr double kSenderPerSecond = 0.5;
    static constexpr double kAllBurst = 100;
    static constexpr double kAllPerSecond = 20;
    // Senders remembered at once; beyond it the quietest are forgotten.
    static constexpr std::size_t kMostSenders = 4096;

    enum class Verdict {
        Take,
        // Dropped, and the first drop since this sender's (or everyone's) last taken message:
        // worth one log line.
        DropFirst,
        Drop,
    };
    Verdict Ask(std::string_view sender, std::time_t now);

private:
    struct Bucket {
        double tokens = 0;
        std::time_t last = 0;
        bool dropping = false;
    };
    static bool Take(Bucket& bucket, double burst, double perSecond, std::time_t now);

    std::unordered_map<std::string, Bucket> m_senders;
    Bucket m_all{kAllBurst, 0, false};
    bool m_allStarted = false;
};

// At most one answer of a kind to one address every few seconds: a flood of queries from
// one address, or from many forged ones, is not answered packet for packet.
class AnswerGate {
public:
    static constexpr std::time_t kSeconds = 2;
    // Addresses remembered at once; when all are recent, a new address gets no answer.
    static constexpr std::size_t kMost = 4096;

    bool Allow(std::string_view address, int kind, std::time_t now);

private:
    std::unordered_map<std::string, std::time_t> m_last;
};

// Something done at most once in a stretch of time, as the beep of arriving messages: a flood
// of them is one beep every few seconds, not a beep each.
class Spacing {
public:
    using Time = std::chrono::steady_clock::time_point;
    explicit Spacing(std::chrono::milliseconds gap) : m_gap(gap) {}
    // True (and the stretch starts anew) when the last time was at least the gap ago.
    bool Due(Time now = std::chrono::steady_clock::now());

    static constexpr std::chrono::milliseconds kMessageBeep{3000};

private:
    std::chrono::milliseconds m_gap;
    bool m_started = false;
    Time m_last{};
};

}  // namespace kestrel
