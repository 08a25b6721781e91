#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>

#include "ui/DialogKit.h"

class QLabel;
class QPushButton;

namespace kestrel {

class ReaderLauncher;

// What the three notification popups share: the small modal frame without a system menu,
// controls at their places in dialog units of the 9-point dialog font, the placement near the
// top-left corner and the reader launcher their buttons drive.
class NoticeDlg : public QDialog {
public:
    // Top-left corner of a popup of width x height on a screen of screenWidth x
    // screenHeight: one eighth of the free space in from each edge (negative when the popup
    // is larger than the screen, as integer division truncates toward zero).
    static QPoint Placement(int screenWidth, int screenHeight, int width, int height);

protected:
    NoticeDlg(ReaderLauncher& launcher, int widthDlu, int heightDlu, const char* captionUtf8,
              QWidget* parent);

    // Dialog units of the notice font to pixels.
    QRect Dlu(int x, int y, int width, int height) const {
        return m_units.Rect(x, y, width, height);
    }
    QLabel* AddCentredText(const char* name, const QRect& place) {
        return kestrel::AddCentredText(this, name, place);
    }
    QPushButton* AddButton(const char* name, const char* textUtf8, const QRect& place) {
        return kestrel::AddButton(this, name, textUtf8, place);
    }

    // Runs once, when the window first appears (the dialog's initialisation).
    virtual void InitNotice() {}

    void showEvent(QShowEvent* event) override;

    ReaderLauncher& m_launcher;

private:
    DialogUnits m_units;
    bool m_initialised = false;
};

}  // namespace kestrel
