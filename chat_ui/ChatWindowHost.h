#pragma once

namespace kestrel {

class CChatHistory;
class CPeerChatDlg;

// What the chat windows need of the chat session that owns them. The windows call the Forget
// functions on their way out and go on running for a moment: the session releases a window
// later (deleteLater), never inside these calls.
class ChatWindowHost {
public:
    virtual ~ChatWindowHost() = default;
    // The conversation of this run (the view saves it at exit).
    virtual CChatHistory& ChatHistory() = 0;
    // The chat window is closing: stop forwarding to it.
    virtual void ForgetChatDialog() = 0;
    // The member list window is closing (or giving way to the chat window).
    virtual void ForgetMemberList() = 0;
    // The open chat window, or none.
    virtual CPeerChatDlg* ChatDialog() = 0;
    // The peer chat command (32772): open the chat window when it may be opened.
    virtual void OpenChatDialog() = 0;
    // The member list's automatic update switch, to keep and store as PeerChat/AutoUpdate.
    virtual void StoreAutoUpdate(int autoUpdate) = 0;
};

}  // namespace kestrel
