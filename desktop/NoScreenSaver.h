#pragma once

#include "platform/ScreenSaver.h"

namespace kestrel {

// Where the desktop offers no screen saver, none ever runs and there is none to end.
class NoScreenSaver final : public ScreenSaver {
public:
    bool IsActive() override { return false; }
    void Close() override {}
};

}  // namespace kestrel
