#include "chat_ui/ChatDialog.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>

namespace kestrel {

namespace {

QFont DialogFont() {
    // The windows were drawn for a 9-point Japanese proportional Gothic.
    const QString family = QStringLiteral("IPAPGothic");
    QFont font = QFontDatabase::hasFamily(family) ? QFont(family) : QApplication::font();
    font.setPointSize(9);
    return font;
}

}  // namespace

QFont ChatDialog::MemberLineFont() {
    const QString family = QStringLiteral("IPAGothic");
    QFont font = QFontDatabase::hasFamily(family)
                     ? QFont(family)
                     : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(9);
    font.setFixedPitch(true);
    return font;
}

ChatDialog::ChatDialog(int widthDlu, int heightDlu, const char* captionUtf8, QWidget* parent)
    : QDialog(parent) {
    setFont(DialogFont());
    // Windows' dialog base units: average width of the alphabet, and the line height.
    const QFontMetrics metrics(font());
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseWidth = (alphabet / 26 + 1) / 2;
    m_baseHeight = metrics.height();
    setWindowTitle(QString::fromUtf8(captionUtf8));
    resize(Dlu(0, 0, widthDlu, heightDlu).size());
}

QRect ChatDialog::Dlu(int x, int y, int width, int height) const {
    auto horizontal = [this](int units) { return (units * m_baseWidth + 2) / 4; };
    auto vertical = [this](int units) { return (units * m_baseHeight + 4) / 8; };
    return {horizontal(x), vertical(y), horizontal(width), vertical(height)};
}

void ChatDialog::paintEvent(QPaintEvent* event) {
    // Once per showing: raising on every paint would fight the user's other windows.
    if (!m_raised) {
        m_raised = true;
        raise();
    }
    QDialog::paintEvent(event);
}

void ChatDialog::hideEvent(QHideEvent* event) {
    m_raised = false;
    QDialog::hideEvent(event);
}

}  // namespace kestrel
