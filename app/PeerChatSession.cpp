#include "app/PeerChatSession.h"

#include "app/CKestrelView.h"
#include "chat/CMemberListDlg.h"
#include "chat/CPeerChat.h"
#include "chat/CPeerChatDlg.h"
#include "chat/ChatIds.h"
#include "chat/MemberRecord.h"
#include "platform/MessageEvent.h"
#include "res/Ids.h"

namespace kestrel {

namespace {

void ShowInFront(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

// A window that has said it is going finishes its own handler first; it goes later.
template <class Window>
void Release(QPointer<Window>& window) {
    if (Window* w = window.data()) {
        window = nullptr;
        w->hide();
        w->deleteLater();
    }
}

}  // namespace

PeerChatSession::PeerChatSession(CKestrelView& view, const LocalIdentity& identity,
                                 MessageBoxes& boxes, LogSink* log, const Timing& timing)
    : m_view(view), m_boxes(boxes), m_timing(timing), m_notices(&view) {
    PeerChatContext context;
    context.view = &view;
    context.log = log;
    context.boxes = &boxes;
    context.beeper = &m_beeper;
    context.seatNotices = &m_notices;
    ChatSettings settings;
    settings.chatPort = view.Settings().ChatPort;
    // The broadcast list is read at each send, so a changed list counts from the next packet.
    settings.broadIPs = [&view] { return view.Settings().BroadIPs; };
    m_chat = std::make_unique<CPeerChat>(context, identity, settings, timing);
}

PeerChatSession::~PeerChatSession() {
    Stop();
}

void PeerChatSession::ReleaseWindows() {
    // The windows hold the peer; they go before it does.
    delete m_chatWindow.data();
    delete m_memberList.data();
}

bool PeerChatSession::Start() {
    return m_chat && m_chat->Start();
}

void PeerChatSession::Stop() {
    ReleaseWindows();
    m_chat.reset();
}

void PeerChatSession::PresenceChanged() {
    if (m_chat) PostMessage(m_chat.get(), WM_PRESENCE_CHANGED);
}

void PeerChatSession::BroadcastListChanged() {
    if (m_chat) PostMessage(m_chat.get(), WM_BROADCAST_LIST_CHANGED);
}

void PeerChatSession::OpenChatWindow() {
    if (m_chatWindow || !m_chat) return;
    m_chatWindow = new CPeerChatDlg(*this, m_chat.get(), m_boxes, &m_view);
    ShowInFront(m_chatWindow);
}

void PeerChatSession::OpenMemberList(bool autoUpdate) {
    if (m_memberList || m_chatWindow || !m_chat) return;
    m_memberList =
        new CMemberListDlg(*this, m_chat.get(), m_boxes, autoUpdate ? 1 : 0, m_timing, &m_view);
    ShowInFront(m_memberList);
}

void PeerChatSession::CloseMemberList() {
    Release(m_memberList);
}

QObject* PeerChatSession::ChatWindow() {
    return m_chatWindow.data();
}

void PeerChatSession::ForwardMemberEvent(MessageEvent& event) {
    QObject* target = m_chatWindow ? static_cast<QObject*>(m_chatWindow.data())
                                   : static_cast<QObject*>(m_memberList.data());
    auto record = event.takeSecond<MemberRecord>();
    if (!target || !record) return;
    PostMessage(target, WM_MEMBER_EVENT, event.wParam(), event.lParam(), {}, own(*record));
}

CChatHistory& PeerChatSession::ChatHistory() {
    return m_view.History();
}

void PeerChatSession::ForgetChatDialog() {
    Release(m_chatWindow);
}

void PeerChatSession::ForgetMemberList() {
    Release(m_memberList);
}

CPeerChatDlg* PeerChatSession::ChatDialog() {
    return m_chatWindow.data();
}

void PeerChatSession::OpenChatDialog() {
    // As the menu command does, with the view's own checks.
    m_view.OnCommand(ID_PEER_CHAT);
}

void PeerChatSession::StoreAutoUpdate(int autoUpdate) {
    m_view.SetAutoUpdate(autoUpdate);
}

}  // namespace kestrel
