#include "settings_ui/CUserInterfaceDlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>

#include "platform/MessageBoxes.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsSettingsDlg.h"
#include "ui/DialogKit.h"

namespace kestrel {

CUserInterfaceDlg::CUserInterfaceDlg(MessageBoxes& boxes, QWidget* parent)
    : SettingsDlg(boxes, "CUserInterfaceDlg", IDD_USER_INTERFACE, txt::kUserInterfaceCaption,
                  parent),
      m_autostart(MakeCheck(1036, txt::kAutostartCheck)),
      m_entry(QCoreApplication::applicationFilePath()) {
    auto* rows = new QGridLayout;
    QCheckBox* icon = MakeCheck(1034, txt::kBeIconCheck);
    QCheckBox* popup = MakeCheck(1035, txt::kBePopupCheck);
    rows->addWidget(icon, 0, 0);
    rows->addWidget(popup, 1, 0);
    rows->addWidget(m_autostart, 2, 0);
    SetRowsAndButtons(this, rows);
    m_binder.Check(icon, key::BeIcon);
    m_binder.Check(popup, key::BePopup);
    m_autostart->setChecked(m_entry.Enabled());
}

void CUserInterfaceDlg::Loaded() {
    m_autostart->setChecked(m_entry.Enabled());
}

bool CUserInterfaceDlg::AfterTake(ViewSettings&) {
    const bool wanted = m_autostart->isChecked();
    if (wanted == m_entry.Enabled()) return true;
    if (m_entry.SetEnabled(wanted)) return true;
    m_boxes.Show(sjis(txt::kAutostartFailed), sjis(txt::kSettingsCaution), BoxIcon::Stop,
                 BoxButtons::Ok);
    return false;
}

}  // namespace kestrel
