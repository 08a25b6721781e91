#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

#include <functional>

namespace kestrel::test {

// Run the event loop until cond() holds or timeoutMs passes; returns cond().
inline bool SpinUntil(const std::function<bool()>& cond, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!cond()) {
        if (clock.elapsed() > timeoutMs) return cond();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents();
        QThread::msleep(1);
    }
    return true;
}

// Run the event loop for a while (to show that something does not happen).
inline void SpinFor(int ms) {
    SpinUntil([] { return false; }, ms);
}

}  // namespace kestrel::test
