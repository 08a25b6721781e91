#include "news/NntpReplyReader.h"

#include <algorithm>

#include "net/ReplyPoll.h"
#include "platform/Timing.h"

namespace kestrel {

bool NntpReplyReader::TakeLine() {
    for (;;) {
        const std::size_t end = m_pending.find('\n');
        if (m_skipRest) {
            if (end == std::string::npos) {
                m_pending.clear();
                return false;
            }
            m_pending.erase(0, end + 1);
            m_skipRest = false;
            continue;
        }
        if (m_cut) {
            if (end == std::string::npos) {
                m_pending.clear();
                return false;
            }
            m_pending.erase(0, end + 1);
            m_cut = false;
            return true;
        }
        if (end == std::string::npos) {
            // Keep no more than the area holds; the rest of the line is dropped as it comes.
            if (m_pending.size() > kMaxText) {
                m_reply = m_pending.substr(0, kMaxText);
                m_pending.clear();
                m_cut = true;
            }
            return false;
        }
        m_reply = m_pending.substr(0, std::min(end + 1, kMaxText));
        m_pending.erase(0, end + 1);
        return true;
    }
}

bool NntpReplyReader::TakePartial() {
    if (!m_cut && m_pending.empty()) return false;
    if (!m_cut) m_reply = m_pending;
    m_pending.clear();
    m_cut = false;
    // The line's rest, should it come after all, is no reply of its own.
    m_skipRest = true;
    return true;
}

NntpReplyReader::Result NntpReplyReader::Read(SocketChannel& channel,
                                              const std::atomic<int>& closing,
                                              const Timing& timing) {
    m_reply.clear();
    Result result;
    if (TakeLine()) {
        result.outcome = Outcome::Reply;
        result.lastRead = static_cast<int>(m_reply.size());
        return result;
    }
    const PollResult poll = PollForReply(channel, &closing, timing.pollSlices, timing.pollSliceMs,
                                         kAreaSize, [this](const char* data, std::size_t length) {
                                             m_pending.append(data, length);
                                             return TakeLine();
                                         });
    result.lastRead = poll.lastRead;
    if (poll.outcome == PollOutcome::Stopped) {
        result.outcome = Outcome::Stopped;
        return result;
    }
    if (poll.outcome == PollOutcome::Taken) {
        result.outcome = Outcome::Reply;
        return result;
    }
    result.lastError = poll.lastError;
    if (TakePartial()) result.outcome = Outcome::Reply;
    return result;
}

}  // namespace kestrel
