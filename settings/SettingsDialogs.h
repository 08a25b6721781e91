#pragma once

#include <span>

#include "settings/SettingKeys.h"

namespace kestrel {

struct ViewSettings;

// The seven settings dialogs as the view's flows see them.
enum class SettingsDialogKind {
    Environment,    // 130
    Timer,          // 133
    Sound,          // 141
    UserInterface,  // 143
    Communicator,   // 138
    Broadcast,      // 155
    Places,         // 146
};

// Runs one dialog modally on a copy of the view's settings: true on OK with the dialog's
// values in `values`; false on Cancel, and then `values` is as it was. The real dialogs are
// Qt windows; view tests answer from a script.
class SettingsDialogs {
public:
    virtual ~SettingsDialogs() = default;
    virtual bool Run(SettingsDialogKind kind, ViewSettings& values, bool serviceRunning) = 0;
};

// The stored values a dialog edits; the view takes exactly these back after OK.
std::span<const SettingKey* const> DialogKeys(SettingsDialogKind kind);

}  // namespace kestrel
