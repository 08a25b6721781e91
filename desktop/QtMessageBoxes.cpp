#include "desktop/QtMessageBoxes.h"

#include <QMessageBox>

#include "platform/QtText.h"

namespace kestrel {

BoxAnswer QtMessageBoxes::Show(const std::string& text, const std::string& caption, BoxIcon icon,
                               BoxButtons buttons) {
    QMessageBox box(m_parent);
    box.setWindowTitle(fromSjis(caption));
    box.setText(fromSjis(text));
    switch (icon) {
        case BoxIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case BoxIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case BoxIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case BoxIcon::Stop:
            box.setIcon(QMessageBox::Critical);
            break;
        case BoxIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    switch (buttons) {
        case BoxButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case BoxButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case BoxButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case BoxButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
            return BoxAnswer::Yes;
        case QMessageBox::No:
            return BoxAnswer::No;
        case QMessageBox::Cancel:
            return BoxAnswer::Cancel;
        default:
            return buttons == BoxButtons::Ok         ? BoxAnswer::Ok
                   : buttons == BoxButtons::OkCancel ? BoxAnswer::Cancel
                                                     : BoxAnswer::No;
    }
}

}  // namespace kestrel
