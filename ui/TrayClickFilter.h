#pragma once

#include <cstdint>
#include <optional>

namespace kestrel {

// What the notification area reports for a mouse action on the icon.
enum class TrayClick { Single, Double, Context, Middle, Other };

// Turns the notification area's reports into the two mouse messages the frame acts on:
// WM_LBUTTONDBLCLK and WM_RBUTTONDOWN. Trays differ: some report a double click as a single
// click followed by a double click (and sometimes another single click after it), others
// only ever report single clicks. A double click is delivered exactly once either way, and
// the single clicks it is made of are never delivered on their own.
class TrayClickFilter {
public:
    explicit TrayClickFilter(int doubleClickMs);

    // nowMs: any monotonic clock in milliseconds. Returns the mouse message to hand to the
    // frame, or nothing.
    std::optional<unsigned> Feed(TrayClick click, std::int64_t nowMs);

private:
    int m_interval;
    // Once a tray has reported a double click itself, pairs of single clicks are no longer
    // taken for one.
    bool m_reportsDoubles = false;
    std::optional<std::int64_t> m_lastSingle;
};

}  // namespace kestrel
