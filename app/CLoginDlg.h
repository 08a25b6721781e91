#pragma once

#include <QDialog>

#include "app/LoginFlow.h"

class QCheckBox;
class QLineEdit;

namespace kestrel {

class MessageBoxes;

// Dialog 132: user name, hidden password (focus starts there), save check box. Each field
// takes at most 32 bytes; OK with a longer one shows the limit message and keeps the dialog.
class CLoginDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxChars = 32;

    CLoginDlg(MessageBoxes& boxes, QWidget* parent = nullptr);

    void SetInput(const LoginInput& input);
    LoginInput Input() const;
    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* PasswordEdit() const { return m_password; }
    QCheckBox* SaveCheck() const { return m_save; }

    void accept() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    MessageBoxes& m_boxes;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QCheckBox* m_save;
};

// The real dialog behind the flow's interface.
class QtLoginDialog final : public LoginDialog {
public:
    QtLoginDialog(MessageBoxes& boxes, QWidget* parent) : m_boxes(boxes), m_parent(parent) {}
    bool Run(LoginInput& input) override;

private:
    MessageBoxes& m_boxes;
    QWidget* m_parent;
};

}  // namespace kestrel
