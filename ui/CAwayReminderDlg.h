#pragma once

#include <QDialog>

#include "platform/Timing.h"
#include "ui/AwayReminder.h"

class QLabel;
class QPushButton;
class QTimer;

namespace kestrel {

// "在席変更し忘れ防止": the modal reminder that the user is still marked away. It sits in the
// middle of the screen in large type, its one button has the focus, and it goes away by
// itself after a few seconds so that an empty desk does not collect a pile of them.
class CAwayReminderDlg final : public QDialog, public AwayReminder {
    Q_OBJECT
public:
    explicit CAwayReminderDlg(const Timing& timing = ProgramTiming(), QWidget* parent = nullptr);

    // Modal; true when "在席中に戻す" was pressed.
    bool Show() override;

    QPushButton* BackButton() const { return m_back; }
    QLabel* Text() const { return m_text; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    QLabel* m_text;
    QPushButton* m_back;
    QTimer* m_closeTimer;
};

}  // namespace kestrel
