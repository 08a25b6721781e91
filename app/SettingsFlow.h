#pragma once

#include <functional>
#include <optional>

#include "settings/SettingsDialogs.h"

class QObject;

namespace kestrel {

class CStatusForm;
class ServiceController;
class SettingsStore;
struct ViewSettings;

// The settings dialog a menu command opens; none for any other command.
std::optional<SettingsDialogKind> SettingsDialogFor(unsigned commandId);

// A settings dialog run on a copy of the view's settings. After OK the values the dialog
// edits are kept and written, and put to use at once where they can be: new servers stop the
// running service for a new log-in, new intervals re-arm the running checks, the form and
// the frame show the new values, and the peer chat hears of a new broadcast list. Cancel
// changes nothing.
class SettingsFlow {
public:
    struct Parts {
        ViewSettings& settings;
        SettingsStore& store;
        ServiceController& service;
        CStatusForm& form;
        // Takes the posted command that stops the running service.
        QObject* view;
        // The servers, readers and switches shown on the form again from the settings.
        std::function<void()> refreshForm;
        // The sound, iconise and popup values the frame reads, copied again.
        std::function<void()> shareFrameValues;
        // Tells the peer chat, when there is one.
        std::function<void()> broadcastListChanged;
    };
    // Without dialogs nothing runs and the settings commands stay grey.
    SettingsFlow(Parts parts, SettingsDialogs* dialogs);

    bool Available() const { return m_dialogs != nullptr; }
    void Run(SettingsDialogKind kind);

private:
    void PutToUse(SettingsDialogKind kind);

    Parts m_parts;
    SettingsDialogs* m_dialogs;
};

}  // namespace kestrel
