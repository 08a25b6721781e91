#include "app/CLoginDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/MessageBoxes.h"
#include "platform/QtText.h"
#include "res/Text.h"
#include "res/TextsCore.h"
#include "res/TextsLogin.h"

namespace kestrel {

CLoginDlg::CLoginDlg(MessageBoxes& boxes, QWidget* parent) : QDialog(parent), m_boxes(boxes) {
    setWindowTitle(QString::fromUtf8(txt::kLoginCaption));
    setObjectName(QStringLiteral("CLoginDlg132"));
    m_user = new QLineEdit;
    m_user->setObjectName(QStringLiteral("edit1023"));
    m_password = new QLineEdit;
    m_password->setObjectName(QStringLiteral("edit1024"));
    m_password->setEchoMode(QLineEdit::Password);
    m_save = new QCheckBox(QString::fromUtf8(txt::kLoginSaveLabel));
    m_save->setObjectName(QStringLiteral("check1062"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QString::fromUtf8(txt::kLoginUserLabel)), 0, 0);
    grid->addWidget(m_user, 0, 1);
    grid->addWidget(new QLabel(QString::fromUtf8(txt::kLoginPasswordLabel)), 1, 0);
    grid->addWidget(m_password, 1, 1);
    grid->addWidget(m_save, 2, 1);

    auto* ok = new QPushButton(QString::fromUtf8(txt::kOk));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QString::fromUtf8(txt::kCancelKana));
    connect(ok, &QPushButton::clicked, this, &CLoginDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CLoginDlg::reject);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* row = new QHBoxLayout(this);
    row->addLayout(grid);
    row->addLayout(buttons);
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
