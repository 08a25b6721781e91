#include "ui/CNewsMailNoticeDlg.h"

#include <QLabel>
#include <QPushButton>

#include "platform/QtText.h"
#include "readers/ReaderLauncher.h"
#include "res/TextsReaders.h"

namespace kestrel {

CNewsMailNoticeDlg::CNewsMailNoticeDlg(ReaderLauncher& launcher, QWidget* parent)
    : NewsNoticeDlg(launcher, 163, 151, txt::kNewsMailNoticeCaption, parent) {
    BuildNewsControls(Dlu(7, 6, 149, 9), Dlu(7, 18, 149, 57), Dlu(7, 109, 73, 15));
    m_mail = AddCentredText("mailText", Dlu(7, 82, 149, 21));
    m_mail->setText(QString::fromUtf8(txt::kMailTextTemplate));
    QPushButton* receive = AddButton("receiveMail", txt::kReceiveMail, Dlu(7, 128, 73, 15));
    connect(receive, &QPushButton::clicked, this, [this] { OnReceiveMail(); });
    QPushButton* close = AddButton("close", txt::kCloseNotice, Dlu(102, 128, 54, 15));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void CNewsMailNoticeDlg::InitNotice() {
    NewsNoticeDlg::InitNotice();
    m_mail->setText(fromSjis(m_mailText));
}

void CNewsMailNoticeDlg::OnReceiveMail() {
    m_launcher.LaunchMailReader();
    // With groups still listed the popup stays for "記事を読む".
    if (NoNews()) accept();
}

}  // namespace kestrel
