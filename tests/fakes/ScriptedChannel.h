#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/SocketChannel.h"

namespace kestrel::test {

// One reply of a scripted server: its chunks, one per read, and when it becomes readable
// after it is due: at the atWait-th wait (1, the first: at once; 0: never).
struct ScriptedReply {
    std::vector<std::string> chunks;
    int atWait = 1;

    ScriptedReply() = default;
    ScriptedReply(std::initializer_list<std::string> c) : chunks(c) {}
    ScriptedReply(std::vector<std::string> c) : chunks(std::move(c)) {}  // NOLINT: a list of chunks
};

// A reply of one chunk that becomes readable only at the wait-th wait after it is due
// (0: never).
inline ScriptedReply AtWait(std::string text, int wait) {
    ScriptedReply reply{std::move(text)};
    reply.atWait = wait;
    return reply;
}
using Replies = std::vector<ScriptedReply>;

// A server in a box for the dialogue logic: replies[0] is due first (the greeting), and
// replies[i] is due after the i-th send. Nothing pending: reads fail as a non-blocking read
// with nothing there does. Every wait's time-out is kept, so a test can count the slices of a
// budget without anyone waiting real time.
class ScriptedChannel final : public SocketChannel {
public:
    static constexpr int kWouldBlock = 11;
    static constexpr int kBrokenPipe = 32;

    explicit ScriptedChannel(Replies replies) : m_replies(std::move(replies)) { Due(0); }

    int Send(const char* data, int length) override {
        const std::size_t index = sent.size();
        sent.emplace_back(data, static_cast<std::size_t>(length));
        if (failSendAt && *failSendAt == index) {
            m_error = kBrokenPipe;
            return -1;
        }
        Due(index + 1);
        return length;
    }
    int WaitReadable(int timeoutMs) override {
        waitTimeouts.push_back(timeoutMs);
        ++waits;
        if (m_due && m_due->atWait > 0 && ++m_waited >= m_due->atWait) Deliver();
        if (onWait) onWait(waits);
        return m_pending.empty() ? 0 : 1;
    }
    int Receive(char* buffer, int size) override {
        if (m_pending.empty()) {
            m_error = kWouldBlock;
            return -1;
        }
        std::string& chunk = m_pending.front();
        const std::size_t n = std::min(chunk.size(), static_cast<std::size_t>(size));
        std::copy_n(chunk.data(), n, buffer);
        chunk.erase(0, n);
        if (chunk.empty()) m_pending.pop_front();
        m_error = 0;
        return static_cast<int>(n);
    }
    int GetLastError() override { return m_error; }

    std::vector<std::string> sent;
    std::optional<std::size_t> failSendAt;
    std::function<void(int)> onWait;
    int waits = 0;
    std::vector<int> waitTimeouts;

private:
    // A reply that is due replaces one still on its way.
    void Due(std::size_t index) {
        m_due = index < m_replies.size() ? &m_replies[index] : nullptr;
        m_waited = 0;
        if (m_due && m_due->atWait == 1) Deliver();
    }
    void Deliver() {
        for (const auto& chunk : m_due->chunks) {
            if (!chunk.empty()) m_pending.push_back(chunk);
        }
        m_due = nullptr;
    }

    Replies m_replies;
    const ScriptedReply* m_due = nullptr;
    int m_waited = 0;
    std::deque<std::string> m_pending;
    int m_error = 0;
};

}  // namespace kestrel::test
