#include "ui/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

#include "platform/MessageEvent.h"
#include "platform/QtText.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsCore.h"
#include "res/TextsFrame.h"
#include "ui/FrameClient.h"
#include "ui/IconCatalog.h"
#include "ui/NoticePresenter.h"
#include "ui/ProgramValues.h"
#include "ui/TrayController.h"
#include "ui/TrayIcon.h"

namespace kestrel {

CMainFrame::CMainFrame(ProgramValues& values, NoticePresenter& notices, SoundPlayer& sound)
    : m_values(values), m_presenter(notices), m_sound(sound), m_logSink(this) {
    // Caption and system menu only: no sizing border, no minimise or maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QString::fromUtf8(txt::kProductTitle));
    setObjectName(QStringLiteral("KestrelMainFrame"));
    BuildMenus();
    m_tray = std::make_unique<TrayController>(TrayController::Window{
        this, [this] { ShowMainWindow(); }, [this] { Exit(); }, [this] { return !m_visible; }});
    ShowIcon(IDI_APP);
}

void CMainFrame::SetClient(FrameClient* client) {
    m_client = client;
    m_tray->SetClient(client);
}

TrayState TrayStateForIcon(int iconId) {
    switch (iconId) {
        case IDI_STOPPED:
            return TrayState::Stopped;
        case IDI_RUNNING:
            return TrayState::Idle;
        case IDI_MAIL:
            return TrayState::Mail;
        case IDI_NEWS:
            return TrayState::News;
        case IDI_NEWS_AND_MAIL:
            return TrayState::NewsAndMail;
        default:
            return TrayState::Starting;
    }
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::SetForm(QWidget* form) {
    setCentralWidget(form);
    // The window is exactly as large as the form needs.
    form->adjustSize();
    adjustSize();
    setFixedSize(sizeHint());
}

void CMainFrame::PostLog(std::string_view text) {
    m_logSink.PostLog(text);
}

QAction* CMainFrame::AddCommand(QMenu* menu, const char* text, unsigned id) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setData(id);
    m_actions[id] = action;
    connect(action, &QAction::triggered, this, [this, id] {
        if (id == ID_APP_EXIT) {
            Exit();
        } else if (id == ID_APP_ABOUT) {
            ShowAbout();
        } else if (m_client) {
            m_client->OnCommand(id);
        }
    });
    return action;
}

void CMainFrame::BuildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* network = bar->addMenu(QString::fromUtf8(txt::kMenuNetwork));
    AddCommand(network, txt::kMenuStartService, ID_START_SERVICE)
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+I")));
    AddCommand(network, txt::kMenuStopService, ID_STOP_SERVICE)
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    network->addSeparator();
    AddCommand(network, txt::kMenuChangePassword, ID_CHANGE_PASSWORD)
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+P")));
    network->addSeparator();
    AddCommand(network, txt::kMenuExit, ID_APP_EXIT);

    QMenu* communicator = bar->addMenu(QString::fromUtf8(txt::kMenuCommunicator));
    AddCommand(communicator, txt::kMenuPeerChat, ID_PEER_CHAT)
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+H")));
    communicator->addSeparator();
    AddCommand(communicator, txt::kMenuCommunicatorOptions, ID_COMMUNICATOR);
    AddCommand(communicator, txt::kMenuBroadcast, ID_BROADCAST_ADDRESSES);
    AddCommand(communicator, txt::kMenuPlaces, ID_PLACES);
    communicator->addSeparator();
    AddCommand(communicator, txt::kMenuCheckSaver, ID_CHECK_SAVER)->setCheckable(true);

    QMenu* options = bar->addMenu(QString::fromUtf8(txt::kMenuOptions));
    AddCommand(options, txt::kMenuEnvironment, ID_ENVIRONMENT);
    AddCommand(options, txt::kMenuTimer, ID_TIMER_SETTINGS);
    AddCommand(options, txt::kMenuSound, ID_SOUND_SETTINGS);
    AddCommand(options, txt::kMenuUserInterface, ID_USER_INTERFACE);

    QMenu* help = bar->addMenu(QString::fromUtf8(txt::kMenuHelp));
    AddCommand(help, txt::kMenuHelpItem, ID_HELP_PAGE)->setShortcut(QKeySequence(Qt::Key_F1));
    help->addSeparator();
    AddCommand(help, txt::kMenuAbout, ID_APP_ABOUT);

    for (QMenu* menu : {network, communicator, options, help})
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateMenuStates);
}

