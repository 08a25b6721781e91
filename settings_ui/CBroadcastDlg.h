#pragma once

#include "settings_ui/ListSettingDlg.h"

namespace kestrel {

// Dialog 155: the broadcast addresses of other networks, kept sorted. An address is added
// only when it passes the address check; it is kept as typed.
class CBroadcastDlg final : public ListSettingDlg {
    Q_OBJECT
public:
    explicit CBroadcastDlg(MessageBoxes& boxes, QWidget* parent = nullptr);

private:
    void Add();
    void Delete();

    QLineEdit* m_address;
};

}  // namespace kestrel
