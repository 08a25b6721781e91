#pragma once

#include <QDialog>

#include "app/PasswordChangeFlow.h"

class QLineEdit;

namespace kestrel {

// Dialog 144, "パスワード変更": user name, then the current password, the new one and the new
// one again, each hidden, with the note on the server's time-out. The fields take any length;
// the flow checks them after OK.
class CPasswdChangeDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CPasswdChangeDlg(QWidget* parent = nullptr);

    void SetInput(const PasswordChangeInput& input);
    PasswordChangeInput Input() const;

    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* CurrentEdit() const { return m_current; }
    QLineEdit* NewEdit() const { return m_new; }
    QLineEdit* NewAgainEdit() const { return m_newAgain; }

private:
    QLineEdit* m_user;
    QLineEdit* m_current;
    QLineEdit* m_new;
    QLineEdit* m_newAgain;
};

// The real dialog behind the flow's interface.
class QtPasswordChangeDialog final : public PasswordChangeDialog {
public:
    explicit QtPasswordChangeDialog(QWidget* parent) : m_parent(parent) {}
    bool Run(PasswordChangeInput& input) override;

private:
    QWidget* m_parent;
};

}  // namespace kestrel
