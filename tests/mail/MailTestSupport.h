#pragma once

#include <QObject>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mail/Pop3Channel.h"
#include "net/EventLog.h"
#include "platform/MessageEvent.h"
#include "platform/Timing.h"
#include "res/Ids.h"

namespace kestrel::test {

// Keeps every event-log text, from any thread.
class RecordingLogSink final : public LogSink {
public:
    void PostLog(std::string_view text) override {
        std::lock_guard guard(m_lock);
        m_texts.emplace_back(text);
    }
    void clear() {
        std::lock_guard guard(m_lock);
        m_texts.clear();
    }
    std::vector<std::string> texts() const {
        std::lock_guard guard(m_lock);
        return m_texts;
    }
    bool has(std::string_view text) const {
        const auto all = texts();
        return std::find(all.begin(), all.end(), text) != all.end();
    }
    // Whether any text holds the given bytes anywhere.
    bool mentions(std::string_view bytes) const {
        for (const auto& t : texts()) {
            if (t.find(bytes) != std::string::npos) return true;
        }
        return false;
    }

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_texts;
};

// Stands in for the main frame: keeps the WM_UNREAD_MAIL counts it is posted.
class UnreadReceiver final : public QObject {
public:
    void customEvent(QEvent* e) override {
        if (auto* m = asMessage(e); m && m->message() == WM_UNREAD_MAIL) {
            counts.push_back(static_cast<std::uint32_t>(m->wParam()));
        }
    }
    std::vector<std::uint32_t> counts;
};

// Replaces the program's timing table for one test.
class ScopedTiming {
public:
    explicit ScopedTiming(const Timing& timing) : m_saved(ProgramTiming()) {
        ProgramTiming() = timing;
    }
    ~ScopedTiming() { ProgramTiming() = m_saved; }
    ScopedTiming(const ScopedTiming&) = delete;
    ScopedTiming& operator=(const ScopedTiming&) = delete;

private:
    Timing m_saved;
};

// A server in a box for the dialogue logic: replies[0] arrives first (the greeting), and
// replies[i] arrives after the i-th send, each as the given chunks, one chunk per read.
// Nothing pending: reads fail as a non-blocking read with nothing there does.
using Replies = std::vector<std::vector<std::string>>;

class FakeChannel final : public Pop3Channel {
public:
    static constexpr int kWouldBlock = 11;

    explicit FakeChannel(std::vector<std::vector<std::string>> replies)
        : m_replies(std::move(replies)) {
        Deliver(0);
    }

    int Send(const char* data, int length) override {
        const std::size_t index = sent.size();
        sent.emplace_back(data, static_cast<std::size_t>(length));
        if (failSendAt && *failSendAt == index) {
            m_error = 32;
            return -1;
        }
        Deliver(index + 1);
        return length;
    }
    int WaitReadable(int) override {
        ++waits;
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

private:
    void Deliver(std::size_t index) {
        if (index >= m_replies.size()) return;
        for (auto& chunk : m_replies[index]) {
            if (!chunk.empty()) m_pending.push_back(chunk);
        }
    }

    std::vector<std::vector<std::string>> m_replies;
    std::deque<std::string> m_pending;
    int m_error = 0;
};

// Timing for tests that wait on real sockets: short slices, the described counts.
inline Timing FastTiming() {
    Timing t = ProgramTiming();
    t.pollSliceMs = 2;
    t.mailFirstCheckMs = 1;
    t.minuteMs = 3600000;
    t.workerStopWaitMs = 50;
    return t;
}

}  // namespace kestrel::test
