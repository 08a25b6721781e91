#include "ui/CAwayReminderDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include "res/TextsPresence.h"
#include "ui/DialogKit.h"

namespace kestrel {

namespace {
// The reminder is meant to be read from across the room: 22-point type.
constexpr int kFontPoints = 22;
constexpr int kWidthDlu = 130;
constexpr int kHeightDlu = 70;
}  // namespace

CAwayReminderDlg::CAwayReminderDlg(const Timing& timing, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("dialog150"));
    setFont(DialogFont(kFontPoints));
    setWindowTitle(QString::fromUtf8(txt::kReminderCaption));
    setModal(true);
    const DialogUnits dlu(font());
    setFixedSize(dlu.Size(kWidthDlu, kHeightDlu));

    m_text = AddCentredText(this, "text150", dlu.Rect(8, 8, kWidthDlu - 16, 36));
    m_text->setText(QString::fromUtf8(txt::kReminderText));
    m_back = AddButton(this, "button1", txt::kReminderBackButton, dlu.Rect(25, 48, 80, 15));
    m_back->setDefault(true);
    connect(m_back, &QPushButton::clicked, this, &QDialog::accept);

    m_closeTimer = new QTimer(this);
    m_closeTimer->setSingleShot(true);
    m_closeTimer->setInterval(timing.reminderCloseMs);
    connect(m_closeTimer, &QTimer::timeout, this, &QDialog::reject);
}

bool CAwayReminderDlg::Show() {
    return exec() == QDialog::Accepted;
}

void CAwayReminderDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
    raise();
    activateWindow();
    m_back->setFocus(Qt::OtherFocusReason);
    // Counted from each showing: one left open by the user's reading is not cut short by
    // the time of an earlier one.
    m_closeTimer->start();
}

void CAwayReminderDlg::done(int result) {
    m_closeTimer->stop();
    QDialog::done(result);
}

}  // namespace kestrel
