#pragma once

#include "settings_ui/SettingsDlg.h"

namespace kestrel {

// Dialog 133: the news and mail intervals (0 to 60 minutes, news at least 3 on OK) and the
// days until the password reminder.
class CTimerDlg final : public SettingsDlg {
    Q_OBJECT
public:
    explicit CTimerDlg(MessageBoxes& boxes, QWidget* parent = nullptr);

protected:
    bool AfterTake(ViewSettings& taken) override;

private:
    QLineEdit* m_news;
};

}  // namespace kestrel
