#include "settings_ui/QtSettingsDialogs.h"

#include <memory>

#include "settings_ui/CBroadcastDlg.h"
#include "settings_ui/CCommunicatorDlg.h"
#include "settings_ui/CEnvironmentDlg.h"
#include "settings_ui/CPlacesDlg.h"
#include "settings_ui/CSoundDlg.h"
#include "settings_ui/CTimerDlg.h"
#include "settings_ui/CUserInterfaceDlg.h"

namespace kestrel {

bool QtSettingsDialogs::Run(SettingsDialogKind kind, ViewSettings& values, bool serviceRunning) {
    std::unique_ptr<SettingsDlg> dlg;
    switch (kind) {
        case SettingsDialogKind::Environment: {
            auto env = std::make_unique<CEnvironmentDlg>(m_boxes, m_files, m_parent);
            env->SetServiceRunning(serviceRunning);
            dlg = std::move(env);
            break;
        }
        case SettingsDialogKind::Timer:
            dlg = std::make_unique<CTimerDlg>(m_boxes, m_parent);
            break;
        case SettingsDialogKind::Sound:
            dlg = std::make_unique<CSoundDlg>(m_boxes, m_files, m_parent);
            break;
        case SettingsDialogKind::UserInterface:
            dlg = std::make_unique<CUserInterfaceDlg>(m_boxes, m_parent);
            break;
        case SettingsDialogKind::Communicator:
            dlg = std::make_unique<CCommunicatorDlg>(m_boxes, m_parent);
            break;
        case SettingsDialogKind::Broadcast:
            dlg = std::make_unique<CBroadcastDlg>(m_boxes, m_parent);
            break;
        case SettingsDialogKind::Places:
            dlg = std::make_unique<CPlacesDlg>(m_boxes, m_parent);
            break;
    }
    dlg->SetValues(values);
    if (dlg->exec() != QDialog::Accepted) return false;
    values = dlg->Values();
    return true;
}

}  // namespace kestrel
