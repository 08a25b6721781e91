#include "app/CPasswdChangeDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "platform/QtText.h"
#include "res/TextsLogin.h"
#include "res/TextsPasswd.h"
#include "ui/DialogKit.h"

namespace kestrel {

CPasswdChangeDlg::CPasswdChangeDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(txt::kPasswdChangeDlgCaption));
    setObjectName(QStringLiteral("CPasswdChangeDlg144"));
    m_user = MakeEdit(1037, false);
    m_current = MakeEdit(1036, true);
    m_new = MakeEdit(1003, true);
    m_newAgain = MakeEdit(1004, true);

    auto* rows = new QGridLayout;
    AddFieldRow(rows, txt::kPasswdUserLabel, m_user);
    AddFieldRow(rows, txt::kPasswdCurrentLabel, m_current);
    AddFieldRow(rows, txt::kPasswdNewLabel, m_new);
    AddFieldRow(rows, txt::kPasswdNewAgainLabel, m_newAgain);
    auto* note = new QLabel(QString::fromUtf8(txt::kPasswdChangeNote));
    note->setWordWrap(true);
    rows->addWidget(note, rows->rowCount(), 0, 1, 2);
    SetRowsAndButtons(this, rows);
    setMinimumWidth(400);
}

void CPasswdChangeDlg::SetInput(const PasswordChangeInput& input) {
    m_user->setText(fromSjis(input.user));
    m_current->setText(fromSjis(input.currentPassword));
    m_new->setText(fromSjis(input.newPassword));
    m_newAgain->setText(fromSjis(input.newPasswordAgain));
}

PasswordChangeInput CPasswdChangeDlg::Input() const {
    return {toSjis(m_user->text()), toSjis(m_current->text()), toSjis(m_new->text()),
            toSjis(m_newAgain->text())};
}

bool QtPasswordChangeDialog::Run(PasswordChangeInput& input) {
    CPasswdChangeDlg dlg(m_parent);
    dlg.SetInput(input);
    if (dlg.exec() != QDialog::Accepted) return false;
    input = dlg.Input();
    return true;
}

}  // namespace kestrel
