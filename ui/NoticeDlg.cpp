#include "ui/NoticeDlg.h"

#include <QScreen>
#include <QShowEvent>

namespace kestrel {

QPoint NoticeDlg::Placement(int screenWidth, int screenHeight, int width, int height) {
    return {(screenWidth - width) / 8, (screenHeight - height) / 8};
}

NoticeDlg::NoticeDlg(ReaderLauncher& launcher, int widthDlu, int heightDlu, const char* captionUtf8,
                     QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_launcher(launcher),
      // The popups were drawn for a 9-point Japanese proportional Gothic.
      m_units(DialogFont(9)) {
    setFont(DialogFont(9));
    setWindowTitle(QString::fromUtf8(captionUtf8));
    setModal(true);
    setFixedSize(Dlu(0, 0, widthDlu, heightDlu).size());
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
