#pragma once

#include <QString>

#include <string>

#include "chat_ui/ChatDialog.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace kestrel {

// "受信メッセージの内容": one conversation line shown whole, who and what.
class CMessageViewDlg final : public ChatDialog {
public:
    explicit CMessageViewDlg(const std::string& line, QWidget* parent = nullptr);
    // A line as the chat window shows it, in Unicode.
    explicit CMessageViewDlg(const QString& line, QWidget* parent = nullptr);

    // The parts of a conversation line (CP932): the label text, who, and the message with
    // every line feed written as CR LF.
    struct Parts {
        std::string label;
        std::string who;
        std::string message;
    };
    static Parts Split(const std::string& line);
    // The same parts of a Unicode line; the message's line feeds stay as they are.
    struct ShownParts {
        QString label;
        QString who;
        QString message;
    };
    static ShownParts SplitShown(const QString& line);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* m_label;
    QLineEdit* m_who;
    QPlainTextEdit* m_message;
    QRect m_whoStart;
    QRect m_messageStart;
    QSize m_start;
};

}  // namespace kestrel
