#include "news/NntpReplyReader.h"

#include <algorithm>

#include "net/SocketChannel.h"
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
    char chunk[kAreaSize];
    for (int slice = 0; slice < timing.pollSlices; ++slice) {
        if (closing.load() != 0) {
            result.outcome = Outcome::Stopped;
            return result;
        }
        channel.WaitReadable(timing.pollSliceMs);
        result.lastRead = channel.Receive(chunk, static_cast<int>(sizeof chunk));
        if (result.lastRead > 0) {
            m_pending.append(chunk, static_cast<std::size_t>(result.lastRead));
            if (TakeLine()) {
                result.outcome = Outcome::Reply;
                return result;
            }
        }
    }
    result.lastError = channel.GetLastError();
    if (TakePartial()) result.outcome = Outcome::Reply;
    return result;
}

}  // namespace kestrel
