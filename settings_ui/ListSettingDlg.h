#pragma once

#include "settings_ui/SettingsDlg.h"

class QListWidget;

namespace kestrel {

// A settings dialog whose value is a stored list: the list box is filled from it at opening
// and written back, every item followed by the separator, at OK.
class ListSettingDlg : public SettingsDlg {
    Q_OBJECT
protected:
    ListSettingDlg(MessageBoxes& boxes, const char* className, int resourceId,
                   const char* captionUtf8, const SettingKey& key, QWidget* parent);

    void Loaded() override;
    bool AfterTake(ViewSettings& taken) override;

    const SettingKey& m_key;
    QListWidget* m_list = nullptr;
};

}  // namespace kestrel
