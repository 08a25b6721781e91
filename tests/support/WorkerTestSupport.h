#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/EventLog.h"
#include "net/SocketChannel.h"
#include "platform/Timing.h"
#include "res/Cp932.h"

// What the tests of the socket workers (mail check, news check, password change) have in
// common: the event log they write, the timing table they run on and a scripted server.
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
    // The texts as UTF-8, for comparing with the Japanese fixed texts.
    std::vector<std::string> utf8() const {
        std::vector<std::string> out;
        for (const auto& t : texts()) out.push_back(cp932ToUtf8(t));
        return out;
    }
    bool has(std::string_view text) const {
        const auto all = texts();
        return std::find(all.begin(), all.end(), text) != all.end();
    }
    long count(std::string_view text) const {
        const auto all = texts();
        return std::count(all.begin(), all.end(), text);
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

// Timing for workers that wait on real sockets: short slices, the described counts, and
// later checks far enough away that only the first one runs. Each area sets its own first
// check on top.
inline Timing WorkerTiming() {
    Timing t = ProgramTiming();
    t.pollSliceMs = 2;
    t.minuteMs = 3600000;
    t.workerStopWaitMs = 50;
    return t;
}

// A server in a box for the dialogue logic: replies[0] arrives first (the greeting), and
// replies[i] arrives after the i-th send, each as the given chunks, one chunk per read.
// Nothing pending: reads fail as a non-blocking read with nothing there does.
using Replies = std::vector<std::vector<std::string>>;

class FakeChannel final : public SocketChannel {
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

}  // namespace kestrel::test
