#pragma once

#include <functional>
#include <map>
#include <memory>

class QTimer;

namespace kestrel {

// Per-object timers with ids, as a window has them: setting an id again replaces the earlier
// timer, each expiry calls the handler with the id until the timer is killed. Lives on and is
// used from the thread that owns the object (the user-interface thread).
class WindowTimers {
public:
    explicit WindowTimers(std::function<void(int)> onTimer);
    ~WindowTimers();
    WindowTimers(const WindowTimers&) = delete;
    WindowTimers& operator=(const WindowTimers&) = delete;

    bool SetTimer(int id, int intervalMs);
    bool KillTimer(int id);
    bool IsActive(int id) const;
    int Interval(int id) const;  // -1 when not set

private:
    std::function<void(int)> m_onTimer;
    std::map<int, std::unique_ptr<QTimer>> m_timers;
};

}  // namespace kestrel