QAction* CMainFrame::Action(unsigned id) const {
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::UpdateMenuStates() {
    for (auto& [id, action] : m_actions) {
        if (id == ID_APP_EXIT || id == ID_APP_ABOUT) continue;
        action->setEnabled(m_client && m_client->IsCommandEnabled(id));
        if (action->isCheckable()) action->setChecked(m_client && m_client->IsCommandChecked(id));
    }
    // While a log-in runs, closing the program is refused.
    if (QAction* exit = Action(ID_APP_EXIT))
        exit->setEnabled(!(m_client && m_client->LoginInProgress()));
}

void CMainFrame::customEvent(QEvent* e) {
    MessageEvent* m = asMessage(e);
    if (!m) return;
    switch (m->message()) {
        case WM_WRITE_LOG:
            HandleWriteLog(*m);
            break;
        case WM_TRAY_NOTIFY:
            m_tray->OnTrayNotify(static_cast<unsigned>(m->lParam()));
            break;
        case WM_SHOW_NOTICE:
            ShowNotice();
            break;
        case WM_RESTORE_POSITION:
            RestorePosition();
            break;
        case WM_SERVICE_STOPPED:
            ShowIcon(IDI_STOPPED);
            m_notices.OnServiceStopped();
            break;
        case WM_SERVICE_STARTED:
            ShowIcon(IDI_RUNNING);
            break;
        case WM_UNREAD_MAIL:
            OnUnreadMail(static_cast<unsigned>(m->wParam()));
            break;
        case WM_NEW_NEWS:
            if (auto list = m->takeFirst<std::string>()) OnNewNews(*list);
            break;
        case WM_SYSCOMMAND:
            OnSysCommand(static_cast<unsigned>(m->wParam()));
            break;
        case WM_COMMAND: {
            const auto id = static_cast<unsigned>(m->wParam());
            if (id == ID_APP_EXIT)
                Exit();
            else if (m_client)
                m_client->OnCommand(id);
            break;
        }
        default:
            break;
    }
}

void CMainFrame::OnSysCommand(unsigned command) {
    switch (command) {
        case ID_START_SERVICE:
        case ID_STOP_SERVICE:
            PostMessage(this, WM_COMMAND, command);
            break;
        case ID_OPEN_MAIN_WINDOW:
            ShowMainWindow();
            break;
        case SC_MINIMIZE:
            HideToTray();
            break;
        default:
            break;
    }
}

void CMainFrame::OnNewNews(std::string_view list) {
    const bool present = !m_client || m_client->UserPresent();
    const auto fx = m_notices.OnNewNews(list, m_values.newsgroupLimit, m_values.sound != 0,
                                        m_values.popup != 0, present);
    if (fx.playSound) m_sound.Play(m_values.soundFile);
    if (fx.icon) ShowIcon(fx.icon);
    if (fx.postNotice) PostMessage(this, WM_SHOW_NOTICE);
}

void CMainFrame::OnUnreadMail(unsigned count) {
    const bool present = !m_client || m_client->UserPresent();
    const auto fx =
        m_notices.OnUnreadMail(count, m_values.sound != 0, m_values.popup != 0, present);
    if (fx.playSound) m_sound.Play(m_values.soundFile);
    if (fx.icon) ShowIcon(fx.icon);
    if (fx.postNotice) PostMessage(this, WM_SHOW_NOTICE);
}

void CMainFrame::ShowNotice() {
    if (m_values.noticeOpen) return;
    const auto popup = m_notices.ChoosePopup();
    if (popup == NoticeState::Popup::None) {
        ShowMainWindow();
        return;
    }
    m_values.noticeOpen = 1;
    switch (popup) {
        case NoticeState::Popup::NewsAndMail:
            m_presenter.ShowNewsAndMail(m_notices.NewGroups(), m_notices.MailText());
            break;
        case NoticeState::Popup::News:
            m_presenter.ShowNews(m_notices.NewGroups());
            break;
        case NoticeState::Popup::Mail:
            m_presenter.ShowMail(m_notices.MailText());
            break;
        case NoticeState::Popup::None:
            break;
    }
    m_values.noticeOpen = 0;
    ShowIcon(m_notices.AfterPopupClosed(m_client && m_client->ServiceRunning()));
}

void CMainFrame::ShowIcon(int iconId) {
    const QIcon icon = IconCatalog::Icon(iconId);
    if (icon.isNull()) return;
    m_icon = iconId;
    setWindowIcon(icon);
    if (m_tray) m_tray->Icon().SetState(TrayStateForIcon(iconId));
    if (m_client) m_client->SetStatusIcon(iconId);
}

void CMainFrame::RestorePosition() {
    move(m_values.left, m_values.top);
}

bool CMainFrame::TrayAvailable() const {
    return m_tray && m_tray->Icon().Available();
}

void CMainFrame::HideToTray() {
    // Without a notification area there is nowhere to come back from: stay reachable.
    if (!TrayAvailable()) {
        showMinimized();
        return;
    }
    hide();
    m_visible = false;
}

void CMainFrame::ShowMainWindow() {
    showNormal();
    raise();
    activateWindow();
    m_visible = true;
}

void CMainFrame::RecordPosition() {
    if (isMinimized()) return;
    const QRect r = frameGeometry();
    m_values.left = r.left();
    m_values.top = r.top();
    m_values.right = r.right();
    m_values.bottom = r.bottom();
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    if (m_exiting) {
        e->accept();
        return;
    }
    e->ignore();
    if (m_client && m_client->LoginInProgress()) return;
    HideToTray();
}

void CMainFrame::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange) {
        if (m_values.firstMove)
            m_values.firstMove = 0;
        else
            RecordPosition();
    } else if (e->type() == QEvent::WindowStateChange && isMinimized() && TrayAvailable()) {
        // Minimising hides to the tray.
        QMetaObject::invokeMethod(
            this, [this] { HideToTray(); }, Qt::QueuedConnection);
    }
    QMainWindow::changeEvent(e);
}

void CMainFrame::Exit() {
    if (m_exiting) return;
    if (m_client && m_client->LoginInProgress()) return;
    m_exiting = true;
    if (m_tray) m_tray->Icon().Remove();
    RecordPosition();
    if (m_client) m_client->OnFrameDestroying();
    close();
    QApplication::quit();
}

void CMainFrame::ShowAbout() {
    QDialog box(this);
    box.setWindowTitle(QString::fromUtf8(txt::kAboutCaption));
    auto* icon = new QLabel;
    icon->setPixmap(IconCatalog::Icon(IDI_APP).pixmap(32, 32));
    auto* texts = new QVBoxLayout;
    texts->addWidget(new QLabel(QString::fromUtf8(txt::kProductTitle)));
    texts->addWidget(new QLabel(QString::fromUtf8(txt::kAboutVersion)));
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(texts);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    auto* layout = new QVBoxLayout(&box);
    layout->addLayout(row);
    layout->addWidget(buttons);
    box.exec();
}

}  // namespace kestrel
