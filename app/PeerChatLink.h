#pragma once

#include <functional>
#include <memory>

#include "platform/MessageEvent.h"

class QObject;

namespace kestrel {

class CKestrelView;

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
};

// Called while the view is being built, with the view the chat posts to and files its lines in.
using PeerChatMaker = std::function<std::unique_ptr<PeerChatLink>(CKestrelView& view)>;

}  // namespace kestrel
