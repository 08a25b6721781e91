#include "platform/WindowTimers.h"

#include <QTimer>

namespace kestrel {

WindowTimers::WindowTimers(std::function<void(int)> onTimer) : m_onTimer(std::move(onTimer)) {}

WindowTimers::~WindowTimers() = default;

bool WindowTimers::SetTimer(int id, int intervalMs) {
    if (intervalMs < 0) return false;
    auto& slot = m_timers[id];
    if (!slot) {
        slot = std::make_unique<QTimer>();
        QObject::connect(slot.get(), &QTimer::timeout, [this, id] { m_onTimer(id); });
    }
    slot->start(intervalMs);
    return true;
}

bool WindowTimers::KillTimer(int id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end()) return false;
    // The handler may be the one killing its own timer; delete later to stay out of its way.
    QTimer* timer = it->second.release();
    timer->stop();
    timer->deleteLater();
    m_timers.erase(it);
    return true;
}

bool WindowTimers::IsActive(int id) const {
    auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->isActive();
}

int WindowTimers::Interval(int id) const {
    auto it = m_timers.find(id);
    return it == m_timers.end() ? -1 : it->second->interval();
}

}  // namespace kestrel
