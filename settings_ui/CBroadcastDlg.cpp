#include "settings_ui/CBroadcastDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "platform/MessageBoxes.h"
#include "platform/QtText.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsSettingsDlg.h"
#include "settings/InputChecks.h"
#include "ui/DialogKit.h"

namespace kestrel {

CBroadcastDlg::CBroadcastDlg(MessageBoxes& boxes, QWidget* parent)
    : ListSettingDlg(boxes, "CBroadcastDlg", IDD_BROADCAST, txt::kBroadcastCaption, key::BroadIPs,
                     parent) {
    auto* rows = new QGridLayout;
    auto* instruction = new QLabel(QString::fromUtf8(txt::kBroadcastInstruction));
    rows->addWidget(instruction, 0, 0, 1, 3);
    m_address = MakeEdit(1065);
    QPushButton* add = MakeButton(1067, txt::kBroadcastAdd);
    QPushButton* remove = MakeButton(1068, txt::kBroadcastDelete);
    m_list = MakeList(1066);
    m_list->setSortingEnabled(true);
    rows->addWidget(m_address, 1, 0);
    rows->addWidget(new QLabel(QString::fromUtf8(txt::kBroadcastHint)), 2, 0);
    auto* middle = new QVBoxLayout;
    middle->addWidget(add);
    middle->addWidget(remove);
    middle->addStretch();
    rows->addLayout(middle, 1, 1, 2, 1);
    rows->addWidget(m_list, 1, 2, 3, 1);
    SetRowsAndButtons(this, rows);

    connect(add, &QPushButton::clicked, this, &CBroadcastDlg::Add);
    connect(remove, &QPushButton::clicked, this, &CBroadcastDlg::Delete);
}

void CBroadcastDlg::Add() {
    const QString text = m_address->text();
    if (!text.isEmpty()) {
        // Numeric addresses only: a name ("12a.1.1.1" passes the part-by-part check) would be
        // looked up at every packet to all, holding the windows while the resolver waits.
        const std::string address = toSjis(text);
        if (!IsAcceptedBroadcastAddress(address) || !IsNumericBroadcastAddress(address)) {
            m_boxes.Show(sjis(txt::kBroadcastFormatError), sjis(txt::kBroadcastFormatCaption),
                         BoxIcon::Stop, BoxButtons::Ok);
        } else if (!m_list->findItems(text, Qt::MatchExactly).isEmpty()) {
            m_boxes.Show(sjis(txt::kBroadcastRepeated), sjis(txt::kBroadcastFormatCaption),
                         BoxIcon::Information, BoxButtons::Ok);
        } else if (static_cast<std::size_t>(m_list->count()) >= kMostBroadcastAddresses) {
            std::string tooMany = sjis(txt::kBroadcastTooMany);
            tooMany.replace(tooMany.find("%u"), 2, std::to_string(kMostBroadcastAddresses));
            m_boxes.Show(tooMany, sjis(txt::kBroadcastFormatCaption), BoxIcon::Stop,
                         BoxButtons::Ok);
        } else {
            m_list->addItem(text);
            m_address->clear();
        }
    }
    m_address->setFocus();
}

void CBroadcastDlg::Delete() {
    if (QListWidgetItem* item = m_list->currentItem(); item && item->isSelected())
        delete m_list->takeItem(m_list->row(item));
}

}  // namespace kestrel
