#include "ui/CNewsNoticeDlg.h"

#include <QPushButton>

#include "res/TextsReaders.h"

namespace kestrel {

CNewsNoticeDlg::CNewsNoticeDlg(ReaderLauncher& launcher, QWidget* parent)
    : NewsNoticeDlg(launcher, 163, 125, txt::kNewsNoticeCaption, parent) {
    BuildNewsControls(Dlu(7, 6, 149, 9), Dlu(7, 19, 149, 76), Dlu(7, 102, 73, 15));
    QPushButton* close = AddButton("close", txt::kCloseNotice, Dlu(102, 102, 54, 15));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace kestrel
