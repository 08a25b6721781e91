#include "settings_ui/CSoundDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

#include "res/Ids.h"
#include "res/TextsSettingsDlg.h"
#include "settings_ui/FileChooser.h"
#include "ui/DialogKit.h"

namespace kestrel {

CSoundDlg::CSoundDlg(MessageBoxes& boxes, FileChooser& files, QWidget* parent)
    : SettingsDlg(boxes, "CSoundDlg", IDD_SOUND, txt::kSoundCaption, parent), m_files(files) {
    auto* rows = new QGridLayout;
    m_sound = MakeCheck(1030, txt::kSoundCheck);
    m_file = MakeEdit(1003);
    m_browse = MakeButton(1031, txt::kBrowse);
    rows->addWidget(m_sound, 0, 0, 1, 2);
    rows->addWidget(m_file, 1, 0);
    rows->addWidget(m_browse, 1, 1);
    rows->setColumnMinimumWidth(0, DialogUnits(font()).X(160));
    SetRowsAndButtons(this, rows);

    m_binder.Check(m_sound, key::Sound);
    m_binder.Text(m_file, key::SoundFile);

    connect(m_sound, &QCheckBox::clicked, this, &CSoundDlg::UpdateEnabling);
    connect(m_browse, &QPushButton::clicked, this, [this] {
        if (std::optional<QString> path = m_files.Choose(this, QStringLiteral("*.wav")))
            m_file->setText(*path);
    });
    UpdateEnabling();
}

void CSoundDlg::UpdateEnabling() {
    m_file->setEnabled(m_sound->isChecked());
    m_browse->setEnabled(m_sound->isChecked());
}

}  // namespace kestrel
