#pragma once

#include "settings_ui/SettingsDlg.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;

namespace kestrel {

class FileChooser;

// Dialog 130: servers, ports and their TLS, which checks run, which readers start, the user
// name. While
// the service runs, OK asks first whether the user may be logged out.
class CEnvironmentDlg final : public SettingsDlg {
    Q_OBJECT
public:
    CEnvironmentDlg(MessageBoxes& boxes, FileChooser& files, QWidget* parent = nullptr);

    void SetServiceRunning(bool running) { m_running = running; }

protected:
    bool BeforeTake() override;
    void Loaded() override { UpdateEnabling(); }

private:
    void UpdateEnabling();
    void Browse(QLineEdit* edit);

    FileChooser& m_files;
    bool m_running = false;
    QCheckBox* m_newsCheck;
    QCheckBox* m_mailCheck;
    QCheckBox* m_identify;
    QButtonGroup* m_newsReaders;
    QButtonGroup* m_mailReaders;
    QLineEdit* m_newsFile;
    QLineEdit* m_mailFile;
    QLineEdit* m_nntpServer;
    QLineEdit* m_nntpPort;
    QComboBox* m_nntpSecurity;
    QLineEdit* m_authPort;
    QPushButton* m_newsBrowse;
    QPushButton* m_mailBrowse;
};

}  // namespace kestrel
