#pragma once

#include "settings_ui/SettingsDlg.h"

namespace kestrel {

// Dialog 138: peer chat on or off, its port and the nickname. The member server controls are
// kept from the old layout but stay grey: there is no member server to use.
class CCommunicatorDlg final : public SettingsDlg {
    Q_OBJECT
public:
    explicit CCommunicatorDlg(MessageBoxes& boxes, QWidget* parent = nullptr);

protected:
    bool AfterTake(ViewSettings& taken) override;
    void Loaded() override { UpdateEnabling(); }

private:
    void UpdateEnabling();

    QCheckBox* m_chat;
    QCheckBox* m_memberServer;
    QLineEdit* m_serverName;
    QLineEdit* m_serverPort;
    QLineEdit* m_chatPort;
    QLineEdit* m_nickname;
};

}  // namespace kestrel
