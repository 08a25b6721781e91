#include "settings_ui/CTimerDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "platform/MessageBoxes.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsSettingsDlg.h"
#include "ui/DialogKit.h"

namespace kestrel {

CTimerDlg::CTimerDlg(MessageBoxes& boxes, QWidget* parent)
    : SettingsDlg(boxes, "CTimerDlg", IDD_TIMER, txt::kTimerCaption, parent) {
    auto* rows = new QGridLayout;
    m_news = MakeEdit(1003);
    QLineEdit* mail = MakeEdit(1004);
    QLineEdit* days = MakeEdit(1005);
    const std::tuple<const char*, QLineEdit*, const char*> fields[] = {
        {txt::kTimerNewsLabel, m_news, txt::kUnitMinutes},
        {txt::kTimerMailLabel, mail, txt::kUnitMinutes},
        {txt::kTimerDaysLabel, days, txt::kUnitDays}};
    for (int row = 0; const auto& [label, edit, unit] : fields) {
        rows->addWidget(new QLabel(QString::fromUtf8(label)), row, 0);
        rows->addWidget(edit, row, 1);
        rows->addWidget(new QLabel(QString::fromUtf8(unit)), row, 2);
        edit->setMaximumWidth(DialogUnits(font()).X(40));
        ++row;
    }
    SetRowsAndButtons(this, rows);

    m_binder.Number(m_news, key::NewsTimer, 0, 60);
    m_binder.Number(mail, key::MailTimer, 0, 60);
    m_binder.Number(days, key::CheckDays);
}

bool CTimerDlg::AfterTake(ViewSettings& taken) {
    if (taken.NewsTimer >= 3) return true;
    m_boxes.Show(sjis(txt::kNewsTimerTooShort), sjis(txt::kSettingsCaution), BoxIcon::Stop,
                 BoxButtons::Ok);
    m_news->setFocus();
    m_news->selectAll();
    return false;
}

}  // namespace kestrel
