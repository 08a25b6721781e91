#pragma once

#include <QPointer>

#include <functional>
#include <memory>

#include "chat/PeerGuards.h"
#include "chat_ui/CMemberListDlg.h"
#include "chat_ui/CPeerChatDlg.h"
#include "chat_ui/CSeatNoticeDlg.h"
#include "chat_ui/ChatWindowHost.h"
#include "chat_ui/PeerChatLink.h"
#include "chat_ui/ToneBeeper.h"
#include "platform/Timing.h"

namespace kestrel {

class CChatHistory;
class CPeerChat;
class LogSink;
class MessageBoxes;
struct LocalIdentity;

// What becomes of a received message (WM_PEER_MESSAGE: first the sender's MemberRecord,
// second the MessageText), whatever the link: it takes the user to the conversation, so the
// member list gives way to the chat window, which opens if need be; the line goes into the
// history and to the chat window (WM_SHOW_PEER_MESSAGE), and the speaker beeps, at most once in the
// beep's stretch. A message with a block missing, or with no window to show it, is dropped.
void DeliverPeerMessage(PeerChatLink& chat, CChatHistory& history, Spacing& beep,
                        MessageEvent& message);

// The real peer chat of the view: the IP Messenger peer, the chat window and the member list,
// the speaker for the seat-return beep and the seat notices. The windows are children of the
// setup's parent; they are released here, after they have said they are going (deleteLater),
// or at the latest with this object, before the peer announces its exit.
class PeerChatSession final : public PeerChatLink, public ChatWindowHost {
public:
    PeerChatSession(const PeerChatSetup& setup, const LocalIdentity& identity, MessageBoxes& boxes,
                    LogSink* log, const Timing& timing = ProgramTiming());
    ~PeerChatSession() override;
    PeerChatSession(const PeerChatSession&) = delete;
    PeerChatSession& operator=(const PeerChatSession&) = delete;

    // PeerChatLink
    bool Start() override;
    void Stop() override;
    void PresenceChanged() override;
    void BroadcastListChanged() override;
    bool ChatWindowOpen() const override { return !m_chatWindow.isNull(); }
    bool MemberListOpen() const override { return !m_memberList.isNull(); }
    void OpenChatWindow() override;
    void OpenMemberList(bool autoUpdate) override;
    void CloseMemberList() override;
    QObject* ChatWindow() override;
    void ForwardMemberEvent(MessageEvent& event) override;
    void ForwardPeerMessage(MessageEvent& event) override;

    // ChatWindowHost
    CChatHistory& ChatHistory() override;
    void ForgetChatDialog() override;
    void ForgetMemberList() override;
    CPeerChatDlg* ChatDialog() override;
    void OpenChatDialog() override;
    void StoreAutoUpdate(int autoUpdate) override;

    CPeerChat* Chat() const { return m_chat.get(); }
    CMemberListDlg* MemberList() const { return m_memberList.data(); }
    const SeatNoticeWindows& SeatNotices() const { return m_notices; }

private:
    void ReleaseWindows();

    QWidget* m_parent;
    CChatHistory& m_history;
    Spacing m_messageBeep{Spacing::kMessageBeep};
    std::function<void(int)> m_storeAutoUpdate;
    MessageBoxes& m_boxes;
    Timing m_timing;
    ToneBeeper m_beeper;
    SeatNoticeWindows m_notices;
    std::unique_ptr<CPeerChat> m_chat;
    QPointer<CPeerChatDlg> m_chatWindow;
    QPointer<CMemberListDlg> m_memberList;
};

}  // namespace kestrel
