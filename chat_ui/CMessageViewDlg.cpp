#include "chat_ui/CMessageViewDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>

#include "chat/PeerText.h"
#include "res/Cp932.h"
#include "res/Text.h"
#include "res/TextsChat.h"

namespace kestrel {

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

CMessageViewDlg::ShownParts CMessageViewDlg::SplitShown(const QString& line) {
    ShownParts parts;
    const QString sentMark = QString::fromUtf8(txt::kChatSentMark);
    parts.label =
        QString::fromUtf8(line.startsWith(sentMark) ? txt::kMessageTo : txt::kMessageFrom);
    // The mark and its "[" are two characters here, as they are three bytes in CP932.
    const QString rest = line.mid(2);
    const qsizetype close = rest.indexOf(QLatin1Char(']'));
    parts.who = rest.left(close);
    parts.message = close < 0 ? QString() : rest.mid(close + 1).mid(2);
    return parts;
}

CMessageViewDlg::CMessageViewDlg(const std::string& line, QWidget* parent)
    : CMessageViewDlg(FromCp932(line), parent) {}

CMessageViewDlg::CMessageViewDlg(const QString& line, QWidget* parent)
    : ChatDialog(220, 130, txt::kMessageViewCaption, parent) {
    setObjectName(QStringLiteral("messageView"));
    const ShownParts parts = SplitShown(line);
    m_label = new QLabel(parts.label, this);
    m_label->setObjectName(QStringLiteral("label1073"));
    m_label->setGeometry(Dlu(7, 9, 30, 8));
    m_who = new QLineEdit(parts.who, this);
    m_who->setObjectName(QStringLiteral("who1046"));
    m_who->setReadOnly(true);
    m_who->setGeometry(Dlu(40, 7, 173, 12));
    m_message = new QPlainTextEdit(this);
    m_message->setObjectName(QStringLiteral("message1006"));
    m_message->setReadOnly(true);
    m_message->setPlainText(parts.message);
    // The text as the history file holds it: CP932, each line feed a CR LF.
    QString crlf = parts.message;
    crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    m_message->setProperty("cp932Text", QByteArray::fromStdString(ToCp932(crlf)));
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
