#pragma once

#include <QPointer>

#include <memory>

#include "app/PeerChatLink.h"
#include "chat/CMemberListDlg.h"
#include "chat/CPeerChatDlg.h"
#include "chat/CSeatNoticeDlg.h"
#include "chat/ChatWindowHost.h"
#include "chat/ToneBeeper.h"
#include "platform/Timing.h"

namespace kestrel {

class CKestrelView;
class CPeerChat;
class LogSink;
class MessageBoxes;
struct LocalIdentity;

// The real peer chat of the view: the IP Messenger peer, the chat window and the member list,
// the speaker for the seat-return beep and the seat notices. The windows are the view's
// children; they are released here, after they have said they are going (deleteLater), or
// at the latest with this object, before the peer announces its exit.
class PeerChatSession final : public PeerChatLink, public ChatWindowHost {
public:
    PeerChatSession(CKestrelView& view, const LocalIdentity& identity, MessageBoxes& boxes,
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

    CKestrelView& m_view;
    MessageBoxes& m_boxes;
    Timing m_timing;
    ToneBeeper m_beeper;
    SeatNoticeWindows m_notices;
    std::unique_ptr<CPeerChat> m_chat;
    QPointer<CPeerChatDlg> m_chatWindow;
    QPointer<CMemberListDlg> m_memberList;
};

}  // namespace kestrel
