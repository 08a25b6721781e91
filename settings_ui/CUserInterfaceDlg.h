#pragma once

#include "settings_ui/SettingsDlg.h"

namespace kestrel {

// Dialog 143: hide to the tray after the log-in, and the notice popups.
class CUserInterfaceDlg final : public SettingsDlg {
    Q_OBJECT
public:
    explicit CUserInterfaceDlg(MessageBoxes& boxes, QWidget* parent = nullptr);
};

}  // namespace kestrel
