#include "settings_ui/CPlacesDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/MessageBoxes.h"
#include "platform/QtText.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsSettingsDlg.h"
#include "ui/DialogKit.h"

namespace kestrel {

CPlacesDlg::CPlacesDlg(MessageBoxes& boxes, QWidget* parent)
    : ListSettingDlg(boxes, "CPlacesDlg", IDD_PLACES, txt::kPlacesCaption, key::Places, parent) {
    m_place = MakeEdit(1006);
    QPushButton* add = MakeButton(4, txt::kPlacesAdd);
    add->setDefault(true);
    QPushButton* remove = MakeButton(3, txt::kPlacesDelete);
    m_list = MakeList(1032);
    QPushButton* ok = MakeButton(1, txt::kSettingsOk);
    QPushButton* cancel = MakeButton(2, txt::kSettingsCancelFull);

    auto* rows = new QGridLayout;
    rows->addWidget(m_place, 0, 0);
    rows->addWidget(add, 0, 1);
    rows->addWidget(m_list, 1, 0);
    auto* side = new QVBoxLayout;
    side->addWidget(remove);
    side->addStretch();
    rows->addLayout(side, 1, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(rows);
    layout->addLayout(buttons);

    connect(add, &QPushButton::clicked, this, &CPlacesDlg::Add);
    connect(remove, &QPushButton::clicked, this, &CPlacesDlg::Delete);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CPlacesDlg::Add() {
    const QString text = m_place->text();
    if (text.isEmpty()) return;
    if (text.contains(QStringLiteral("~:_"))) {
        m_boxes.Show(sjis(txt::kPlacesSeparatorRefused), sjis(txt::kSettingsCaution), BoxIcon::Stop,
                     BoxButtons::Ok);
        m_place->setFocus();
        return;
    }
    m_list->addItem(text);
    m_place->clear();
}

void CPlacesDlg::Delete() {
    QListWidgetItem* item = m_list->currentItem();
    if (!item || !item->isSelected()) return;
    std::string question = sjis(txt::kPlacesDeleteQuestion);
    question.replace(question.find("%s"), 2, toSjis(item->text()));
    if (m_boxes.Show(question, sjis(txt::kPlacesDeleteCaption), BoxIcon::Question,
                     BoxButtons::YesNo) == BoxAnswer::Yes)
        delete m_list->takeItem(m_list->row(item));
}

}  // namespace kestrel
