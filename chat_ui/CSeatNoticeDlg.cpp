#include "chat_ui/CSeatNoticeDlg.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "res/Cp932.h"
#include "res/TextsChat.h"

namespace kestrel {

CSeatNoticeDlg::CSeatNoticeDlg(const std::string& text, QWidget* parent)
    : ChatDialog(160, 62, txt::kSeatNoticeCaption, parent), m_text(text) {
    setObjectName(QStringLiteral("seatNotice"));
    m_edit = new QPlainTextEdit(this);
    m_edit->setObjectName(QStringLiteral("text1006"));
    m_edit->setReadOnly(true);
    m_edit->setPlainText(QString::fromStdString(cp932ToUtf8(text)));
    m_edit->setGeometry(Dlu(7, 7, 146, 28));
    auto* ok = new QPushButton(QString::fromUtf8(txt::kOk), this);
    ok->setObjectName(QStringLiteral("ok1"));
    ok->setDefault(true);
    ok->setGeometry(Dlu(55, 41, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(size());
}

void SeatNoticeWindows::ShowSeatNotice(const std::string& text) {
    auto* notice = new CSeatNoticeDlg(text, m_parent);
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->setModal(false);
    notice->show();
    notice->raise();
    notice->activateWindow();
    m_last = notice;
}

}  // namespace kestrel
