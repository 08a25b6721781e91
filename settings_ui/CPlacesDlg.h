#pragma once

#include "settings_ui/ListSettingDlg.h"

namespace kestrel {

// Dialog 146: the whereabouts places, in the order they were added. Enter adds the typed
// place; a place holding the list's separator is refused, since it would come back as two.
class CPlacesDlg final : public ListSettingDlg {
    Q_OBJECT
public:
    explicit CPlacesDlg(MessageBoxes& boxes, QWidget* parent = nullptr);

private:
    void Add();
    void Delete();

    QLineEdit* m_place;
};

}  // namespace kestrel
