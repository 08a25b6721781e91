#include "chat_ui/PeerChatSession.h"

#include <QApplication>

#include <string>

#include "chat/CChatHistory.h"
#include "chat/CPeerChat.h"
#include "chat/ChatIds.h"
#include "chat/ChatPacket.h"
#include "chat/MemberRecord.h"
#include "chat/PeerText.h"
#include "chat_ui/CMemberListDlg.h"
#include "chat_ui/CPeerChatDlg.h"
#include "chat_ui/ChatLists.h"
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

void DeliverPeerMessage(PeerChatLink& chat, CChatHistory& history, Spacing& beep,
                        MessageEvent& message) {
    const auto sender = message.takeFirst<MemberRecord>();
    const auto text = message.takeSecond<MessageText>();
    if (!sender || !text) return;
    if (chat.MemberListOpen()) chat.CloseMemberList();
    if (!chat.ChatWindowOpen()) chat.OpenChatWindow();
    QObject* window = chat.ChatWindow();
    if (!window) return;
    // A message that came in CP932 is filed as it came; one in UTF-8 goes into the file as
    // CP932, with "〓" for what CP932 lacks, and is shown as written.
    if (text->unicode.isNull()) {
        std::string line = ReceivedChatLine(*sender, text->text);
        const QString shown = ReceivedChatLineText(*sender, FromCp932(text->text));
        history.Add(line, shown);
    } else {
        history.AddShown(ReceivedChatLineText(*sender, text->unicode));
    }
    PostMessage(window, WM_SHOW_PEER_MESSAGE, 0, 0, own(*sender),
                own(ChatLine{history.Lines().back(), history.Shown().back()}));
    if (beep.Due()) QApplication::beep();
}

PeerChatSession::PeerChatSession(const PeerChatSetup& setup, const LocalIdentity& identity,
                                 MessageBoxes& boxes, LogSink* log, const Timing& timing)
    : m_parent(setup.parent),
      m_history(setup.history),
      m_storeAutoUpdate(setup.storeAutoUpdate),
      m_boxes(boxes),
      m_timing(timing),
      m_notices(setup.parent) {
    PeerChatContext context;
    context.view = setup.parent;
    context.log = log;
    context.boxes = &boxes;
    context.beeper = &m_beeper;
    context.seatNotices = &m_notices;
    m_chat = std::make_unique<CPeerChat>(context, identity, setup.settings, timing);
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
    m_chatWindow = new CPeerChatDlg(*this, m_chat.get(), m_boxes, m_parent);
    ShowInFront(m_chatWindow);
}

void PeerChatSession::OpenMemberList(bool autoUpdate) {
    if (m_memberList || m_chatWindow || !m_chat) return;
    m_memberList =
        new CMemberListDlg(*this, m_chat.get(), m_boxes, autoUpdate ? 1 : 0, m_timing, m_parent);
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

void PeerChatSession::ForwardPeerMessage(MessageEvent& event) {
    DeliverPeerMessage(*this, m_history, m_messageBeep, event);
}

CChatHistory& PeerChatSession::ChatHistory() {
    return m_history;
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
    // As the peer chat command: not while the member list is open.
    if (!MemberListOpen()) OpenChatWindow();
}

void PeerChatSession::StoreAutoUpdate(int autoUpdate) {
    if (m_storeAutoUpdate) m_storeAutoUpdate(autoUpdate);
}

}  // namespace kestrel
