#include "settings_ui/CUserInterfaceDlg.h"

#include <QCheckBox>
#include <QGridLayout>

#include "res/Ids.h"
#include "res/TextsSettingsDlg.h"
#include "ui/DialogKit.h"

namespace kestrel {

CUserInterfaceDlg::CUserInterfaceDlg(MessageBoxes& boxes, QWidget* parent)
    : SettingsDlg(boxes, "CUserInterfaceDlg", IDD_USER_INTERFACE, txt::kUserInterfaceCaption,
                  parent) {
    auto* rows = new QGridLayout;
    QCheckBox* icon = MakeCheck(1034, txt::kBeIconCheck);
    QCheckBox* popup = MakeCheck(1035, txt::kBePopupCheck);
    rows->addWidget(icon, 0, 0);
    rows->addWidget(popup, 1, 0);
    SetRowsAndButtons(this, rows);
    m_binder.Check(icon, key::BeIcon);
    m_binder.Check(popup, key::BePopup);
}

}  // namespace kestrel
