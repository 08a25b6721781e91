#pragma once

#include <QWidget>

#include <memory>
#include <string>

#include "app/LoginFlow.h"
#include "app/PeerChatLink.h"
#include "app/SettingsDialogs.h"
#include "app/ViewSettings.h"
#include "chat/PeerGuards.h"
#include "identity/CChatHistory.h"
#include "platform/Clock.h"
#include "platform/Timing.h"
#include "ui/FrameClient.h"

namespace kestrel {

class CMainFrame;
class CStatusForm;
class AwayReminder;
class FormPresenceControls;
class PresenceWatch;
class ScreenSaver;
class MailWorker;
class NewsWorker;
class IdentWorker;
class PasswordChangeDialog;
class MessageBoxes;
class MessageEvent;
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
};

// The main form view and the program's controller: holds the settings, owns the workers,
// starts and stops the service as one unit and answers the frame's commands.
class CKestrelView final : public QWidget, public FrameClient {
    Q_OBJECT
public:
    explicit CKestrelView(ViewContext context, QWidget* parent = nullptr);
    ~CKestrelView() override;

    void StartService();
    void StopService();
    bool InitServices(int ident, int news, int mail);

    // FrameClient
    void OnCommand(unsigned id) override;
    bool IsCommandEnabled(unsigned id) const override;
    bool IsCommandChecked(unsigned id) const override;
    bool ServiceRunning() const override { return m_running; }
    bool UserPresent() const override;
    std::string Whereabouts() const override;
    std::string PlacesList() const override { return m_settings.Places; }
    bool PeerChatActive() const override { return m_chat != nullptr; }
    bool ChatWindowOpen() const override { return m_chat && m_chat->ChatWindowOpen(); }
    bool MemberListOpen() const override { return m_chat && m_chat->MemberListOpen(); }
    // The password change waits on its server the way the log-in does, with the events served
    // meanwhile; the frame holds the exit back for both.
    bool LoginInProgress() const override {
        return m_loginInProgress || m_passwordChangeInProgress;
    }
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
    const Credentials& CurrentCredentials() const { return m_credentials; }
    bool FirstStart() const { return m_firstStart; }
    bool MailRunning() const { return m_mailRunning; }
    bool NewsRunning() const { return m_newsRunning; }
    bool IdentRunning() const { return m_identRunning; }
    CStatusForm& Form() const { return *m_form; }
    CChatHistory& History() { return m_history; }
    // The member list's automatic update switch, kept and stored as it closes.
    void SetAutoUpdate(int autoUpdate);
    const PresenceWatch& Presence() const { return *m_presence; }

protected:
    void customEvent(QEvent* e) override;

private:
    // The frame reads sound, sound file, iconise and popup from the program values; they are
    // the view's settings, copied here and nowhere else. Whatever changes those settings
    // calls this afterwards.
    void ShareFrameValues();
    void StartPeerChat();
    void OnPeerMessage(MessageEvent& message);
    void MakePresenceWatch();
    void LogInNow();
    void OpenHelp();
    void ChangePasswordNow();
    // A settings dialog on a copy of the settings; after OK its values are kept, written
    // and put to use.
    void RunSettingsFlow(SettingsDialogKind kind);

    ViewContext m_ctx;
    CStatusForm* m_form;
    ViewSettings m_settings;
    Credentials m_credentials;
    CChatHistory m_history;
    Spacing m_messageBeep{Spacing::kMessageBeep};
    bool m_firstStart = true;
    bool m_running = false;
    bool m_loginInProgress = false;
    bool m_mailRunning = false;
    bool m_newsRunning = false;
    bool m_identRunning = false;
    bool m_passwordChangeInProgress = false;
    std::unique_ptr<MailWorker> m_mail;
    std::unique_ptr<NewsWorker> m_news;
    std::unique_ptr<IdentWorker> m_ident;
    std::unique_ptr<PeerChatLink> m_chat;
    std::unique_ptr<ScreenSaver> m_ownSaver;
    std::unique_ptr<AwayReminder> m_ownReminder;
    std::unique_ptr<FormPresenceControls> m_presenceControls;
    std::unique_ptr<PresenceWatch> m_presence;
};

}  // namespace kestrel
