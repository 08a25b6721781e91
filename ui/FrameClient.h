#pragma once

#include <string>

namespace kestrel {

// What the main frame asks of the controller view it frames: the commands it routes, the
// state its menus show, and the tray menu's actions.
class FrameClient {
public:
    virtual ~FrameClient() = default;

    virtual void OnCommand(unsigned id) = 0;
    virtual bool IsCommandEnabled(unsigned id) const = 0;
    virtual bool IsCommandChecked(unsigned id) const = 0;

    virtual bool ServiceRunning() const = 0;
    virtual bool UserPresent() const = 0;         // presence choice on the status form
    virtual std::string Whereabouts() const = 0;  // CP932
    virtual std::string PlacesList() const = 0;   // "~:_" list, CP932
    virtual bool PeerChatActive() const = 0;
    virtual bool ChatWindowOpen() const = 0;
    virtual bool MemberListOpen() const = 0;
    virtual bool LoginInProgress() const = 0;

    virtual void SetStatusIcon(int iconId) = 0;
    virtual void OpenChatWindow() = 0;
    virtual void OpenMemberList() = 0;
    virtual void ChoosePlace(const std::string& place) = 0;
    virtual void PressPresent() = 0;
    virtual void PressAway() = 0;

    // The frame is going away: the view's destroy handling (chat history, then the peer
    // chat's end) runs now.
    virtual void OnFrameDestroying() = 0;
};

}  // namespace kestrel
