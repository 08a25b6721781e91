#pragma once

#include <QDialog>
#include <QFont>
#include <QRect>

namespace kestrel {

// What the chat windows share: the dialog font ("ＭＳ Ｐゴシック" 9 points, or the nearest
// Japanese proportional Gothic here), layout in its dialog units, and the habit of coming to
// the top of the window stack when they are painted.
class ChatDialog : public QDialog {
public:
    // Dialog units of the dialog font to pixels.
    QRect Dlu(int x, int y, int width, int height) const;

    // The font of the member lines: they are padded in bytes ("%-20s"), so their columns line
    // up only where a double-byte character is exactly two single-byte ones wide. IPAGothic,
    // or the system's fixed-width font without it.
    static QFont MemberLineFont();

protected:
    ChatDialog(int widthDlu, int heightDlu, const char* captionUtf8, QWidget* parent);
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int m_baseWidth = 1;
    int m_baseHeight = 1;
    bool m_raised = false;
};

}  // namespace kestrel
