#include "ui/DialogKit.h"

#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "res/TextsLogin.h"
#include "res/TextsReaders.h"

namespace kestrel {

QFont DialogFont(int points) {
    const QString family = QLatin1String(txt::kNoticeFontFamily);
    QFont font = QFontDatabase::hasFamily(family) ? QFont(family) : QApplication::font();
    font.setPointSize(points);
    return font;
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseWidth = (alphabet / 26 + 1) / 2;
    m_baseHeight = metrics.height();
}

DialogUnits::DialogUnits(double pixelsX, double pixelsY) : m_pixelsX(pixelsX), m_pixelsY(pixelsY) {}

int DialogUnits::X(int units) const {
    if (m_pixelsX > 0) return qRound(units * m_pixelsX);
    return (units * m_baseWidth + 2) / 4;
}

int DialogUnits::Y(int units) const {
    if (m_pixelsY > 0) return qRound(units * m_pixelsY);
    return (units * m_baseHeight + 4) / 8;
}

QLabel* AddLabel(QWidget* parent, const char* textUtf8, QPoint at) {
    auto* label = new QLabel(QString::fromUtf8(textUtf8), parent);
    label->adjustSize();
    label->move(at);
    return label;
}

QLabel* AddCentredText(QWidget* parent, const char* name, const QRect& place) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    label->setGeometry(place);
    return label;
}

QPushButton* AddButton(QWidget* parent, const char* name, const char* textUtf8,
                       const QRect& place) {
    auto* button = new QPushButton(QString::fromUtf8(textUtf8), parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    button->setGeometry(place);
    return button;
}

QLineEdit* MakeEdit(int id, bool hidden) {
    auto* edit = new QLineEdit;
    edit->setObjectName(QStringLiteral("edit%1").arg(id));
    if (hidden) edit->setEchoMode(QLineEdit::Password);
    return edit;
}

void AddFieldRow(QGridLayout* grid, const char* labelUtf8, QWidget* field) {
    const int row = grid->rowCount() == 1 && !grid->itemAtPosition(0, 0) ? 0 : grid->rowCount();
    grid->addWidget(new QLabel(QString::fromUtf8(labelUtf8)), row, 0);
    grid->addWidget(field, row, 1);
}

void SetRowsAndButtons(QDialog* dialog, QGridLayout* rows) {
    auto* ok = new QPushButton(QString::fromUtf8(txt::kOk));
    ok->setObjectName(QStringLiteral("button1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QString::fromUtf8(txt::kCancelKana));
    cancel->setObjectName(QStringLiteral("button2"));
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(dialog);
    layout->addLayout(rows);
    layout->addLayout(buttons);
}

}  // namespace kestrel
