#include "app/SettingsFlow.h"

#include "app/CStatusForm.h"
#include "app/ServiceController.h"
#include "platform/MessageEvent.h"
#include "res/Ids.h"
#include "settings/ListCodec.h"
#include "settings/ViewSettings.h"
#include "settings/ViewSettingsFields.h"

namespace kestrel {

std::optional<SettingsDialogKind> SettingsDialogFor(unsigned commandId) {
    switch (commandId) {
        case ID_ENVIRONMENT:
            return SettingsDialogKind::Environment;
        case ID_TIMER_SETTINGS:
            return SettingsDialogKind::Timer;
        case ID_SOUND_SETTINGS:
            return SettingsDialogKind::Sound;
        case ID_USER_INTERFACE:
            return SettingsDialogKind::UserInterface;
        case ID_COMMUNICATOR:
            return SettingsDialogKind::Communicator;
        case ID_BROADCAST_ADDRESSES:
            return SettingsDialogKind::Broadcast;
        case ID_PLACES:
            return SettingsDialogKind::Places;
        default:
            return std::nullopt;
    }
}

SettingsFlow::SettingsFlow(Parts parts, SettingsDialogs* dialogs)
    : m_parts(std::move(parts)), m_dialogs(dialogs) {}

void SettingsFlow::Run(SettingsDialogKind kind) {
    if (!m_dialogs) return;
    ViewSettings edited = m_parts.settings;
    if (!m_dialogs->Run(kind, edited, m_parts.service.Running())) return;
    CopyFields(edited, m_parts.settings, DialogKeys(kind));
    PutToUse(kind);
}

void SettingsFlow::PutToUse(SettingsDialogKind kind) {
    ViewSettings& settings = m_parts.settings;
    SettingsStore& store = m_parts.store;
    switch (kind) {
        case SettingsDialogKind::Environment:
            settings.SaveEnvironment(store);
            m_parts.service.SetUser(settings.DefaultUserId);
            m_parts.refreshForm();
            // The dialog has asked the user: the new servers need a new log-in.
            if (m_parts.service.Running()) PostMessage(m_parts.view, WM_COMMAND, ID_STOP_SERVICE);
            break;
        case SettingsDialogKind::Timer:
            settings.SaveTimers(store);
            m_parts.service.ChangeIntervals(static_cast<unsigned>(settings.MailTimer),
                                            static_cast<unsigned>(settings.NewsTimer));
            break;
        case SettingsDialogKind::Sound:
            settings.SaveSound(store);
            m_parts.shareFrameValues();
            break;
        case SettingsDialogKind::UserInterface:
            settings.SaveUserInterface(store);
            m_parts.shareFrameValues();
            break;
        case SettingsDialogKind::Communicator:
            // The running chat and this station's identity keep the old values until the
            // next start; the dialog has said so.
            settings.SaveCommunicator(store);
            break;
        case SettingsDialogKind::Broadcast:
            settings.SaveBroadcastList(store);
            m_parts.broadcastListChanged();
            break;
        case SettingsDialogKind::Places:
            settings.SavePlaces(store);
            m_parts.form.SetPlaces(DecodeList(settings.Places));
            break;
    }
}

}  // namespace kestrel
