#include "ui/TrayClickFilter.h"

#include "res/Ids.h"

namespace kestrel {

TrayClickFilter::TrayClickFilter(int doubleClickMs) : m_interval(doubleClickMs) {}

std::optional<unsigned> TrayClickFilter::Feed(TrayClick click, std::int64_t nowMs) {
    switch (click) {
        case TrayClick::Context:
            m_lastSingle.reset();
            return WM_RBUTTONDOWN;
        case TrayClick::Double:
            // From now on the single clicks around a double click are only its presses and
            // releases.
            m_reportsDoubles = true;
            m_lastSingle.reset();
            return WM_LBUTTONDBLCLK;
        case TrayClick::Single:
            if (m_reportsDoubles) return std::nullopt;
            if (m_lastSingle && nowMs >= *m_lastSingle && nowMs - *m_lastSingle <= m_interval) {
                m_lastSingle.reset();
                return WM_LBUTTONDBLCLK;
            }
            m_lastSingle = nowMs;
            return std::nullopt;
        case TrayClick::Middle:
        case TrayClick::Other:
            m_lastSingle.reset();
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace kestrel
