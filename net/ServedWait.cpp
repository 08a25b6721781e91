#include "net/ServedWait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <system_error>
#include <thread>

namespace kestrel {

void RunServingEvents(const std::function<void(const std::atomic<int>& stop)>& work) {
    std::atomic<int> stop{0};
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        work(stop);
        return;
    }

    QEventLoop loop;
    std::atomic<bool> done{false};
    std::thread worker;
    try {
        worker = std::thread([&] {
            work(stop);
            done = true;
            // The loop outlives this call: it is destroyed only after the join below, and a
            // quit that arrives after the loop has ended is dropped with it.
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        work(stop);
        return;
    }
    // The loop also ends when the whole program is told to quit; work is then asked to stop
    // and still waited for, since it is using the caller's socket.
    if (!done) loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!done) stop = 1;
    worker.join();
}

}  // namespace kestrel
