#include "app/CKestrelApp.h"

#include <QGuiApplication>
#include <QScreen>

#include <csignal>

#include "app/CKestrelView.h"
#include "app/CLoginDlg.h"
#include "app/CPasswdChangeDlg.h"
#include "app/QtNoticePresenter.h"
#include "app/QtWorkerFactory.h"
#include "app/ServiceWorkers.h"
#include "app/WindowPlacement.h"
#include "chat/CChatHistory.h"
#include "chat_ui/PeerChatSession.h"
#include "desktop/DbusScreenSaver.h"
#include "desktop/KeychainVault.h"
#include "desktop/QtMessageBoxes.h"
#include "desktop/SingleInstance.h"
#include "mail/SeenMailStore.h"
#include "net/TraceLog.h"
#include "news/WatchListFile.h"
#include "platform/MessageEvent.h"
#include "platform/ProgramDir.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsCore.h"
#include "res/TextsNews.h"
#include "settings/IniMigration.h"
#include "settings/SettingsStore.h"
#include "settings_ui/FileChooser.h"
#include "settings_ui/QtSettingsDialogs.h"
#include "ui/CMainFrame.h"
#include "ui/NoticePresenter.h"
#include "ui/QtSoundPlayer.h"

namespace kestrel {

CKestrelApp::CKestrelApp(MessageBoxes* boxes) {
    if (!boxes) {
        m_ownBoxes = std::make_unique<QtMessageBoxes>();
        boxes = m_ownBoxes.get();
    }
    m_boxes = boxes;
}

CKestrelApp::~CKestrelApp() {
    if (m_frame && m_store) {
        m_store->Write(key::top, values.top);
        m_store->Write(key::left, values.left);
        m_store->Flush();
    }
    // The view and the workers it owns go first, while the frame they log to still stands.
    if (m_frame) delete m_frame->takeCentralWidget();
    m_view = nullptr;
    m_frame.reset();
}

bool CKestrelApp::InitInstance() {
    // A write to a socket the peer has closed must fail with an error, not end the process.
    std::signal(SIGPIPE, SIG_IGN);

    const QString title = QString::fromUtf8(txt::kProductTitle);
    if (SingleInstance::AnyRunning({title, QString::fromUtf8(txt::kServerProductTitle)})) {
        std::string text = sjis(txt::kMultipleStartFormat);
        text.replace(text.find("%s"), 2, sjis(txt::kProductTitle));
        m_boxes->Show(text, sjis(txt::kProductTitle), BoxIcon::Stop, BoxButtons::Ok);
        return true;
    }
    m_instance = std::make_unique<SingleInstance>();
    m_instance->Claim(title);
    // Copies of the watch list, the mail already read, the chat history and the settings that
    // a kill left behind during a save; with this instance the only one, none can belong to a
    // save under way.
    WatchListFile::RemoveStaleCopies(ProgramFile(txt::kNewsWatchListName));
    SeenMailStore::RemoveStaleCopies(ProgramFile(SeenMailStore::kFileName));
    CChatHistory::RemoveStaleCopies(ProgramDir());
    SettingsStore::RemoveStaleCopies();

    m_store = std::make_unique<SettingsStore>();
    MigrateIniFile(*m_store, *m_boxes, ProgramDir());

    values.newsgroupLimit = MAX_GROUPS;
    values.trace = m_store->GetInt(key::debug) != 0 ? 1 : 0;
    SetTraceEnabled(values.trace != 0);

    values.firstMove = 1;
    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->geometry()
                             : QRect(0, 0, 1024, 768);
    const int w = screen.width();
    const int h = screen.height();
    const Point pos = ChooseStartPosition(m_store->GetInt(key::left, w / 8),
                                          m_store->GetInt(key::top, h / 8), w, h);
    values.left = pos.x;
    values.top = pos.y;
    values.noticeOpen = 0;

    m_sound = std::make_unique<QtSoundPlayer>();
    auto seenMail = std::make_shared<SeenMailStore>(ProgramFile(SeenMailStore::kFileName));
    // The reader settings are read from the store at each launch, so a reader changed in the
    // environment settings is the one the next popup starts.
    m_notices = std::make_unique<QtNoticePresenter>(
        *m_boxes,
        [this] {
            return ReaderLauncherSettings{
                m_store->GetInt(key::MailReader), m_store->GetString(key::MailFile),
                m_store->GetInt(key::NewsReader), m_store->GetString(key::NewsFile)};
        },
        nullptr, seenMail);
    m_frame = std::make_unique<CMainFrame>(values, *m_notices, *m_sound);
    if (auto* qtBoxes = dynamic_cast<QtMessageBoxes*>(m_boxes)) qtBoxes->SetParent(m_frame.get());
    m_workers = std::make_unique<QtWorkerFactory>(*m_frame, *m_boxes, values, seenMail);
    m_login = std::make_unique<QtLoginDialog>(*m_boxes, m_frame.get());
    m_passwordDialog = std::make_unique<QtPasswordChangeDialog>(m_frame.get());
    PeerChatMaker makePeerChat = [this](const PeerChatSetup& setup) {
        return std::make_unique<PeerChatSession>(setup, identity, *m_boxes, m_frame.get());
    };
    m_screenSaver = std::make_unique<DbusScreenSaver>();
    m_files = std::make_unique<QtFileChooser>();
    m_settingsDialogs = std::make_unique<QtSettingsDialogs>(*m_boxes, *m_files, m_frame.get());
    ViewContext context{values,     identity, *m_store,          *m_boxes,    *m_frame,
                        *m_workers, *m_login, *m_passwordDialog, makePeerChat};
    context.screenSaver = m_screenSaver.get();
    context.settingsDialogs = m_settingsDialogs.get();
    m_keyring = std::make_unique<KeychainVault>();
    context.keyring = m_keyring.get();
    m_view = new CKestrelView(context);
    m_frame->SetClient(m_view);
    m_frame->SetForm(m_view);
    m_frame->RestorePosition();

    m_frame->show();
    m_frame->repaint();
    PostMessage(m_frame.get(), WM_SERVICE_STOPPED);
    PostMessage(m_frame.get(), WM_COMMAND, ID_START_SERVICE);
    return true;
}

}  // namespace kestrel
