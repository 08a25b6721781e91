#include "ui/NoticeDlg.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "res/TextsReaders.h"

namespace kestrel {

namespace {

QFont noticeFont() {
    // The popups were drawn for a 9-point Japanese proportional Gothic.
    const QString family = QLatin1String(txt::kNoticeFontFamily);
    QFont font = QFontDatabase::hasFamily(family) ? QFont(family) : QApplication::font();
    font.setPointSize(9);
    return font;
}

}  // namespace

QPoint NoticeDlg::Placement(int screenWidth, int screenHeight, int width, int height) {
    return {(screenWidth - width) / 8, (screenHeight - height) / 8};
}

NoticeDlg::NoticeDlg(ReaderLauncher& launcher, int widthDlu, int heightDlu, const char* captionUtf8,
                     QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_launcher(launcher) {
    setFont(noticeFont());
    // Windows' dialog base units: average width of the alphabet, and the line height.
    const QFontMetrics metrics(font());
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseWidth = (alphabet / 26 + 1) / 2;
    m_baseHeight = metrics.height();
    setWindowTitle(QString::fromUtf8(captionUtf8));
    setModal(true);
    setFixedSize(Dlu(0, 0, widthDlu, heightDlu).size());
}

QRect NoticeDlg::Dlu(int x, int y, int width, int height) const {
    auto horizontal = [this](int units) { return (units * m_baseWidth + 2) / 4; };
    auto vertical = [this](int units) { return (units * m_baseHeight + 4) / 8; };
    return {horizontal(x), vertical(y), horizontal(width), vertical(height)};
}

QLabel* NoticeDlg::AddCentredText(const char* name, const QRect& dlu) {
    auto* label = new QLabel(this);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    label->setGeometry(dlu);
    return label;
}

QPushButton* NoticeDlg::AddButton(const char* name, const char* textUtf8, const QRect& dlu) {
    auto* button = new QPushButton(QString::fromUtf8(textUtf8), this);
    button->setObjectName(QLatin1String(name));
    // Enter belongs to the default button alone, whichever button has the focus.
    button->setAutoDefault(false);
    button->setGeometry(dlu);
    return button;
}

void NoticeDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_initialised) return;
    m_initialised = true;
    InitNotice();
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->geometry();
        const QRect frame = frameGeometry();
        move(area.topLeft() +
             Placement(area.width(), area.height(), frame.width(), frame.height()));
    }
    raise();
    activateWindow();
}

}  // namespace kestrel
