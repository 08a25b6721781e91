#pragma once

#include <QObject>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/MessageEvent.h"
#include "platform/Timing.h"
#include "res/Ids.h"
#include "tests/fakes/ScriptedLineServer.h"
#include "tests/support/WorkerTestSupport.h"

namespace kestrel::test {

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

// Lets a scripted server past its holds from this (the user-interface) thread: a timer tick
// releases hold k only once the client has sent its k-th line, that is while the client waits
// for the reply to it. A dialogue that keeps the thread to itself while it waits never gets
// its replies.
class ReleaseOnTick {
public:
    ReleaseOnTick(ScriptedLineServer& server, std::size_t holds) {
        QObject::connect(&m_timer, &QTimer::timeout, [this, &server, holds] {
            if (m_released == holds || m_released > server.Lines().size()) return;
            server.Release();
            ++m_released;
        });
        m_timer.start(1);
    }
    std::size_t Released() const { return m_released; }

private:
    QTimer m_timer;
    std::size_t m_released = 0;
};

// The mail check's first check at once.
inline Timing FastTiming() {
    Timing t = WorkerTiming();
    t.mailFirstCheckMs = 1;
    return t;
}

}  // namespace kestrel::test
