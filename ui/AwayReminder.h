#pragma once

namespace kestrel {

// The reminder shown while the user stays away: true when its "back to present" button was
// pressed, false when it closed by itself or was dismissed.
class AwayReminder {
public:
    virtual ~AwayReminder() = default;
    virtual bool Show() = 0;
};

}  // namespace kestrel
