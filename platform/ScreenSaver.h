#pragma once

namespace kestrel {

// The desktop's screen saver as the presence watch sees it. Both calls return at once: the
// answer of IsActive may be up to one poll old, which the 20-second switch to away does not
// notice, and Close is fire-and-forget.
class ScreenSaver {
public:
    virtual ~ScreenSaver() = default;
    // Whether a screen saver runs, as last learnt; asks again in the background.
    virtual bool IsActive() = 0;
    // End a running screen saver; nothing when none is known.
    virtual void Close() = 0;
};

}  // namespace kestrel
