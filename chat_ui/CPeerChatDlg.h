#pragma once

#include <QString>

#include <functional>
#include <string>

#include "chat_ui/ChatDialog.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kestrel {

class CPeerChat;
class ChatWindowHost;
class MessageBoxes;

// "ピアチャット": the conversation of this run with everyone, a drop-down of the members to
// talk to, the message line and its send button. Modeless; the view opens it and forwards to
// it while it is open.
//
// Messages it takes (posted): WM_MEMBER_EVENT (wParam the kind, second MemberRecord),
// WM_SELECT_MEMBER, WM_SHOW_PEER_MESSAGE (first MemberRecord, second the conversation line the
// view made and filed: a ChatLine, or a std::string of CP932).
class CPeerChatDlg final : public ChatDialog {
public:
    CPeerChatDlg(ChatWindowHost& host, CPeerChat* chat, MessageBoxes& boxes,
                 QWidget* parent = nullptr);

    // A member line to select once the drop-down holds it (the member list's choice).
    void SetPendingSelection(const std::string& line) { m_pending = line; }
    const std::string& PendingSelection() const { return m_pending; }

    // How a conversation line is shown whole: given its CP932 bytes when set, else its
    // Unicode text to showText, the message window, modal, unless replaced.
    std::function<void(const std::string&)> showLine;
    std::function<void(const QString&)> showText;

protected:
    void customEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;
    void showEvent(QShowEvent* event) override;

private:
    void Opening();
    void Send();
    void RefreshMembers();
    void OnMemberEvent(int kind, const struct MemberRecord& record);
    void SelectPending();
    void ShowReceivedLine(const std::string& line, const QString& shown);
    void PickSender(int row);
    void ShowLine(int row);
    void AddConversationLine(const std::string& line, const QString& shown);

    ChatWindowHost& m_host;
    CPeerChat* m_chat;
    MessageBoxes& m_boxes;
    std::string m_pending;

    QComboBox* m_targets;
    QPushButton* m_refresh;
    QListWidget* m_conversation;
    QLineEdit* m_text;
    QPushButton* m_send;
    QPushButton* m_close;

    // The layout as first made: where the list, the edit and the two lower buttons stood.
    struct {
        QRect list, edit, send, close;
        int margin = 0;
        int below = 0;
        bool recorded = false;
    } m_layout;
    bool m_opened = false;
};

}  // namespace kestrel
