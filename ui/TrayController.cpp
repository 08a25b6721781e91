#include "ui/TrayController.h"

#include <QCursor>
#include <QWidget>

#include "platform/MessageEvent.h"
#include "res/Ids.h"
#include "ui/FrameClient.h"
#include "ui/TrayIcon.h"
#include "ui/TrayMenu.h"

namespace kestrel {

TrayController::TrayController(Window window)
    : m_window(std::move(window)),
      m_icon(std::make_unique<TrayIcon>()),
      m_menu(std::make_unique<TrayMenu>()) {
    m_icon->Platform()->setContextMenu(nullptr);
    QObject::connect(m_icon.get(), &TrayIcon::mouseMessage, m_icon.get(),
                     [this](unsigned message) { OnTrayNotify(message); });
    m_menu->SetStateSource([this] { return MenuState(); });
    QObject::connect(m_menu.get(), &TrayMenu::commandChosen, m_menu.get(),
                     [this](unsigned id) { OnTrayCommand(id); });
    QObject::connect(m_menu.get(), &TrayMenu::placeChosen, m_menu.get(),
                     [this](unsigned, const std::string& place) {
                         if (m_client) m_client->ChoosePlace(place);
                     });
}

TrayController::~TrayController() = default;

TrayMenuState TrayController::MenuState() const {
    TrayMenuState state;
    state.mainWindowHidden = m_window.mainWindowHidden();
    if (m_client) {
        state.peerChatActive = m_client->PeerChatActive();
        state.chatWindowOpen = m_client->ChatWindowOpen();
        state.memberListOpen = m_client->MemberListOpen();
        state.present = m_client->UserPresent();
        state.whereabouts = m_client->Whereabouts();
        state.places = m_client->PlacesList();
        state.loginInProgress = m_client->LoginInProgress();
    }
    return state;
}

void TrayController::OnTrayNotify(unsigned mouseMessage) {
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        m_window.widget->activateWindow();
        PostMessage(m_window.widget, WM_SHOW_NOTICE);
    } else if (mouseMessage == WM_RBUTTONDOWN) {
        m_window.widget->activateWindow();
        m_menu->Update(MenuState());
        m_menu->Open(QCursor::pos());
    }
}

void TrayController::OnTrayCommand(unsigned id) {
    switch (id) {
        case ID_OPEN_MAIN_WINDOW:
            m_window.showMainWindow();
            break;
        case ID_TRAY_PEER_CHAT:
            if (m_client && !m_client->ChatWindowOpen()) m_client->OpenChatWindow();
            break;
        case ID_TRAY_MEMBER_LIST:
            if (m_client) m_client->OpenMemberList();
            break;
        case ID_TRAY_AWAY:
            if (m_client && m_client->PeerChatActive()) m_client->PressAway();
            break;
        case ID_TRAY_PRESENT:
            if (m_client && m_client->PeerChatActive()) m_client->PressPresent();
            break;
        case SC_CLOSE:
            m_window.exit();
            break;
        default:
            break;
    }
}

}  // namespace kestrel
