#include "ui/CMailNoticeDlg.h"

#include <QLabel>
#include <QPushButton>

#include "platform/QtText.h"
#include "readers/ReaderLauncher.h"
#include "res/TextsReaders.h"

namespace kestrel {

CMailNoticeDlg::CMailNoticeDlg(ReaderLauncher& launcher, QWidget* parent)
    : NoticeDlg(launcher, 163, 59, txt::kMailNoticeCaption, parent) {
    m_mail = AddCentredText("mailText", Dlu(7, 7, 149, 21));
    m_mail->setText(QString::fromUtf8(txt::kMailTextTemplate));
    QPushButton* receive = AddButton("receiveMail", txt::kReceiveMail, Dlu(7, 35, 73, 15));
    connect(receive, &QPushButton::clicked, this, [this] { OnReceiveMail(); });
    QPushButton* close = AddButton("close", txt::kCloseNotice, Dlu(102, 35, 54, 15));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void CMailNoticeDlg::InitNotice() {
    m_mail->setText(fromSjis(m_mailText));
}

void CMailNoticeDlg::OnReceiveMail() {
    m_launcher.LaunchMailReader();
    accept();
}

}  // namespace kestrel
