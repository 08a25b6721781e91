#include "platform/Timing.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace kestrel {

Timing Timing::Scaled(double factor) const {
    auto s = [factor](int ms) {
        return ms == 0 ? 0 : std::max(1, static_cast<int>(std::lround(ms * factor)));
    };
    Timing t = *this;
    t.pollSliceMs = s(pollSliceMs);
    t.newPassSliceMs = s(newPassSliceMs);
    t.mailFirstCheckMs = s(mailFirstCheckMs);
    t.newsFirstCheckMs = s(newsFirstCheckMs);
    t.minuteMs = s(minuteMs);
    t.workerStopWaitMs = s(workerStopWaitMs);
    t.ackTimeoutMs = s(ackTimeoutMs);
    t.memberRefreshMs = s(memberRefreshMs);
    t.saverPollMs = s(saverPollMs);
    t.saverAwayMs = s(saverAwayMs);
    t.awayReminderMs = s(awayReminderMs);
    t.reminderCloseMs = s(reminderCloseMs);
    t.exitPauseMs = s(exitPauseMs);
    t.readerRetryMs = s(readerRetryMs);
    t.acceptRetryMs = s(acceptRetryMs);
    t.idleConnectionMs = s(idleConnectionMs);
    t.imapIdleRenewMs = s(imapIdleRenewMs);
    t.imapIdleSliceMs = s(imapIdleSliceMs);
    t.imapRetryFirstMs = s(imapRetryFirstMs);
    return t;
}

bool WaitUntilClear(const std::atomic<int>& flag, int budgetMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(budgetMs);
    while (flag.load() != 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

const Timing& ProgramTiming() {
    static Timing timing;
    return timing;
}

}  // namespace kestrel
