#include "app/CStatusForm.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

#include "platform/QtText.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsForm.h"
#include "ui/DialogKit.h"
#include "ui/IconCatalog.h"

namespace kestrel {
namespace {

// The form is laid out in dialog units of its 10-point Japanese font. Its units are fixed
// rather than measured, so the main window keeps its size whichever fonts are installed.
const DialogUnits kUnits(1.95, 1.55);

QRect Dlu(int x, int y, int w, int h) {
    return kUnits.Rect(x, y, w, h);
}

QLabel* AddLabel(QWidget* parent, const char* text, int x, int y) {
    return kestrel::AddLabel(parent, text, kUnits.Point(x, y));
}

QLineEdit* AddField(QWidget* parent, int id, int x, int y, int w, int h) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    edit->setObjectName(QStringLiteral("field%1").arg(id));
    edit->setGeometry(Dlu(x, y, w, h));
    edit->setFocusPolicy(Qt::ClickFocus);
    return edit;
}

}  // namespace

std::string NewsReaderName(int kind) {
    switch (kind) {
        case 0:
            return sjis(txt::kReaderNetScape);
        case 1:
            return sjis(txt::kReaderWinVN);
        case kNewsReaderDesktop:
            return sjis(txt::kReaderDesktop);
        default:
            return sjis(txt::kReaderOthers);
    }
}

std::string MailReaderName(int kind) {
    switch (kind) {
        case 0:
            return sjis(txt::kReaderNetScape);
        case 1:
            return sjis(txt::kReaderALMail);
        case 2:
            return sjis(txt::kReaderDenshin8);
        case kMailReaderDesktop:
            return sjis(txt::kReaderDesktop);
        default:
            return sjis(txt::kReaderOthers);
    }
}

std::string OnOffText(int flag) {
    return flag ? sjis(txt::kOn) : sjis(txt::kOff);
}

CStatusForm::CStatusForm(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("KestrelStatusForm"));
    setFont(DialogFont(10));
    setFixedSize(Dlu(0, 0, 208, 142).size() + QSize(0, 4));

    auto* newsMail = new QGroupBox(QString::fromUtf8(txt::kGroupNewsMail), this);
    newsMail->setGeometry(Dlu(9, 10, 191, 81));
    newsMail->lower();

    AddLabel(this, txt::kLabelNewsReader, 45, 20);
    m_newsReader = AddField(this, 1000, 47, 29, 68, 12);
    AddLabel(this, txt::kLabelNntpServer, 46, 45);
    m_newsServer = AddField(this, 1001, 47, 54, 68, 12);
    AddLabel(this, txt::kLabelBiff, 46, 74);
    m_newsCheck = AddField(this, 1002, 69, 72, 46, 12);
    AddLabel(this, txt::kLabelMailer, 122, 20);
    m_mailReader = AddField(this, 1004, 124, 29, 68, 12);
    AddLabel(this, txt::kLabelPopServer, 123, 45);
    m_mailServer = AddField(this, 1005, 124, 54, 68, 12);
    AddLabel(this, txt::kLabelBiff, 123, 73);
    m_mailCheck = AddField(this, 1003, 146, 72, 45, 12);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("statusIcon1026"));
    m_icon->setGeometry(QRect(Dlu(17, 42, 0, 0).topLeft(), QSize(32, 32)));
    SetStatusIcon(IDI_STOPPED);

    auto* whereabouts = new QGroupBox(QString::fromUtf8(txt::kGroupWhereabouts), this);
    whereabouts->setGeometry(Dlu(9, 95, 191, 47));
    whereabouts->lower();

    m_present = new QRadioButton(QString::fromUtf8(txt::kRadioPresent), this);
    m_present->setGeometry(Dlu(17, 105, 38, 12));
    m_away = new QRadioButton(QString::fromUtf8(txt::kRadioAway), this);
    m_away->setGeometry(Dlu(56, 105, 38, 12));
    m_presence = new QButtonGroup(this);
    m_presence->addButton(m_present, 0);
    m_presence->addButton(m_away, 1);
    m_present->setChecked(true);
    connect(m_presence, &QButtonGroup::idClicked, this, &CStatusForm::presenceClicked);

    auto* where = new QLabel(QString::fromUtf8(txt::kLabelWhereabouts), this);
    where->setObjectName(QStringLiteral("label1029"));
    where->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    where->setGeometry(Dlu(95, 105, 16, 12));
    m_places = new QComboBox(this);
    m_places->setGeometry(Dlu(113, 104, 77, 13));
    connect(m_places, &QComboBox::activated, this,
            [this](int index) { emit placeChosen(m_places->itemText(index)); });

    m_memberList = AddButton(this, "button1031", txt::kButtonMemberList, Dlu(20, 123, 163, 14));
    connect(m_memberList, &QPushButton::clicked, this, &CStatusForm::memberListClicked);
}

