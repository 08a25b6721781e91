// Where the tray's clicks and menu items go: to the main window, or to the frame's client only
// while the client can take them.
#include <QAction>
#include <QMenu>
#include <QWidget>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/MessageEvent.h"
#include "res/Ids.h"
#include "tests/support/Spin.h"
#include "ui/FrameClient.h"
#include "ui/TrayController.h"
#include "ui/TrayMenu.h"
#include "ui/TrayMenuModel.h"

namespace kestrel {
namespace {

using Calls = std::vector<std::string>;

class RecordingClient final : public FrameClient {
public:
    explicit RecordingClient(Calls& calls) : m_calls(calls) {}
    void OnCommand(unsigned id) override { m_calls.push_back("command " + std::to_string(id)); }
    bool IsCommandEnabled(unsigned) const override { return true; }
    bool IsCommandChecked(unsigned) const override { return false; }
    bool ServiceRunning() const override { return false; }
    bool UserPresent() const override { return present; }
    std::string Whereabouts() const override { return whereabouts; }
    std::string PlacesList() const override { return places; }
    bool PeerChatActive() const override { return chatActive; }
    bool ChatWindowOpen() const override { return chatWindowOpen; }
    bool MemberListOpen() const override { return memberListOpen; }
    bool LoginInProgress() const override { return loginInProgress; }
    void SetStatusIcon(int) override {}
    void OpenChatWindow() override { m_calls.push_back("chat window"); }
    void OpenMemberList() override { m_calls.push_back("member list"); }
    void ChoosePlace(const std::string& place) override { m_calls.push_back("place " + place); }
    void PressPresent() override { m_calls.push_back("present"); }
    void PressAway() override { m_calls.push_back("away"); }
    void OnFrameDestroying() override {}

    bool chatActive = true;
    bool chatWindowOpen = false;
    bool memberListOpen = false;
    bool present = true;
    bool loginInProgress = false;
    std::string whereabouts;
    std::string places;

private:
    Calls& m_calls;
};

// The main window: counts the notices posted to it.
class NoticeWindow final : public QWidget {
public:
    int notices = 0;

protected:
    void customEvent(QEvent* e) override {
        if (MessageEvent* m = asMessage(e); m && m->message() == WM_SHOW_NOTICE) ++notices;
    }
};

class TrayControllerTest : public ::testing::Test {
protected:
    Calls calls;
    RecordingClient client{calls};
    NoticeWindow window;
    bool hidden = false;
    TrayController tray{TrayController::Window{&window, [this] { calls.push_back("main window"); },
                                               [this] { calls.push_back("exit"); },
                                               [this] { return hidden; }}};

    // As the user picks the item from the menu.
    void Choose(unsigned id) {
        tray.Menu().Update(tray.MenuState());
        QAction* action = tray.Menu().Action(id);
        ASSERT_NE(action, nullptr) << id;
        action->trigger();
    }
};

TEST_F(TrayControllerTest, ItemsReachTheClientOnlyWhileItCanTakeThem) {
    struct Case {
        const char* name;
        bool chatActive;
        bool chatWindowOpen;
        unsigned id;
        Calls calls;
    } cases[] = {
        {"main window", true, false, ID_TRAY_OPEN_MAIN_WINDOW, {"main window"}},
        {"exit", true, false, SC_CLOSE, {"exit"}},
        {"chat window", true, false, ID_TRAY_PEER_CHAT, {"chat window"}},
        {"chat window already open", true, true, ID_TRAY_PEER_CHAT, {}},
        {"member list", true, false, ID_TRAY_MEMBER_LIST, {"member list"}},
        {"away", true, false, ID_TRAY_AWAY, {"away"}},
        {"present", true, false, ID_TRAY_PRESENT, {"present"}},
        {"away without the chat", false, false, ID_TRAY_AWAY, {}},
        {"present without the chat", false, false, ID_TRAY_PRESENT, {}},
        {"unknown item", true, false, 4242, {}},
    };
    tray.SetClient(&client);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        calls.clear();
        client.chatActive = c.chatActive;
        client.chatWindowOpen = c.chatWindowOpen;
        tray.OnTrayCommand(c.id);
        EXPECT_EQ(calls, c.calls);
    }
}

TEST_F(TrayControllerTest, TheMenusItemsAndPlacesArriveThroughTheController) {
    tray.SetClient(&client);
    client.places = "Kaigi~:_Lunch~:_";
    hidden = true;  // the menu offers the main window only while it is hidden
    Choose(ID_TRAY_MEMBER_LIST);
    Choose(ID_TRAY_PLACE_FIRST + 1);
    Choose(ID_TRAY_OPEN_MAIN_WINDOW);
    EXPECT_EQ(calls, (Calls{"member list", "place Lunch", "main window"}));
}

TEST_F(TrayControllerTest, WithoutAClientOnlyTheWindowsItemsWork) {
    for (unsigned id : {ID_TRAY_PEER_CHAT, ID_TRAY_MEMBER_LIST, ID_TRAY_AWAY, ID_TRAY_PRESENT,
                        ID_TRAY_OPEN_MAIN_WINDOW, unsigned{SC_CLOSE}})
        tray.OnTrayCommand(id);
    EXPECT_EQ(calls, (Calls{"main window", "exit"}));
    const TrayMenuState state = tray.MenuState();
    EXPECT_FALSE(state.peerChatActive);
    EXPECT_TRUE(state.present);
}

TEST_F(TrayControllerTest, TheMenuStateIsTheWindowsAndTheClientsOfTheMoment) {
    tray.SetClient(&client);
    hidden = true;
    client.chatWindowOpen = true;
    client.present = false;
    client.whereabouts = "Lunch";
    client.places = "Lunch~:_";
    client.loginInProgress = true;
    const TrayMenuState state = tray.MenuState();
    EXPECT_TRUE(state.mainWindowHidden);
    EXPECT_TRUE(state.peerChatActive);
    EXPECT_TRUE(state.chatWindowOpen);
    EXPECT_FALSE(state.memberListOpen);
    EXPECT_FALSE(state.present);
    EXPECT_EQ(state.whereabouts, "Lunch");
    EXPECT_EQ(state.places, "Lunch~:_");
    EXPECT_TRUE(state.loginInProgress);
}

TEST_F(TrayControllerTest, ADoubleClickBringsThePendingNoticeOnce) {
    tray.OnTrayNotify(WM_LBUTTONDBLCLK);
    test::SpinFor(20);
    EXPECT_EQ(window.notices, 1);
    EXPECT_TRUE(calls.empty());
}

}  // namespace
}  // namespace kestrel
