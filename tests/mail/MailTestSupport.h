#pragma once

#include <QObject>

#include <cstdint>
#include <vector>

#include "platform/MessageEvent.h"
#include "platform/Timing.h"
#include "res/Ids.h"
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

// The mail check's first check at once.
inline Timing FastTiming() {
    Timing t = WorkerTiming();
    t.mailFirstCheckMs = 1;
    return t;
}

}  // namespace kestrel::test