QLineEdit* CStatusForm::Field(int id) const {
    switch (id) {
        case 1000:
            return m_newsReader;
        case 1001:
            return m_newsServer;
        case 1002:
            return m_newsCheck;
        case 1003:
            return m_mailCheck;
        case 1004:
            return m_mailReader;
        case 1005:
            return m_mailServer;
        default:
            return nullptr;
    }
}

void CStatusForm::ToControls(const StatusFields& f) {
    m_newsReader->setText(fromSjis(f.newsReaderName));
    m_newsServer->setText(fromSjis(f.newsServer));
    m_newsCheck->setText(fromSjis(f.newsCheckText));
    m_mailCheck->setText(fromSjis(f.mailCheckText));
    m_mailReader->setText(fromSjis(f.mailReaderName));
    m_mailServer->setText(fromSjis(f.mailServer));
    (f.presence ? m_away : m_present)->setChecked(true);
    if (f.whereabouts.empty())
        ClearPlaceSelection();
    else
        SelectPlace(f.whereabouts);
}

StatusFields CStatusForm::FromControls() const {
    StatusFields f;
    f.newsReaderName = toSjis(m_newsReader->text());
    f.newsServer = toSjis(m_newsServer->text());
    f.newsCheckText = toSjis(m_newsCheck->text());
    f.mailCheckText = toSjis(m_mailCheck->text());
    f.mailReaderName = toSjis(m_mailReader->text());
    f.mailServer = toSjis(m_mailServer->text());
    f.presence = m_away->isChecked() ? 1 : 0;
    f.whereabouts = m_places->currentIndex() < 0 ? std::string() : toSjis(m_places->currentText());
    return f;
}

void CStatusForm::SetStatusIcon(int iconId) {
    const QIcon icon = IconCatalog::Icon(iconId);
    if (icon.isNull()) return;
    m_iconId = iconId;
    m_icon->setPixmap(icon.pixmap(32, 32));
}

void CStatusForm::SetPlaces(const std::vector<std::string>& places) {
    QStringList items;
    for (const auto& p : places)
        if (!p.empty()) items << fromSjis(p);
    items.sort();
    m_places->clear();
    m_places->addItems(items);
    m_places->setCurrentIndex(-1);
}

std::vector<std::string> CStatusForm::PlaceItems() const {
    std::vector<std::string> items;
    for (int i = 0; i < m_places->count(); ++i) items.push_back(toSjis(m_places->itemText(i)));
    return items;
}

void CStatusForm::SetPresenceEnabled(bool enabled) {
    m_present->setEnabled(enabled);
    m_away->setEnabled(enabled);
}

void CStatusForm::SetMemberListEnabled(bool enabled) {
    m_memberList->setEnabled(enabled);
}
void CStatusForm::SetPlacesEnabled(bool enabled) {
    m_places->setEnabled(enabled);
}

bool CStatusForm::SelectPlace(const std::string& place) {
    const int index = m_places->findText(fromSjis(place));
    if (index < 0) return false;
    m_places->setCurrentIndex(index);
    return true;
}

void CStatusForm::ClearPlaceSelection() {
    m_places->setCurrentIndex(-1);
}

void CStatusForm::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) emit backgroundDoubleClicked();
    QWidget::mouseDoubleClickEvent(e);
}

}  // namespace kestrel
