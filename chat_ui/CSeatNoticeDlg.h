#pragma once

#include <QPointer>

#include <string>

#include "chat/ChatFacilities.h"
#include "chat_ui/ChatDialog.h"

class QPlainTextEdit;

namespace kestrel {

// "着席のお知らせ": a member the user waited for is back. Modeless; OK closes it, and several
// can be open at once.
class CSeatNoticeDlg final : public ChatDialog {
public:
    CSeatNoticeDlg(const std::string& text, QWidget* parent = nullptr);
    std::string Text() const { return m_text; }

private:
    std::string m_text;  // CP932
    QPlainTextEdit* m_edit;
};

// The peer chat's seat notices as windows: each one shown at once, brought to the front,
// deleted when closed; the last one opened is kept in view.
class SeatNoticeWindows final : public SeatNotifier {
public:
    explicit SeatNoticeWindows(QWidget* parent = nullptr) : m_parent(parent) {}
    void ShowSeatNotice(const std::string& text) override;
    CSeatNoticeDlg* Last() const { return m_last.data(); }

private:
    QWidget* m_parent;
    QPointer<CSeatNoticeDlg> m_last;
};

}  // namespace kestrel
