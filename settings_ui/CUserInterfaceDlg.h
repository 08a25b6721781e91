#pragma once

#include "desktop/AutostartEntry.h"
#include "settings_ui/SettingsDlg.h"

namespace kestrel {

// Dialog 143: hide to the tray after the log-in, and the notice popups; and whether the
// program starts with the desktop session, which is the autostart entry itself rather than
// a stored value.
class CUserInterfaceDlg final : public SettingsDlg {
    Q_OBJECT
public:
    explicit CUserInterfaceDlg(MessageBoxes& boxes, QWidget* parent = nullptr);

protected:
    void Loaded() override;
    bool AfterTake(ViewSettings& taken) override;

private:
    QCheckBox* m_autostart;
    AutostartEntry m_entry;
};

}  // namespace kestrel
