#pragma once

#include <QWidget>

#include <memory>
#include <string>

#include "app/LoginFlow.h"
#include "chat/CChatHistory.h"
#include "chat/PeerGuards.h"
#include "chat_ui/PeerChatLink.h"
#include "platform/Clock.h"
#include "platform/Timing.h"
#include "settings/SettingsDialogs.h"
#include "settings/ViewSettings.h"
#include "ui/FrameClient.h"

namespace kestrel {

class CMainFrame;
class CStatusForm;
class AwayReminder;
class FormPresenceControls;
class PresenceWatch;
class ScreenSaver;
class PasswordChangeDialog;
class MessageBoxes;
class ServiceController;
class SettingsFlow;
class PasswordVault;
class SettingsStore;
class WorkerFactory;
struct LocalIdentity;
struct ProgramValues;

// Everything the view works with; owned by the application object.
struct ViewContext {
    ProgramValues& values;
    LocalIdentity& identity;
    SettingsStore& store;
    MessageBoxes& boxes;
    CMainFrame& frame;
    WorkerFactory& workers;
    LoginDialog& loginDialog;
    PasswordChangeDialog& passwordDialog;
    // Makes the peer chat when `Chating` is on; none in a build or test without it.
    PeerChatMaker makePeerChat = {};
    const Clock& clock = SystemClock();
    // The desktop's screen saver (none: no screen saver ever runs) and the reminder shown
    // while the user stays away (none: the view's own dialog).
    ScreenSaver* screenSaver = nullptr;
    AwayReminder* awayReminder = nullptr;
    // The presence timers' durations.
    const Timing& timing = ProgramTiming();
    // The settings dialogs; without them the settings commands stay grey.
    SettingsDialogs* settingsDialogs = nullptr;
    // The desktop's keyring for the saved password (none: the settings file only).
    PasswordVault* keyring = nullptr;
};

// The main form view: holds the settings, the status form, the presence watch and the peer
// chat, and answers the frame's commands; the service and the settings dialogs' flow are
// controllers of their own that it owns.
class CKestrelView final : public QWidget, public FrameClient {
    Q_OBJECT
public:
    explicit CKestrelView(ViewContext context, QWidget* parent = nullptr);
    ~CKestrelView() override;

    // FrameClient
    void OnCommand(unsigned id) override;
    bool IsCommandEnabled(unsigned id) const override;
    bool IsCommandChecked(unsigned id) const override;
    bool ServiceRunning() const override;
    bool UserPresent() const override;
    std::string Whereabouts() const override;
    std::string PlacesList() const override { return m_settings.Places; }
    bool PeerChatActive() const override { return m_chat != nullptr; }
    bool ChatWindowOpen() const override { return m_chat && m_chat->ChatWindowOpen(); }
    bool MemberListOpen() const override { return m_chat && m_chat->MemberListOpen(); }
    // The frame holds the exit back for the log-in and the password change alike.
    bool LoginInProgress() const override;
    void SetStatusIcon(int iconId) override;
    void OpenChatWindow() override;
    void OpenMemberList() override;
    void ChoosePlace(const std::string& place) override;
    void PressPresent() override;
    void PressAway() override;
    void OnFrameDestroying() override;

    // The reader, server and ON/OFF fields from the settings, moved to the form.
    void RefreshForm();

    const ViewSettings& Settings() const { return m_settings; }
    ServiceController& Service() const { return *m_service; }
    CStatusForm& Form() const { return *m_form; }
    CChatHistory& History() { return m_history; }
    const PresenceWatch& Presence() const { return *m_presence; }

protected:
    void customEvent(QEvent* e) override;

private:
    // The frame reads sound, sound file, iconise and popup from the program values; they are
    // the view's settings, copied here and nowhere else. Whatever changes those settings
    // calls this afterwards.
    void ShareFrameValues();
    void MakeService();
    // The form at the first service start: the places, and the controls of the peer chat.
    void PrepareFirstStart();
    void StartPeerChat();
    // The member list's automatic update switch, kept and stored as it closes.
    void SetAutoUpdate(int autoUpdate);
    void MakePresenceWatch();
    void OpenHelp();

    ViewContext m_ctx;
    CStatusForm* m_form;
    ViewSettings m_settings;
    CChatHistory m_history;
    std::unique_ptr<ServiceController> m_service;
    std::unique_ptr<SettingsFlow> m_settingsFlow;
    std::unique_ptr<PeerChatLink> m_chat;
    std::unique_ptr<ScreenSaver> m_ownSaver;
    std::unique_ptr<AwayReminder> m_ownReminder;
    std::unique_ptr<FormPresenceControls> m_presenceControls;
    std::unique_ptr<PresenceWatch> m_presence;
};

}  // namespace kestrel
