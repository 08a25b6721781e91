// The view's side of the peer chat, through a fake chat link: when the chat starts and ends,
// which commands reach it, and what happens to member events.
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/CStatusForm.h"
#include "app/PeerChatLink.h"
#include "app/SettingKeys.h"
#include "platform/MessageEvent.h"
#include "res/Ids.h"
#include "tests/app/ViewTestSupport.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::SpinFor;

// What the fake chat was asked; outlives the chat, which the view owns.
struct ChatLog {
    bool startResult = true;
    int made = 0;
    int alive = 0;
    bool chatWindowOpen = false;
    bool memberListOpen = false;
    std::vector<std::string> calls;
    std::vector<std::string> memberRecords;
    std::size_t boxesAtStop = 0;
    const test::RecordingMessageBoxes* boxes = nullptr;
};

class FakeChat final : public PeerChatLink {
public:
    explicit FakeChat(ChatLog& log) : m_log(log) {
        ++m_log.made;
        ++m_log.alive;
    }
    ~FakeChat() override { --m_log.alive; }
    bool Start() override {
        m_log.calls.push_back("start");
        return m_log.startResult;
    }
    void Stop() override {
        m_log.calls.push_back("stop");
        m_log.boxesAtStop = m_log.boxes->boxes.size();
    }
    void PresenceChanged() override { m_log.calls.push_back("presence"); }
    void BroadcastListChanged() override { m_log.calls.push_back("broadcast"); }
    bool ChatWindowOpen() const override { return m_log.chatWindowOpen; }
    bool MemberListOpen() const override { return m_log.memberListOpen; }
    void OpenChatWindow() override { m_log.calls.push_back("chat window"); }
    void OpenMemberList(bool autoUpdate) override {
        m_log.calls.push_back(std::string("member list ") + (autoUpdate ? "auto" : "manual"));
    }
    void ForwardMemberEvent(MessageEvent& event) override {
        auto record = event.takeSecond<std::string>();
        m_log.memberRecords.push_back(std::to_string(event.wParam()) + " " +
                                      (record ? *record : "-"));
    }

private:
    ChatLog& m_log;
};

class ViewChatTest : public test::ViewTest {
protected:
    void BuildWithChat(int chating) {
        store->Write(key::Chating, chating);
        store->Write(key::MailCheck, 0);
        chat.boxes = &boxes;
        makePeerChat = [this] { return std::make_unique<FakeChat>(chat); };
        Build();
    }
    bool MenuEnabled(unsigned id) {
        frame->UpdateMenuStates();
        return frame->Action(id)->isEnabled();
    }
    ChatLog chat;
};

TEST_F(ViewChatTest, ChatStartsWithTheViewOnlyWhenSwitchedOnAndStarted) {
    struct Case {
        int chating;
        bool startResult;
        bool kept;
    } cases[] = {{1, true, true}, {1, false, false}, {0, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.chating << c.startResult);
        Reset();
        chat = {};
        chat.startResult = c.startResult;
        BuildWithChat(c.chating);
        EXPECT_EQ(chat.made, c.chating);
        EXPECT_EQ(chat.alive, c.kept ? 1 : 0);
        EXPECT_EQ(view->PeerChatActive(), c.kept);
        EXPECT_EQ(view->Form().PresentButton()->isEnabled(), c.kept);
        EXPECT_EQ(view->Form().MemberListButton()->isEnabled(), c.kept);
        EXPECT_EQ(MenuEnabled(ID_PEER_CHAT), c.kept);
        // The first start still leaves the presence controls as the chat decided.
        view->StartService();
        EXPECT_EQ(view->Form().AwayButton()->isEnabled(), c.kept);
    }
}

TEST_F(ViewChatTest, WindowsOpenOnlyWhileNoneIsInTheWay) {
    store->Write(key::AutoUpdate, 0);
    BuildWithChat(1);
    view->OnCommand(ID_PEER_CHAT);
    view->Form().MemberListButton()->click();
    EXPECT_EQ(chat.calls, (std::vector<std::string>{"start", "chat window", "member list manual"}));

    chat.calls.clear();
    chat.memberListOpen = true;
    EXPECT_FALSE(MenuEnabled(ID_PEER_CHAT));
    view->OpenMemberList();
    view->OpenChatWindow();  // the tray may still ask for the chat window
    EXPECT_EQ(chat.calls, (std::vector<std::string>{"chat window"}));

    chat.calls.clear();
    chat.memberListOpen = false;
    chat.chatWindowOpen = true;
    view->OnCommand(ID_PEER_CHAT);
    view->OpenChatWindow();
    view->OpenMemberList();
    EXPECT_TRUE(chat.calls.empty());
}

TEST_F(ViewChatTest, MemberEventsReachTheChatWithTheirRecord) {
    BuildWithChat(1);
    PostMessage(view, WM_MEMBER_EVENT, 2, 0, {}, own(std::string("hanako")));
    PostMessage(view, WM_MEMBER_EVENT, 3, 0);
    PostMessage(view, WM_PEER_MESSAGE, 0, 0, {}, own(std::string("not a member event")));
    SpinFor(5);
    EXPECT_EQ(chat.memberRecords, (std::vector<std::string>{"2 hanako", "3 -"}));
}

TEST_F(ViewChatTest, ExitAsksAboutTheHistoryThenStopsTheChat) {
    BuildWithChat(1);
    view->History().Add("line");
    boxes.answers.push_back(BoxAnswer::No);
    view->OnFrameDestroying();
    EXPECT_EQ(chat.calls, (std::vector<std::string>{"start", "stop"}));
    EXPECT_EQ(chat.boxesAtStop, 1u);
    EXPECT_EQ(chat.alive, 0);
    EXPECT_FALSE(view->PeerChatActive());
}

}  // namespace
}  // namespace kestrel
