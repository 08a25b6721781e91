#include "chat/PeerGuards.h"

#include <algorithm>

namespace kestrel {

namespace {

std::string KeyOf(std::string_view sender, unsigned number) {
    std::string key(sender);
    key += '#';
    key += std::to_string(number);
    return key;
}

}  // namespace

void RecentMessages::Expire(std::time_t now) {
    // A clock set back keeps what it has: the list stays bounded by its size alone.
    while (!m_order.empty() &&
           (now - m_order.front().first >= kKeptSeconds || m_order.size() > kMost)) {
        m_keys.erase(m_order.front().second);
        m_order.pop_front();
    }
}

bool RecentMessages::Seen(std::string_view sender, unsigned number, std::time_t now) {
    Expire(now);
    return m_keys.count(KeyOf(sender, number)) != 0;
}

void RecentMessages::Remember(std::string_view sender, unsigned number, std::time_t now) {
    std::string key = KeyOf(sender, number);
    if (!m_keys.insert(key).second) return;
    m_order.emplace_back(now, std::move(key));
    Expire(now);
}

bool MessageQuota::Take(Bucket& bucket, double burst, double perSecond, std::time_t now) {
    // A clock set back refills nothing, and never takes what was granted.
    if (now > bucket.last)
        bucket.tokens =
            std::min(burst, bucket.tokens + static_cast<double>(now - bucket.last) * perSecond);
    bucket.last = std::max(bucket.last, now);
    if (bucket.tokens < 1) return false;
    bucket.tokens -= 1;
    return true;
}

MessageQuota::Verdict MessageQuota::Ask(std::string_view sender, std::time_t now) {
    if (!m_allStarted) {
        m_allStarted = true;
        m_all.last = now;
    }
    auto it = m_senders.find(std::string(sender));
    if (it == m_senders.end()) {
        if (m_senders.size() >= kMostSenders) {
            // Forget the senders whose bucket has filled up again: they lose nothing by it.
            for (auto at = m_senders.begin(); at != m_senders.end();) {
                const double refill = static_cast<double>(now - at->second.last) * kSenderPerSecond;
                at = at->second.tokens + refill >= kSenderBurst ? m_senders.erase(at)
                                                                : std::next(at);
            }
            if (m_senders.size() >= kMostSenders)
                return m_all.dropping ? Verdict::Drop : Verdict::DropFirst;
        }
        it = m_senders.emplace(std::string(sender), Bucket{kSenderBurst, now, false}).first;
    }
    Bucket& own = it->second;
    Bucket probe = own;
    if (!Take(probe, kSenderBurst, kSenderPerSecond, now)) {
        own = probe;
        const bool first = !own.dropping;
        own.dropping = true;
        return first ? Verdict::DropFirst : Verdict::Drop;
    }
    if (!Take(m_all, kAllBurst, kAllPerSecond, now)) {
        own = probe;
        own.tokens += 1;  // not taken: the sender keeps its share
        const bool first = !m_all.dropping;
        m_all.dropping = true;
        return first ? Verdict::DropFirst : Verdict::Drop;
    }
    own = probe;
    own.dropping = false;
    m_all.dropping = false;
    return Verdict::Take;
}

bool Spacing::Due(Time now) {
    if (m_started && now - m_last < m_gap) return false;
    m_started = true;
    m_last = now;
    return true;
}

bool AnswerGate::Allow(std::string_view address, int kind, std::time_t now) {
    std::string key(address);
    key += '#';
    key += std::to_string(kind);
    const auto it = m_last.find(key);
    if (it != m_last.end()) {
        // A clock set back opens the gate rather than closing it for as long.
        if (now >= it->second && now - it->second < kSeconds) return false;
        it->second = now;
        return true;
    }
    if (m_last.size() >= kMost) {
        for (auto at = m_last.begin(); at != m_last.end();)
            at =
                now - at->second >= kSeconds || now < at->second ? m_last.erase(at) : std::next(at);
        if (m_last.size() >= kMost) return false;
    }
    m_last.emplace(std::move(key), now);
    return true;
}

}  // namespace kestrel
