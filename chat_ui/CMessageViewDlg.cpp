#include "chat_ui/CMessageViewDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>

#include "res/Cp932.h"
#include "res/Text.h"
#include "res/TextsChat.h"

namespace kestrel {

namespace {

QString Shown(const std::string& cp932) {
    return QString::fromStdString(cp932ToUtf8(cp932));
}

}  // namespace

CMessageViewDlg::Parts CMessageViewDlg::Split(const std::string& line) {
    Parts parts;
    parts.label =
        sjis(line.rfind(sjis(txt::kChatSentMark), 0) == 0 ? txt::kMessageTo : txt::kMessageFrom);
    const std::string rest = line.size() > 3 ? line.substr(3) : std::string();
    const std::size_t close = Cp932Find(rest, ']');
    parts.who = rest.substr(0, close);
    std::string message = close == std::string::npos ? std::string() : rest.substr(close + 1);
    message = message.size() > 2 ? message.substr(2) : std::string();
    for (char c : message) {
        if (c == '\n') parts.message += '\r';
        parts.message += c;
    }
    return parts;
}

CMessageViewDlg::CMessageViewDlg(const std::string& line, QWidget* parent)
    : ChatDialog(220, 130, txt::kMessageViewCaption, parent) {
    setObjectName(QStringLiteral("messageView"));
    const Parts parts = Split(line);
    m_label = new QLabel(Shown(parts.label), this);
    m_label->setObjectName(QStringLiteral("label1073"));
    m_label->setGeometry(Dlu(7, 9, 30, 8));
    m_who = new QLineEdit(Shown(parts.who), this);
    m_who->setObjectName(QStringLiteral("who1046"));
    m_who->setReadOnly(true);
    m_who->setGeometry(Dlu(40, 7, 173, 12));
    m_message = new QPlainTextEdit(this);
    m_message->setObjectName(QStringLiteral("message1006"));
    m_message->setReadOnly(true);
    // The edit shows CR LF as one break; the text keeps the CR LF of the conversation.
    m_message->setPlainText(
        Shown(parts.message).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    m_message->setProperty("cp932Text", QByteArray::fromStdString(parts.message));
    m_message->setGeometry(Dlu(7, 24, 206, 99));
    m_whoStart = m_who->geometry();
    m_messageStart = m_message->geometry();
    m_start = size();
}

void CMessageViewDlg::resizeEvent(QResizeEvent* event) {
    ChatDialog::resizeEvent(event);
    const int dw = width() - m_start.width();
    const int dh = height() - m_start.height();
    if (m_whoStart.width() + dw > 0) m_who->resize(m_whoStart.width() + dw, m_whoStart.height());
    if (m_messageStart.width() + dw > 0 && m_messageStart.height() + dh > 0)
        m_message->resize(m_messageStart.width() + dw, m_messageStart.height() + dh);
}

}  // namespace kestrel
