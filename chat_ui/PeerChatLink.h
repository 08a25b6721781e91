#pragma once

#include <functional>
#include <memory>

#include "chat/ChatFacilities.h"
#include "platform/MessageEvent.h"

class QObject;
class QWidget;

namespace kestrel {

class CChatHistory;

// What the controller view needs of the peer chat and its two windows, and nothing more.
// The view owns at most one; without it (peer chat off, or its start failed) the presence
// controls stay grey and the chat commands do nothing. The frame never sees this: it asks the
// view, and the view asks here.
class PeerChatLink {
public:
    virtual ~PeerChatLink() = default;

    // Opens the chat socket and announces this station; false when the chat cannot run (it
    // has shown its own message then), and the view drops it.
    virtual bool Start() = 0;
    // Program exit: announce the leave and close the socket. The view drops it afterwards.
    virtual void Stop() = 0;

    // Own presence or whereabouts changed; the chat tells its peers.
    virtual void PresenceChanged() = 0;
    // The broadcast address list in the settings changed.
    virtual void BroadcastListChanged() = 0;

    virtual bool ChatWindowOpen() const = 0;
    virtual bool MemberListOpen() const = 0;
    // The view calls these only when the window may open: no chat window open, and for the
    // member list no member list either.
    virtual void OpenChatWindow() = 0;
    virtual void OpenMemberList(bool autoUpdate) = 0;
    // A message came in: the member list gives way to the chat window at once, without
    // storing its automatic update switch.
    virtual void CloseMemberList() = 0;
    // Where received lines are posted (WM_SHOW_PEER_MESSAGE); none while no chat window is open.
    virtual QObject* ChatWindow() = 0;

    // A member came, went or changed: handed on to the chat window if open, else to the
    // member list if open, else dropped. The event's blocks go with it.
    virtual void ForwardMemberEvent(MessageEvent& event) = 0;
    // A message came in (WM_PEER_MESSAGE): shown in the chat window and kept in the history.
    // The event's blocks go with it.
    virtual void ForwardPeerMessage(MessageEvent& event) = 0;
};

// What the view gives the chat it makes.
struct PeerChatSetup {
    ChatSettings settings;
    // The conversation of this run; the view offers to save it at exit.
    CChatHistory& history;
    // The chat's windows are its children; the peer posts WM_PEER_MESSAGE and WM_MEMBER_EVENT
    // to it, and it hands them back to the chat.
    QWidget* parent;
    // Keeps and stores the member list's automatic update switch.
    std::function<void(int autoUpdate)> storeAutoUpdate;
};

// Called while the view is being built.
using PeerChatMaker = std::function<std::unique_ptr<PeerChatLink>(const PeerChatSetup& setup)>;

}  // namespace kestrel
