#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

class QDialog;
class QGridLayout;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace kestrel {

// The one way this program draws its windows. Every form, popup and dialog is built in code
// on a Japanese Gothic dialog font and measured in dialog units of it:
// - where its layout fixes each control (the status form, the popups), the controls are put
//   at their places in dialog units, and the window has the layout's fixed size;
// - otherwise (the log-in, the password change, and the settings dialogs to come) the
//   dialog stacks label and field rows in a grid beside a column of OK and Cancel.
// Control names carry the control's id ("edit1023", "button1") for the tests to find.

// The Gothic the windows were drawn for, at the given size; the application font where it
// is not installed.
QFont DialogFont(int points);

// Dialog units to pixels.
class DialogUnits {
public:
    // Windows' base units of the font: the average width of the alphabet and the line
    // height; a unit is a quarter of the one and an eighth of the other.
    explicit DialogUnits(const QFont& font);
    // A fixed number of pixels a unit, for a window whose size must not follow the fonts
    // installed.
    DialogUnits(double pixelsX, double pixelsY);

    int X(int units) const;
    int Y(int units) const;
    QPoint Point(int x, int y) const { return {X(x), Y(y)}; }
    QSize Size(int width, int height) const { return {X(width), Y(height)}; }
    QRect Rect(int x, int y, int width, int height) const {
        return {Point(x, y), Size(width, height)};
    }

private:
    int m_baseWidth = 0;
    int m_baseHeight = 0;
    double m_pixelsX = 0;
    double m_pixelsY = 0;
};

// Controls at their places.
QLabel* AddLabel(QWidget* parent, const char* textUtf8, QPoint at);
QLabel* AddCentredText(QWidget* parent, const char* name, const QRect& place);
// Enter belongs to the default button alone, whichever button has the focus.
QPushButton* AddButton(QWidget* parent, const char* name, const char* textUtf8, const QRect& place);

// Rows and columns.
QLineEdit* MakeEdit(int id, bool hidden = false);
// Appends a row to the grid: the label in the first column, the field in the second.
void AddFieldRow(QGridLayout* grid, const char* labelUtf8, QWidget* field);
// The grid of rows on the left and OK (default, id 1) and Cancel (id 2) on the right, as
// the dialog's layout; OK accepts, Cancel rejects.
void SetRowsAndButtons(QDialog* dialog, QGridLayout* rows);

}  // namespace kestrel
