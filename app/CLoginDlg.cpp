#include "app/CLoginDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>

#include "platform/MessageBoxes.h"
#include "platform/QtText.h"
#include "res/Text.h"
#include "res/TextsCore.h"
#include "res/TextsLogin.h"
#include "ui/DialogKit.h"

namespace kestrel {

CLoginDlg::CLoginDlg(MessageBoxes& boxes, QWidget* parent) : QDialog(parent), m_boxes(boxes) {
    setWindowTitle(QString::fromUtf8(txt::kLoginCaption));
    setObjectName(QStringLiteral("CLoginDlg132"));
    m_user = MakeEdit(1023);
    m_password = MakeEdit(1024, true);
    m_save = new QCheckBox(QString::fromUtf8(txt::kLoginSaveLabel));
    m_save->setObjectName(QStringLiteral("check1062"));

    auto* rows = new QGridLayout;
    AddFieldRow(rows, txt::kLoginUserLabel, m_user);
    AddFieldRow(rows, txt::kLoginPasswordLabel, m_password);
    rows->addWidget(m_save, rows->rowCount(), 1);
    SetRowsAndButtons(this, rows);
    setMinimumWidth(320);
}

void CLoginDlg::SetInput(const LoginInput& input) {
    m_user->setText(fromSjis(input.user));
    m_password->setText(fromSjis(input.password));
    m_save->setChecked(input.save != 0);
}

LoginInput CLoginDlg::Input() const {
    return {toSjis(m_user->text()), toSjis(m_password->text()), m_save->isChecked() ? 1 : 0};
}

void CLoginDlg::accept() {
    // The limit counts the bytes the server will see.
    for (QLineEdit* edit : {m_user, m_password}) {
        if (toSjis(edit->text()).size() > static_cast<size_t>(kMaxChars)) {
            std::string text = sjis(txt::kMaxCharsFormat);
            text.replace(text.find("%1"), 2, std::to_string(kMaxChars));
            m_boxes.Show(text, sjis(txt::kProductTitle), BoxIcon::Warning, BoxButtons::Ok);
            edit->setFocus();
            edit->selectAll();
            return;
        }
    }
    QDialog::accept();
}

void CLoginDlg::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    m_password->setFocus();
}

bool QtLoginDialog::Run(LoginInput& input) {
    CLoginDlg dlg(m_boxes, m_parent);
    dlg.SetInput(input);
    if (dlg.exec() != QDialog::Accepted) return false;
    input = dlg.Input();
    return true;
}

}  // namespace kestrel
