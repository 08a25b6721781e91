#pragma once

#include <string>

#include "chat_ui/ChatDialog.h"
#include "platform/Timing.h"
#include "platform/WindowTimers.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace kestrel {

class CPeerChat;
class ChatWindowHost;
class MessageBoxes;
struct MemberRecord;

// "メンバリスト": every member with presence and whereabouts, the refresh, and the seat-wait
// registration. Modeless; the view forwards member events to it while no chat window is open.
//
// Messages it takes (posted): WM_MEMBER_EVENT (wParam the kind, second MemberRecord).
class CMemberListDlg final : public ChatDialog {
public:
    CMemberListDlg(ChatWindowHost& host, CPeerChat* chat, MessageBoxes& boxes, int autoUpdate,
                   const Timing& timing = ProgramTiming(), QWidget* parent = nullptr);

    int AutoUpdate() const;

protected:
    void customEvent(QEvent* e) override;
    void done(int result) override;

private:
    void InitialFill();
    void Refresh();
    void OnTimer(int id);
    void Rebuild();
    void RebuildSeatWait(const std::vector<MemberRecord>& members);
    void OnAutoUpdate();
    void OnMemberEvent(int kind, const MemberRecord& record);
    void Register();
    void Unregister();
    void ChatWithSelection();
    void ShowCount();
    std::string SelectedParticipant() const;
    std::string SelectedWaiting() const;

    ChatWindowHost& m_host;
    CPeerChat* m_chat;
    MessageBoxes& m_boxes;
    Timing m_timing;
    WindowTimers m_timers;
    bool m_leavingForChat = false;

    QListWidget* m_participants;
    QListWidget* m_waiting;
    QLabel* m_count;
    QPushButton* m_refresh;
    QCheckBox* m_autoUpdate;
    QPushButton* m_register;
    QPushButton* m_unregister;
    QPushButton* m_chatButton;
    QPushButton* m_close;
};

}  // namespace kestrel
