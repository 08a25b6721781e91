#pragma once

#include <memory>

#include "readers/DdeReaderLauncher.h"

namespace kestrel {

// The launcher one popup uses on the desktop: conversations on the session bus, programs
// started by command line. It owns its bus client and desktop operations.
std::unique_ptr<ReaderLauncher> MakeDesktopReaderLauncher(
    DdeReaderLauncher::SettingsSource settings, MessageBoxes& boxes);

}  // namespace kestrel
