#include "app/CKestrelView.h"

#include <QDesktopServices>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

#include <ctime>

#include "app/CStatusForm.h"
#include "app/FormPresenceControls.h"
#include "app/PresenceWatch.h"
#include "app/ServiceController.h"
#include "app/SettingsFlow.h"
#include "desktop/NoScreenSaver.h"
#include "identity/LocalIdentity.h"
#include "net/TraceLog.h"
#include "platform/MessageBoxes.h"
#include "platform/MessageEvent.h"
#include "platform/ProgramDir.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsService.h"
#include "settings/ListCodec.h"
#include "settings/SettingsStore.h"
#include "ui/CAwayReminderDlg.h"
#include "ui/CMainFrame.h"
#include "ui/ProgramValues.h"

namespace kestrel {

CKestrelView::CKestrelView(ViewContext context, QWidget* parent) : QWidget(parent), m_ctx(context) {
    m_form = new CStatusForm(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_form);
    connect(m_form, &CStatusForm::backgroundDoubleClicked, this,
            [this] { PostMessage(&m_ctx.frame, WM_SHOW_NOTICE); });
    connect(m_form, &CStatusForm::memberListClicked, this, &CKestrelView::OpenMemberList);

    m_settings.Load(m_ctx.store);
    ShareFrameValues();
    MakeService();

    m_ctx.identity = MakeLocalIdentity(ReadIdentitySources(m_settings.AliaseName));

    OnWriteLog(txt::kBanner);

    RefreshForm();
    StartPeerChat();
    MakePresenceWatch();
    // Presence and the member list belong to the peer chat; without it they stay grey.
    m_form->SetPresenceEnabled(PeerChatActive());
    m_form->SetMemberListEnabled(PeerChatActive());
    m_form->SetPlacesEnabled(false);
}

CKestrelView::~CKestrelView() = default;

void CKestrelView::ShareFrameValues() {
    m_ctx.values.sound = m_settings.Sound;
    m_ctx.values.soundFile = m_settings.SoundFile;
    m_ctx.values.iconise = m_settings.BeIcon;
    m_ctx.values.popup = m_settings.BePopup;
}

void CKestrelView::MakeService() {
    m_service = std::make_unique<ServiceController>(ServiceController::Parts{
        m_settings, m_ctx.values, m_ctx.store, m_ctx.boxes, m_ctx.workers, m_ctx.loginDialog,
        m_ctx.passwordDialog, m_ctx.clock, &m_ctx.frame,
        // Every start sets the poll again, even one that goes no further.
        [this] {
            if (PeerChatActive()) m_presence->StartSaverPoll();
        },
        [this] { PrepareFirstStart(); }, [this](int iconId) { m_form->SetStatusIcon(iconId); },
        m_ctx.keyring});
    m_settingsFlow = std::make_unique<SettingsFlow>(
        SettingsFlow::Parts{m_settings, m_ctx.store, *m_service, *m_form, this,
                            [this] { RefreshForm(); }, [this] { ShareFrameValues(); },
                            [this] {
                                if (m_chat) m_chat->BroadcastListChanged();
                            }},
        m_ctx.settingsDialogs);
}

void CKestrelView::PrepareFirstStart() {
    m_form->SetPlaces(DecodeList(m_settings.Places));
    m_form->SetPlacesEnabled(false);
    if (!PeerChatActive()) {
        m_form->SetPresenceEnabled(false);
        m_form->SetMemberListEnabled(false);
    }
}

void CKestrelView::StartPeerChat() {
    if (!m_settings.Chating || !m_ctx.makePeerChat) return;
    m_chat = m_ctx.makePeerChat(PeerChatSetup{
        // The broadcast list is read at each send, so a changed list counts from the next
        // packet.
        ChatSettings{m_settings.ChatPort, [this] { return m_settings.BroadIPs; }, true}, m_history,
        this, [this](int autoUpdate) { SetAutoUpdate(autoUpdate); }});
    // A chat that cannot start has said so itself; the view keeps none for this run.
    if (m_chat && !m_chat->Start()) m_chat.reset();
}

void CKestrelView::MakePresenceWatch() {
    ScreenSaver* saver = m_ctx.screenSaver;
    if (!saver) {
        m_ownSaver = std::make_unique<NoScreenSaver>();
        saver = m_ownSaver.get();
    }
    AwayReminder* reminder = m_ctx.awayReminder;
    if (!reminder) {
        m_ownReminder = std::make_unique<CAwayReminderDlg>(m_ctx.timing);
        reminder = m_ownReminder.get();
    }
    m_presenceControls = std::make_unique<FormPresenceControls>(*m_form);
    m_presence = std::make_unique<PresenceWatch>(
        PresenceWatch::Parts{m_ctx.identity, *m_presenceControls, *saver, *reminder,
                             [this] {
                                 if (m_chat) m_chat->PresenceChanged();
                             },
                             [this] { return m_settings.CheckSaver != 0; }},
        m_ctx.timing);
    // The radios are grey without the chat, but a click could still be posted to them.
    connect(m_form, &CStatusForm::presenceClicked, this, [this] {
        if (PeerChatActive()) m_presence->ApplyPresence();
    });
    connect(m_form, &CStatusForm::placeChosen, this, [this] { m_presence->WhereaboutsChanged(); });
}

void CKestrelView::OpenChatWindow() {
    if (m_chat && !m_chat->ChatWindowOpen()) m_chat->OpenChatWindow();
}

void CKestrelView::OpenMemberList() {
    if (m_chat && !m_chat->ChatWindowOpen() && !m_chat->MemberListOpen())
        m_chat->OpenMemberList(m_settings.AutoUpdate != 0);
}

void CKestrelView::SetAutoUpdate(int autoUpdate) {
    m_settings.AutoUpdate = autoUpdate;
    m_settings.SaveAutoUpdate(m_ctx.store);
}

void CKestrelView::customEvent(QEvent* e) {
    MessageEvent* m = asMessage(e);
    if (!m) return QWidget::customEvent(e);
    // With no chat the blocks go with the event.
    if (m->message() == WM_MEMBER_EVENT && m_chat) m_chat->ForwardMemberEvent(*m);
    // The environment flow stops a running service through a posted command.
    if (m->message() == WM_COMMAND) OnCommand(static_cast<unsigned>(m->wParam()));
    if (m->message() == WM_PEER_MESSAGE && m_chat) m_chat->ForwardPeerMessage(*m);
}

void CKestrelView::RefreshForm() {
    StatusFields f = m_form->FromControls();
    f.newsReaderName = NewsReaderName(m_settings.NewsReader);
    f.mailReaderName = MailReaderName(m_settings.MailReader);
    f.newsServer = m_settings.NNTPServer;
    f.mailServer = m_settings.POPServer;
    f.newsCheckText = OnOffText(m_settings.NewsCheck);
    f.mailCheckText = OnOffText(m_settings.MailCheck);
    m_form->ToControls(f);
}

void CKestrelView::OnCommand(unsigned id) {
    if (const auto kind = SettingsDialogFor(id)) {
        m_settingsFlow->Run(*kind);
        return;
    }
    switch (id) {
        case ID_START_SERVICE:
            if (!ServiceRunning()) m_service->StartService();
            break;
        case ID_STOP_SERVICE:
            if (ServiceRunning()) m_service->StopService();
            break;
        case ID_CHECK_SAVER:
            m_settings.CheckSaver = m_settings.CheckSaver ? 0 : 1;
            m_settings.SaveCheckSaver(m_ctx.store);
            break;
        case ID_HELP_PAGE:
            OpenHelp();
            break;
        case ID_PEER_CHAT:
            if (IsCommandEnabled(ID_PEER_CHAT)) OpenChatWindow();
            break;
        case ID_CHANGE_PASSWORD:
            m_service->ChangePasswordNow();
            break;
        default:
            break;
    }
}

bool CKestrelView::IsCommandEnabled(unsigned id) const {
    if (SettingsDialogFor(id)) return m_settingsFlow->Available();
    switch (id) {
        case ID_START_SERVICE:
            return !ServiceRunning();
        case ID_STOP_SERVICE:
            return ServiceRunning();
        case ID_PEER_CHAT:
            return PeerChatActive() && !ChatWindowOpen() && !MemberListOpen();
        case ID_CHECK_SAVER:
        case ID_CHANGE_PASSWORD:
        case ID_HELP_PAGE:
            return true;
        default:
            return false;
    }
}

bool CKestrelView::ServiceRunning() const {
    return m_service->Running();
}

bool CKestrelView::LoginInProgress() const {
    return m_service->ServerStepInProgress();
}

bool CKestrelView::IsCommandChecked(unsigned id) const {
    return id == ID_CHECK_SAVER && m_settings.CheckSaver != 0;
}

bool CKestrelView::UserPresent() const {
    return m_form->FromControls().presence == 0;
}

std::string CKestrelView::Whereabouts() const {
    return m_form->FromControls().whereabouts;
}

void CKestrelView::SetStatusIcon(int iconId) {
    m_form->SetStatusIcon(iconId);
}

void CKestrelView::ChoosePlace(const std::string& place) {
    if (PeerChatActive()) m_presence->ChoosePlace(place);
}

// The tray's present and away items press the form's radios, so that the form's own
// handling runs.
void CKestrelView::PressPresent() {
    m_form->PresentButton()->click();
}

void CKestrelView::PressAway() {
    m_form->AwayButton()->click();
}

void CKestrelView::OpenHelp() {
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QString::fromStdString(ShippedFile(txt::kHelpPage))));
}

void CKestrelView::OnFrameDestroying() {
    const std::time_t now = m_ctx.clock.Now();
    std::tm local{};
    localtime_r(&now, &local);
    m_history.OfferSave(m_ctx.boxes, ProgramDir(), local);
    // The chat's leave goes out after the history question, as the last thing of the run.
    if (m_chat) {
        m_chat->Stop();
        m_chat.reset();
    }
}

}  // namespace kestrel
