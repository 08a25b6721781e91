#pragma once

#include <QObject>

#include <algorithm>
#include <deque>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/EventLog.h"
#include "news/NntpChannel.h"
#include "platform/MessageEvent.h"
#include "platform/ProgramDir.h"
#include "platform/Timing.h"
#include "res/Cp932.h"
#include "res/Ids.h"

namespace kestrel::test {

// Keeps every event-log text of the news check, from any thread.
class NewsLog final : public LogSink {
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

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_texts;
};

// Stands in for the main frame: keeps the WM_NEW_NEWS lists it is posted.
class NewsFrame final : public QObject {
public:
    void customEvent(QEvent* e) override {
        if (auto* m = asMessage(e); m && m->message() == WM_NEW_NEWS) {
            auto list = m->takeFirst<std::string>();
            reports.push_back(list ? *list : std::string("<no payload>"));
        }
    }
    std::vector<std::string> reports;
};

// Replaces the program's timing table for one test.
class TimingOverride {
public:
    explicit TimingOverride(const Timing& timing) : m_saved(ProgramTiming()) {
        ProgramTiming() = timing;
    }
    ~TimingOverride() { ProgramTiming() = m_saved; }
    TimingOverride(const TimingOverride&) = delete;
    TimingOverride& operator=(const TimingOverride&) = delete;

private:
    Timing m_saved;
};

// Short slices with the described counts; the first check at once, later ones far away.
inline Timing NewsTiming() {
    Timing t = ProgramTiming();
    t.pollSliceMs = 2;
    t.newsFirstCheckMs = 1;
    t.minuteMs = 3600000;
    t.workerStopWaitMs = 50;
    return t;
}

inline std::string WatchListPath() {
    return ProgramFile("newschck.lst");
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A server in a box for the reply reader and the dialogue: replies[0] arrives first (the
// greeting) and replies[i] after the i-th send, each as the given chunks, one per read.
// With nothing pending a read fails as a non-blocking read with nothing there does.
class FakeNntpChannel final : public NntpChannel {
public:
    static constexpr int kWouldBlock = 11;

    explicit FakeNntpChannel(std::vector<std::vector<std::string>> replies)
        : m_replies(std::move(replies)) {
        Deliver(0);
    }
    int Send(const char* data, int length) override {
        const std::size_t index = sent.size();
        sent.emplace_back(data, static_cast<std::size_t>(length));
        Deliver(index + 1);
        return length;
    }
    int WaitReadable(int) override {
        ++waits;
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
