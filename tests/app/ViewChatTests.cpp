// The view's side of the peer chat, through a fake chat link: when the chat starts and ends,
// which commands reach it, and what happens to member events and received messages.
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/CStatusForm.h"
#include "chat/CChatHistory.h"
#include "chat/ChatPacket.h"
#include "chat/MemberRecord.h"
#include "chat_ui/PeerChatLink.h"
#include "chat_ui/PeerChatSession.h"
#include "platform/MessageEvent.h"
#include "res/Cp932.h"
#include "res/Ids.h"
#include "settings/SettingKeys.h"
#include "tests/app/ViewTestSupport.h"
#include "tests/fakes/ChatRecorders.h"
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
    // Stands for the chat window while the fake says it is open.
    QObject* chatWindow = nullptr;
    bool chatWindowOpens = true;
    std::size_t boxesAtStop = 0;
    const test::RecordingMessageBoxes* boxes = nullptr;
};

class FakeChat final : public PeerChatLink {
public:
    FakeChat(ChatLog& log, CChatHistory& history) : m_log(log), m_history(history) {
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
    void OpenChatWindow() override {
        m_log.calls.push_back("chat window");
        if (m_log.chatWindowOpens) m_log.chatWindowOpen = true;
    }
    void CloseMemberList() override {
        m_log.calls.push_back("close member list");
        m_log.memberListOpen = false;
    }
    QObject* ChatWindow() override { return m_log.chatWindowOpen ? m_log.chatWindow : nullptr; }
    void OpenMemberList(bool autoUpdate) override {
        m_log.calls.push_back(std::string("member list ") + (autoUpdate ? "auto" : "manual"));
    }
    void ForwardMemberEvent(MessageEvent& event) override {
        auto record = event.takeSecond<std::string>();
        m_log.memberRecords.push_back(std::to_string(event.wParam()) + " " +
                                      (record ? *record : "-"));
    }
    // Delivered as the real chat delivers it, through this fake's windows.
    void ForwardPeerMessage(MessageEvent& event) override {
        DeliverPeerMessage(*this, m_history, m_messageBeep, event);
    }

private:
    ChatLog& m_log;
    CChatHistory& m_history;
    Spacing m_messageBeep{Spacing::kMessageBeep};
};

class ViewChatTest : public test::ViewTest {
protected:
    void BuildWithChat(int chating) {
        store->Write(key::Chating, chating);
        store->Write(key::MailCheck, 0);
        chat.boxes = &boxes;
        chat.chatWindow = &chatWindow;
        makePeerChat = [this](const PeerChatSetup& setup) {
            return std::make_unique<FakeChat>(chat, setup.history);
        };
        Build();
    }
    bool MenuEnabled(unsigned id) {
        frame->UpdateMenuStates();
        return frame->Action(id)->isEnabled();
    }
    ChatLog chat;
    test::RecordingWindow chatWindow;
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
        view->Service().StartService();
        EXPECT_EQ(view->Form().AwayButton()->isEnabled(), c.kept);
    }
}

TEST_F(ViewChatTest, WindowsOpenOnlyWhileNoneIsInTheWay) {
    store->Write(key::AutoUpdate, 0);
    BuildWithChat(1);
    view->OnCommand(ID_PEER_CHAT);
    chat.chatWindowOpen = false;  // closed again
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

MemberRecord Sender(const char* nickname, const char* host) {
    MemberRecord r;
    CopyField(r.nickname, nickname);
    CopyField(r.host, host);
    return r;
}

TEST_F(ViewChatTest, AMessageGoesToTheChatWindowAndTheHistory) {
    const std::string line = utf8ToCp932("受[Hana(PC02)]  ") + "hello:there";
    struct Case {
        const char* name;
        bool memberListOpen;
        bool chatWindowOpen;
        std::vector<std::string> calls;
    } cases[] = {
        {"member list open", true, false, {"close member list", "chat window"}},
        {"nothing open", false, false, {"chat window"}},
        {"chat window open", false, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        BuildWithChat(1);
        chat.calls.clear();
        chatWindow.received.clear();
        chat.memberListOpen = c.memberListOpen;
        chat.chatWindowOpen = c.chatWindowOpen;
        // The nickname's trailing blanks are not part of the line.
        PostMessage(view, WM_PEER_MESSAGE, 0, 0, own(Sender("Hana   ", "PC02")),
                    own(MessageText{"hello:there"}));
        SpinFor(5);
        EXPECT_EQ(chat.calls, c.calls);
        EXPECT_EQ(view->History().Lines(), std::vector<std::string>{line});
        const auto shown = chatWindow.received;
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].message, WM_SHOW_PEER_MESSAGE);
        ASSERT_TRUE(shown[0].record);
        EXPECT_EQ(FieldText(shown[0].record->host), "PC02");
        EXPECT_EQ(shown[0].line, line);
    }
}

TEST_F(ViewChatTest, AMessageWithNowhereToGoIsDropped) {
    BuildWithChat(1);
    chat.chatWindowOpens = false;
    PostMessage(view, WM_PEER_MESSAGE, 0, 0, own(Sender("Hana", "PC02")), own(MessageText{"a"}));
    SpinFor(5);
    EXPECT_EQ(chat.calls.back(), "chat window");
    // Blocks missing: nothing to show.
    PostMessage(view, WM_PEER_MESSAGE, 0, 0, {}, own(MessageText{"b"}));
    chat.chatWindowOpens = true;
    PostMessage(view, WM_PEER_MESSAGE, 0, 0, own(Sender("Hana", "PC02")));
    SpinFor(5);
    EXPECT_TRUE(view->History().Lines().empty());
    EXPECT_TRUE(chatWindow.received.empty());
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

namespace kestrel {
namespace {

TEST_F(ViewChatTest, AUtf8MessageIsShownAsWrittenAndFiledWithMarks) {
    BuildWithChat(1);
    chat.chatWindowOpen = true;
    MemberRecord sender = Sender("?", "PC02");
    sender.nicknameText = QString::fromUtf8("张😀");
    MessageText text{utf8ToCp932("〓 日本語"), QString::fromUtf8("你好 日本語")};
    PostMessage(view, WM_PEER_MESSAGE, 0, 0, own(sender), own(std::move(text)));
    ASSERT_TRUE(test::SpinUntil([&] { return !chatWindow.received.empty(); }));
    const std::string filed = utf8ToCp932("受[〓〓(PC02)]  〓好 日本語");
    EXPECT_EQ(view->History().Lines(), std::vector<std::string>{filed});
    EXPECT_EQ(view->History().Replaced(), 3u);
    EXPECT_EQ(chatWindow.received[0].line, filed);
    EXPECT_EQ(chatWindow.received[0].shownLine.toStdString(), "受[张😀(PC02)]  你好 日本語");
}

}  // namespace
}  // namespace kestrel
