#pragma once

#include "settings_ui/SettingsDlg.h"

namespace kestrel {

class FileChooser;

// Dialog 141: sound on or off and the wave file to play.
class CSoundDlg final : public SettingsDlg {
    Q_OBJECT
public:
    CSoundDlg(MessageBoxes& boxes, FileChooser& files, QWidget* parent = nullptr);

protected:
    void Loaded() override { UpdateEnabling(); }

private:
    void UpdateEnabling();

    FileChooser& m_files;
    QCheckBox* m_sound;
    QLineEdit* m_file;
    QPushButton* m_browse;
};

}  // namespace kestrel
