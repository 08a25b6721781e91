#include "app/CKestrelView.h"

#include <QApplication>
#include <QDesktopServices>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

#include <ctime>

#include "app/CStatusForm.h"
#include "app/FormPresenceControls.h"
#include "app/ListCodec.h"
#include "app/PasswordAge.h"
#include "app/PasswordChangeFlow.h"
#include "app/PresenceWatch.h"
#include "app/ServiceWorkers.h"
#include "app/SettingsStore.h"
#include "app/ViewSettingsFields.h"
#include "chat/ChatPacket.h"
#include "chat/MemberRecord.h"
#include "identity/LocalIdentity.h"
#include "net/TraceLog.h"
#include "platform/MessageBoxes.h"
#include "platform/MessageEvent.h"
#include "platform/ProgramDir.h"
#include "platform/ScreenSaver.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsService.h"
#include "ui/CAwayReminderDlg.h"
#include "ui/CMainFrame.h"
#include "ui/ProgramValues.h"

namespace kestrel {
namespace {

// The workers take the TLS settings as they are when each is made.
void PassSecurity(WorkerFactory& workers, const ViewSettings& s) {
    workers.SetSecurity(TlsSettings{SecurityFromSetting(s.POPSecurity), s.TLSCAFile},
                        TlsSettings{SecurityFromSetting(s.NNTPSecurity), s.TLSCAFile});
}

}  // namespace

namespace {
// Where the desktop offers no screen saver, none ever runs and there is none to end.
class NoScreenSaver final : public ScreenSaver {
public:
    bool IsActive() override { return false; }
    void Close() override {}
};
}  // namespace

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

