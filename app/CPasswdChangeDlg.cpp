#include "app/CPasswdChangeDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/QtText.h"
#include "res/TextsLogin.h"
#include "res/TextsPasswd.h"

namespace kestrel {
namespace {

QLineEdit* MakeEdit(int id, bool hidden) {
    auto* edit = new QLineEdit;
    edit->setObjectName(QStringLiteral("edit%1").arg(id));
    if (hidden) edit->setEchoMode(QLineEdit::Password);
    return edit;
}

}  // namespace

CPasswdChangeDlg::CPasswdChangeDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(txt::kPasswdChangeDlgCaption));
    setObjectName(QStringLiteral("CPasswdChangeDlg144"));
    m_user = MakeEdit(1037, false);
    m_current = MakeEdit(1036, true);
    m_new = MakeEdit(1003, true);
    m_newAgain = MakeEdit(1004, true);

    auto* grid = new QGridLayout;
    const std::pair<const char*, QLineEdit*> rows[] = {{txt::kPasswdUserLabel, m_user},
                                                       {txt::kPasswdCurrentLabel, m_current},
                                                       {txt::kPasswdNewLabel, m_new},
                                                       {txt::kPasswdNewAgainLabel, m_newAgain}};
    int row = 0;
    for (const auto& [label, edit] : rows) {
        grid->addWidget(new QLabel(QString::fromUtf8(label)), row, 0);
        grid->addWidget(edit, row, 1);
        ++row;
    }
    auto* note = new QLabel(QString::fromUtf8(txt::kPasswdChangeNote));
    note->setWordWrap(true);
    grid->addWidget(note, row, 0, 1, 2);

    auto* ok = new QPushButton(QString::fromUtf8(txt::kOk));
    ok->setObjectName(QStringLiteral("button1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QString::fromUtf8(txt::kCancelKana));
    cancel->setObjectName(QStringLiteral("button2"));
    connect(ok, &QPushButton::clicked, this, &CPasswdChangeDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CPasswdChangeDlg::reject);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
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
