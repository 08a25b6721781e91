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
#include "platform/Timing.h"
#include "res/Cp932.h"

// What the tests of the socket workers (mail check, news check, password change) have in
// common: the event log they write and the timing table they run on.
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
    std::vector<std::string> Texts() const {
        std::lock_guard guard(m_lock);
        return m_texts;
    }
    // The texts as UTF-8, for comparing with the Japanese fixed texts.
    std::vector<std::string> utf8() const {
        std::vector<std::string> out;
        for (const auto& t : Texts()) out.push_back(cp932ToUtf8(t));
        return out;
    }
    bool has(std::string_view text) const {
        const auto all = Texts();
        return std::find(all.begin(), all.end(), text) != all.end();
    }
    long count(std::string_view text) const {
        const auto all = Texts();
        return std::count(all.begin(), all.end(), text);
    }
    // Whether any text holds the given bytes anywhere.
    bool mentions(std::string_view bytes) const {
        for (const auto& t : Texts()) {
            if (t.find(bytes) != std::string::npos) return true;
        }
        return false;
    }

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_texts;
};

// Timing for workers that wait on real sockets: short slices, the described counts, and
// later checks far enough away that only the first one runs. Each area sets its own first
// check on top.
inline Timing WorkerTiming() {
    Timing t;
    t.pollSliceMs = 2;
    t.minuteMs = 3600000;
    t.workerStopWaitMs = 50;
    return t;
}

}  // namespace kestrel::test