    m_credentials.user = m_settings.DefaultUserId;
    m_credentials.password = m_settings.Password;

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

void CKestrelView::StartPeerChat() {
    if (!m_settings.Chating || !m_ctx.makePeerChat) return;
    m_chat = m_ctx.makePeerChat(*this);
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
    if (m->message() == WM_PEER_MESSAGE) OnPeerMessage(*m);
}

void CKestrelView::OnPeerMessage(MessageEvent& message) {
    const auto sender = message.takeFirst<MemberRecord>();
    const auto text = message.takeSecond<MessageText>();
    if (!sender || !text || !m_chat) return;
    // A message takes the user to the conversation: the member list gives way to it.
    if (m_chat->MemberListOpen()) m_chat->CloseMemberList();
    if (!m_chat->ChatWindowOpen()) m_chat->OpenChatWindow();
    QObject* window = m_chat->ChatWindow();
    if (!window) return;
    std::string line = ReceivedChatLine(*sender, text->text);
    m_history.Add(line);
    PostMessage(window, WM_SHOW_PEER_MESSAGE, 0, 0, own(*sender), own(std::move(line)));
    if (m_messageBeep.Due()) QApplication::beep();
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

void CKestrelView::StartService() {
    // Every start sets the poll again, even one that goes no further.
    if (PeerChatActive()) m_presence->StartSaverPoll();
    if (m_mail || m_news || m_ident || m_loginInProgress || m_passwordChangeInProgress) return;

    if (m_firstStart) {
        m_form->SetPlaces(DecodeList(m_settings.Places));
        m_form->SetPlacesEnabled(false);
        if (!PeerChatActive()) {
            m_form->SetPresenceEnabled(false);
            m_form->SetMemberListEnabled(false);
        }
        if (!CheckPasswordAge(m_ctx.store, m_settings.PasswdCheck, m_settings.CheckDays,
                              m_ctx.clock.Now(), m_ctx.boxes)) {
            m_credentials.password.clear();
            m_firstStart = false;
            return;
        }
    }

    const ViewSettings& s = m_settings;
    if (!s.MailCheck && !s.NewsCheck && !s.Identify && !s.Chating) {
        m_credentials.password.clear();
        m_ctx.boxes.Show(sjis(txt::kNothingEnabled), sjis(txt::kCaptionCaution), BoxIcon::Stop,
                         BoxButtons::Ok);
        m_firstStart = false;
        return;
    }
    if (!s.MailCheck && !s.NewsCheck && !s.Identify) {
        m_firstStart = false;
        return;
    }

    const bool ok = InitServices(s.Identify ? 1 : 0, s.NewsCheck ? 1 : 0, s.MailCheck ? 1 : 0);
    m_firstStart = false;
    if (!ok) return;

    m_form->SetStatusIcon(IDI_RUNNING);
    m_running = true;
    PostMessage(&m_ctx.frame, WM_SERVICE_STARTED);
    if (m_ctx.values.iconise) PostMessage(&m_ctx.frame, WM_SYSCOMMAND, SC_MINIMIZE);
}

bool CKestrelView::InitServices(int ident, int news, int mail) {
    PassSecurity(m_ctx.workers, m_settings);
    if ((ident || mail) && !m_credentials.loggedIn) {
        LogInNow();
        if (!m_credentials.loggedIn) return false;
    }

    if (news && !m_newsRunning) {
        m_news = m_ctx.workers.MakeNewsWorker();
        const int result = m_news->InitCheck(m_settings.NNTPServer, m_settings.NNTPPort,
                                             static_cast<unsigned>(m_settings.NewsTimer));
        if (result < 0) {
            m_news.reset();
            std::string text = sjis(txt::kNewsInitFailed);
            if (result == -1)
                text += sjis(txt::kNewsInitNoFile);
            else if (result == -2)
                text += sjis(txt::kNewsInitTimer);
            else if (result == -3)
                text += sjis(txt::kNewsInitTooSmall);
            m_ctx.boxes.Show(text, sjis(txt::kCaptionInitFailed), BoxIcon::Stop, BoxButtons::Ok);
            m_newsRunning = false;
            return false;
        }
        m_newsRunning = true;
    }

    if (ident && !m_identRunning) {
        m_ident = m_ctx.workers.MakeIdentWorker();
        if (!m_ident->Start(m_settings.AUTHPort, m_credentials.user)) {
            m_ident.reset();
            m_ctx.boxes.Show(sjis(txt::kIdentInitFailed), sjis(txt::kCaptionInit), BoxIcon::Stop,
                             BoxButtons::Ok);
            m_identRunning = false;
        } else {
            m_identRunning = true;
        }
    }

    if (mail && !m_mailRunning) {
        m_mail = m_ctx.workers.MakeMailWorker();
        if (!m_mail->Start(m_settings.POPServer, m_settings.POPPort, m_credentials.user,
                           m_credentials.password, static_cast<unsigned>(m_settings.MailTimer))) {
            m_mail.reset();
            m_ctx.boxes.Show(sjis(txt::kMailInitFailed), sjis(txt::kCaptionInit), BoxIcon::Stop,
                             BoxButtons::Ok);
            m_mailRunning = false;
        } else {
            m_mailRunning = true;
        }
    }
    return true;
}

void CKestrelView::LogInNow() {
    // While the log-in runs, the frame refuses to close and a new start returns at once.
    m_loginInProgress = true;
    PassSecurity(m_ctx.workers, m_settings);
    LogIn(
        m_credentials, m_firstStart, m_ctx.loginDialog,
        [this](const std::string& user, const std::string& password) {
            return m_ctx.workers.Verify(m_settings.POPServer, m_settings.POPPort, user, password);
        },
        m_ctx.store, m_ctx.boxes, m_ctx.values.iconise != 0);
    m_loginInProgress = false;
}

void CKestrelView::StopService() {
    m_credentials.loggedIn = false;
    m_form->SetStatusIcon(IDI_STOPPED);
    m_running = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    PostMessage(&m_ctx.frame, WM_SERVICE_STOPPED);
    if (m_newsRunning) {
        m_newsRunning = false;
        m_news.reset();
    }
    if (m_identRunning) {
        m_identRunning = false;
        m_ident.reset();
    }
    if (m_mailRunning) {
        m_mailRunning = false;
        m_mail.reset();
    }
    QApplication::restoreOverrideCursor();
}

void CKestrelView::OnCommand(unsigned id) {
    switch (id) {
        case ID_START_SERVICE:
            if (!m_running) StartService();
            break;
        case ID_STOP_SERVICE:
            if (m_running) StopService();
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
            ChangePasswordNow();
            break;
        case ID_ENVIRONMENT:
            RunSettingsFlow(SettingsDialogKind::Environment);
            break;
        case ID_TIMER_SETTINGS:
            RunSettingsFlow(SettingsDialogKind::Timer);
            break;
        case ID_SOUND_SETTINGS:
            RunSettingsFlow(SettingsDialogKind::Sound);
            break;
        case ID_USER_INTERFACE:
            RunSettingsFlow(SettingsDialogKind::UserInterface);
            break;
        case ID_COMMUNICATOR:
            RunSettingsFlow(SettingsDialogKind::Communicator);
            break;
        case ID_BROADCAST_ADDRESSES:
            RunSettingsFlow(SettingsDialogKind::Broadcast);
            break;
        case ID_PLACES:
            RunSettingsFlow(SettingsDialogKind::Places);
            break;
        default:
            break;
    }
}

bool CKestrelView::IsCommandEnabled(unsigned id) const {
    switch (id) {
        case ID_START_SERVICE:
            return !m_running;
        case ID_STOP_SERVICE:
            return m_running;
        case ID_PEER_CHAT:
            return PeerChatActive() && !ChatWindowOpen() && !MemberListOpen();
        case ID_CHECK_SAVER:
        case ID_CHANGE_PASSWORD:
        case ID_HELP_PAGE:
            return true;
        case ID_ENVIRONMENT:
        case ID_TIMER_SETTINGS:
        case ID_SOUND_SETTINGS:
        case ID_USER_INTERFACE:
        case ID_COMMUNICATOR:
        case ID_BROADCAST_ADDRESSES:
        case ID_PLACES:
            return m_ctx.settingsDialogs != nullptr;
        default:
            return false;
    }
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

void CKestrelView::ChangePasswordNow() {
    if (m_passwordChangeInProgress || m_loginInProgress) return;
    m_passwordChangeInProgress = true;
    ChangePassword(
        m_running, m_credentials.user, m_ctx.passwordDialog,
        [this](const std::string& user, const std::string& current, const std::string& next) {
            // The server may take minutes; the cursor says the program is busy.
            QApplication::setOverrideCursor(Qt::WaitCursor);
            const bool changed = m_ctx.workers.ChangePassword(
                m_settings.POPServer, m_settings.PSWDPort, user, current, next);
            QApplication::restoreOverrideCursor();
            return changed;
        },
        m_ctx.store, m_ctx.boxes, m_ctx.clock);
    m_passwordChangeInProgress = false;
}

void CKestrelView::RunSettingsFlow(SettingsDialogKind kind) {
    if (!m_ctx.settingsDialogs) return;
    ViewSettings edited = m_settings;
    if (!m_ctx.settingsDialogs->Run(kind, edited, m_running)) return;
    CopyFields(edited, m_settings, DialogKeys(kind));

    switch (kind) {
        case SettingsDialogKind::Environment:
            m_settings.SaveEnvironment(m_ctx.store);
            m_credentials.user = m_settings.DefaultUserId;
            RefreshForm();
            // The dialog has asked the user: the new servers need a new log-in.
            if (m_running) PostMessage(this, WM_COMMAND, ID_STOP_SERVICE);
            break;
        case SettingsDialogKind::Timer:
            m_settings.SaveTimers(m_ctx.store);
            if (m_newsRunning && m_news)
                m_news->ChangeInterval(static_cast<unsigned>(m_settings.NewsTimer));
            if (m_mailRunning && m_mail)
                m_mail->SetInterval(static_cast<unsigned>(m_settings.MailTimer));
            break;
        case SettingsDialogKind::Sound:
            m_settings.SaveSound(m_ctx.store);
            ShareFrameValues();
            break;
        case SettingsDialogKind::UserInterface:
            m_settings.SaveUserInterface(m_ctx.store);
            ShareFrameValues();
            break;
        case SettingsDialogKind::Communicator:
            // The running chat and this station's identity keep the old values until the
            // next start; the dialog has said so.
            m_settings.SaveCommunicator(m_ctx.store);
            break;
        case SettingsDialogKind::Broadcast:
            m_settings.SaveBroadcastList(m_ctx.store);
            if (m_chat) m_chat->BroadcastListChanged();
            break;
        case SettingsDialogKind::Places:
            m_settings.SavePlaces(m_ctx.store);
            m_form->SetPlaces(DecodeList(m_settings.Places));
            break;
    }
}

void CKestrelView::OpenHelp() {
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QString::fromStdString(ProgramFile(txt::kHelpPage))));
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
