// The view with the real peer chat and its windows, in a network namespace of its own, with a
// scripted IP Messenger peer across a veth pair.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "app/CStatusForm.h"
#include "chat/CPeerChat.h"
#include "chat/ChatIds.h"
#include "chat/PeerGuards.h"
#include "chat_ui/CMemberListDlg.h"
#include "chat_ui/CPeerChatDlg.h"
#include "chat_ui/ChatLists.h"
#include "chat_ui/PeerChatSession.h"
#include "platform/ProgramDir.h"
#include "res/Cp932.h"
#include "res/Ids.h"
#include "settings/SettingKeys.h"
#include "tests/app/ViewTestSupport.h"
#include "tests/fakes/ScriptedChatPeer.h"
#include "tests/fakes/ScriptedSettingsDialogs.h"
#include "tests/support/PrivateNetwork.h"

namespace kestrel {
namespace {

using test::PrivateNetwork;
using test::SpinFor;
using test::SpinUntil;

constexpr const char* kProgram = PrivateNetwork::kProgramAddress;

std::vector<std::string> Lines(const QListWidget* list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list->count(); ++i) lines.push_back(chatlist::LineOf(list->item(i)));
    return lines;
}

bool AnyContains(const std::vector<std::string>& lines, const std::string& text) {
    for (const auto& l : lines)
        if (l.find(text) != std::string::npos) return true;
    return false;
}

class PeerChatSessionTest : public test::ViewTest {
protected:
    PeerChatSessionTest() : network(PrivateNetwork::Shape::VethPair) {}

    void SetUp() override {
        test::ViewTest::SetUp();
        ASSERT_TRUE(network.Ok()) << PrivateNetwork::kWhy;
        network.InPeer([this] { peer = std::make_unique<test::ScriptedChatPeer>(2425); });
        ASSERT_TRUE(peer && peer->Ok());
        store->Write(key::Chating, 1);
        store->Write(key::MailCheck, 0);
        store->Write(key::AliaseName, std::string("Taro"));
        makePeerChat = [this](const PeerChatSetup& setup) {
            auto made = std::make_unique<PeerChatSession>(setup, identity, boxes, frame.get(),
                                                          Timing{}.Scaled(0.05));
            session = made.get();
            return made;
        };
        settingsDialogs = &dialogs;
        Build();
        ASSERT_TRUE(view->PeerChatActive());
        // The program's own entry comes back to it: it is listed, so the peer has it too.
        ASSERT_TRUE(SpinUntil([&] { return session->Chat()->Members().Find(kProgram); }));
    }

    void TearDown() override {
        session = nullptr;
        test::ViewTest::TearDown();
    }

    void PeerSays(const std::string& text) { ASSERT_TRUE(peer->SendText(text, kProgram, 2425)); }
    bool PeerGets(int command, std::size_t count = 1) {
        return SpinUntil([&] {
            peer->Poll();
            return peer->WithCommand(command).size() >= count;
        });
    }
    QListWidget* Participants() const {
        return session->MemberList()->findChild<QListWidget*>(QStringLiteral("participants1041"));
    }
    template <class T>
    T* InChat(const char* name) const {
        return session->ChatDialog()->findChild<T*>(QString::fromLatin1(name));
    }
    std::vector<std::string> Targets() const {
        auto* box = InChat<QComboBox>("targets1017");
        std::vector<std::string> lines;
        for (int i = 0; i < box->count(); ++i) lines.push_back(chatlist::LineAt(*box, i));
        return lines;
    }

    PrivateNetwork network;
    std::unique_ptr<test::ScriptedChatPeer> peer;
    PeerChatSession* session = nullptr;
    test::ScriptedSettingsDialogs dialogs;
};

// The program announces that it reads UTF-8 with its entries and their answers.
constexpr int kEntry = IPMSG_BR_ENTRY | IPMSG_CAPUTF8OPT;
constexpr int kAnswer = IPMSG_ANSENTRY | IPMSG_CAPUTF8OPT;

TEST_F(PeerChatSessionTest, AConversationFromTheMemberListToTheSavedHistory) {
    ASSERT_TRUE(PeerGets(kEntry));
    view->OpenMemberList();
    ASSERT_TRUE(session->MemberListOpen());
    PeerSays("1:500:hana:PC02:1:Hana");
    ASSERT_TRUE(SpinUntil([&] { return AnyContains(Lines(Participants()), "Hana"); }));
    ASSERT_TRUE(PeerGets(kAnswer));

    // A message: the member list gives way to the chat window, which shows the line once.
    PeerSays("1:501:hana:PC02:288:hello");
    ASSERT_TRUE(SpinUntil([&] { return view->History().Lines().size() == 1; }));
    const std::string line = utf8ToCp932("受[Hana(PC02)]  hello");
    EXPECT_EQ(view->History().Lines()[0], line);
    EXPECT_FALSE(session->MemberListOpen());
    ASSERT_TRUE(session->ChatWindowOpen());
    auto* conversation = InChat<QListWidget>("conversation1019");
    ASSERT_TRUE(SpinUntil([&] { return conversation->count() >= 1; }));
    SpinFor(20);
    EXPECT_EQ(Lines(conversation), std::vector<std::string>{line});
    ASSERT_TRUE(PeerGets(IPMSG_RECVMSG));
    const std::string ack = peer->WithCommand(IPMSG_RECVMSG)[0].text();
    EXPECT_EQ(ack.substr(ack.rfind(':') + 1), "501");
    EXPECT_FALSE(view->IsCommandEnabled(ID_PEER_CHAT));

    // An answer typed in the window reaches the peer; its acknowledgement ends the wait.
    auto* targets = InChat<QComboBox>("targets1017");
    const int hana = chatlist::FindContaining(*targets, "Hana");
    ASSERT_GE(hana, 0);
    targets->setCurrentIndex(hana);
    InChat<QLineEdit>("text1006")->setText(QStringLiteral("ohayo"));
    InChat<QPushButton>("send1025")->click();
    ASSERT_TRUE(PeerGets(IPMSG_SENDMSG | IPMSG_SENDCHECKOPT));
    const std::string sent = peer->WithCommand(IPMSG_SENDMSG | IPMSG_SENDCHECKOPT)[0].text();
    EXPECT_EQ(sent.substr(sent.rfind(':') + 1), "ohayo");
    EXPECT_TRUE(session->Chat()->AwaitingAcknowledgement());
    const std::string number = sent.substr(2, sent.find(':', 2) - 2);
    PeerSays("1:502:hana:PC02:33:" + number);
    ASSERT_TRUE(SpinUntil([&] { return !session->Chat()->AwaitingAcknowledgement(); }));
    EXPECT_EQ(view->History().Lines().size(), 2u);

    // With the chat window open, member events go to it: the leaving peer leaves its list.
    PeerSays("1:503:hana:PC02:2:Hana");
    ASSERT_TRUE(SpinUntil([&] { return !AnyContains(Targets(), "Hana"); }));

    // Exit: the history is saved on yes, then the peer hears the leave.
    boxes.answers.push_back(BoxAnswer::Yes);
    const std::size_t exitsBefore = peer->WithCommand(IPMSG_BR_EXIT).size();
    view->OnFrameDestroying();
    EXPECT_FALSE(view->PeerChatActive());
    ASSERT_TRUE(PeerGets(IPMSG_BR_EXIT, exitsBefore + 1));
    char date[16] = {};
    const std::time_t now = clock.Now();
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%y%m%d", &local);
    std::ifstream saved(ProgramDir() + "/" + utf8ToCp932("会話履歴") + date + ".txt",
                        std::ios::binary);
    ASSERT_TRUE(saved.good());
    std::stringstream content;
    content << saved.rdbuf();
    EXPECT_NE(content.str().find(line + "\r\n"), std::string::npos);
    EXPECT_NE(content.str().find("ohayo\r\n"), std::string::npos);
}

TEST_F(PeerChatSessionTest, TheMemberListHandsOverToTheChatWindowThroughTheView) {
    PeerSays("1:500:hana:PC02:1:Hana");
    view->OpenMemberList();
    ASSERT_TRUE(SpinUntil([&] { return AnyContains(Lines(Participants()), "Hana"); }));
    auto* list = Participants();
    for (int i = 0; i < list->count(); ++i)
        if (chatlist::LineOf(list->item(i)).find("Hana") != std::string::npos)
            list->setCurrentRow(i);
    session->MemberList()->findChild<QPushButton*>(QStringLiteral("chat1"))->click();
    EXPECT_FALSE(session->MemberListOpen());
    ASSERT_TRUE(session->ChatWindowOpen());
    ASSERT_TRUE(SpinUntil([&] {
        auto* box = InChat<QComboBox>("targets1017");
        return chatlist::LineAt(*box, box->currentIndex()).find("Hana") != std::string::npos;
    }));

    // Closing the chat window frees the command again; closing the member list keeps its switch.
    InChat<QPushButton>("close1")->click();
    EXPECT_FALSE(session->ChatWindowOpen());
    EXPECT_TRUE(view->IsCommandEnabled(ID_PEER_CHAT));
    view->OpenMemberList();
    ASSERT_TRUE(session->MemberListOpen());
    session->MemberList()
        ->findChild<QCheckBox*>(QStringLiteral("autoUpdate1072"))
        ->setChecked(false);
    session->MemberList()->findChild<QPushButton*>(QStringLiteral("close2"))->click();
    EXPECT_FALSE(session->MemberListOpen());
    EXPECT_EQ(view->Settings().AutoUpdate, 0);
    EXPECT_EQ(store->GetInt(key::AutoUpdate), 0);
}

TEST_F(PeerChatSessionTest, AWaitedMemberBackAtTheDeskIsAnnouncedOnce) {
    view->OpenMemberList();
    PeerSays("1:500:hana:PC02:257:Hana[" + utf8ToCp932("会議室") + "]");
    ASSERT_TRUE(SpinUntil([&] { return AnyContains(Lines(Participants()), "Hana"); }));
    auto* list = Participants();
    for (int i = 0; i < list->count(); ++i)
        if (chatlist::LineOf(list->item(i)).find("Hana") != std::string::npos)
            list->setCurrentRow(i);
    session->MemberList()->findChild<QPushButton*>(QStringLiteral("register1048"))->click();
    ASSERT_EQ(session->Chat()->SeatWait().size(), 1u);
    EXPECT_EQ(session->SeatNotices().Last(), nullptr);

    PeerSays("1:501:hana:PC02:4:Hana");
    ASSERT_TRUE(SpinUntil([&] { return session->SeatNotices().Last() != nullptr; }));
    EXPECT_TRUE(session->SeatNotices().Last()->isVisible());
    EXPECT_NE(session->SeatNotices().Last()->Text().find("Hana"), std::string::npos);
    EXPECT_TRUE(session->Chat()->SeatWait().empty());
    // Present again: no second notice.
    CSeatNoticeDlg* first = session->SeatNotices().Last();
    PeerSays("1:502:hana:PC02:4:Hana");
    SpinFor(100);
    EXPECT_EQ(session->SeatNotices().Last(), first);
}

// The broadcast dialog's OK sets the running chat announcing itself again, now also to each
// listed address: the peer hears the same entry by its own address and by the subnet's
// broadcast address, besides the all-hosts broadcast.
TEST_F(PeerChatSessionTest, ANewBroadcastListIsAnnouncedToItsAddresses) {
    ASSERT_TRUE(PeerGets(kEntry));
    SpinFor(50);
    peer->Poll();
    // Before: the start entry went to the all-hosts address only.
    for (const auto& d : peer->WithCommand(kEntry))
        EXPECT_EQ(d.destination, "255.255.255.255") << d.text();
    peer->received.clear();

    dialogs.answers.push_back([](ViewSettings& v) {
        v.BroadIPs = std::string(PrivateNetwork::kPeerAddress) + "~:_192.0.2.255~:_";
        return true;
    });
    view->OnCommand(ID_BROADCAST_ADDRESSES);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, SettingsDialogKind::Broadcast);
    EXPECT_EQ(store->GetString(key::BroadIPs), "192.0.2.2~:_192.0.2.255~:_");

    ASSERT_TRUE(PeerGets(kEntry, 3));
    SpinFor(50);
    peer->Poll();
    const auto entries = peer->WithCommand(kEntry);
    ASSERT_EQ(entries.size(), 3u);
    std::vector<std::string> destinations;
    for (const auto& d : entries) {
        destinations.push_back(d.destination);
        EXPECT_EQ(d.address, kProgram);
        EXPECT_EQ(d.port, 2425);
        // One packet, sent three times: same number, same text, its zero byte last.
        EXPECT_EQ(d.bytes, entries[0].bytes);
        EXPECT_EQ(d.bytes.back(), '\0');
    }
    std::sort(destinations.begin(), destinations.end());
    EXPECT_EQ(destinations,
              (std::vector<std::string>{"192.0.2.2", "192.0.2.255", "255.255.255.255"}));
    const std::string text = entries[0].text();
    const std::string number = text.substr(2, text.find(':', 2) - 2);
    EXPECT_EQ(text,
              "1:" + number + ":" + identity.userName + ":" + identity.hostName + ":16777217:Taro");
    EXPECT_FALSE(number.empty());
    EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos);

    // The list was emptied for the new round; the program's own entry fills it again.
    ASSERT_TRUE(SpinUntil([&] { return session->Chat()->Members().Find(kProgram); }));
}

// What a probe from a second namespace did: 127 forged members flooding messages. The event
// queue must not fill faster than it is handled: a posted event (where a click would wait
// behind the queue) is handled at once during the flood and right after it, and a peer's
// query right after it is answered.
TEST_F(PeerChatSessionTest, AMessageFloodLeavesTheWindowsResponsive) {
    constexpr int kFlooders = 127;
    std::vector<std::unique_ptr<test::ScriptedChatPeer>> flooders;
    for (int i = 0; i < kFlooders; ++i) {
        const std::string address = "192.0.2." + std::to_string(10 + i);
        ASSERT_TRUE(network.AddPeerAddress(address));
        network.InPeer(
            [&] { flooders.push_back(std::make_unique<test::ScriptedChatPeer>(2426, address)); });
        ASSERT_TRUE(flooders.back() && flooders.back()->Ok());
        ASSERT_TRUE(
            flooders.back()->SendText("1:1:u" + std::to_string(i) + ":h:1:N", kProgram, 2425));
    }
    ASSERT_TRUE(
        SpinUntil([&] { return session->Chat()->Members().Size() >= kFlooders + 1; }, 10000));
    view->OnCommand(ID_PEER_CHAT);
    ASSERT_TRUE(session->ChatWindowOpen());

    using Clock = std::chrono::steady_clock;
    std::atomic<bool> flooding{true};
    const auto started = Clock::now();
    std::thread flood([&] {
        // 10,000 a second for three seconds: twice the rate of the probe.
        for (int n = 0; n < 30000; ++n) {
            flooders[n % kFlooders]->SendText(
                "1:" + std::to_string(1000 + n) + ":u:h:288:flood " + std::to_string(n), kProgram,
                2425);
            if (n % 100 == 99)
                std::this_thread::sleep_until(started + std::chrono::milliseconds(n / 10));
        }
        flooding = false;
    });
    QObject probe;
    std::vector<Clock::duration> during;
    while (flooding) {
        const auto posted = Clock::now();
        bool handled = false;
        QMetaObject::invokeMethod(
            &probe, [&, posted] { during.push_back(Clock::now() - posted), handled = true; },
            Qt::QueuedConnection);
        SpinUntil([&] { return handled; }, 10000);
        SpinFor(20);
    }
    flood.join();
    const auto ended = Clock::now();
    // A peer asks a few times, as its user would, until it hears back.
    bool answered = false;
    for (int ask = 0; ask < 20 && !answered; ++ask) {
        PeerSays("1:" + std::to_string(900 + ask) + ":hana:PC02:64:Hana");
        answered = SpinUntil(
            [&] {
                peer->Poll();
                return !peer->WithCommand(IPMSG_SENDINFO).empty();
            },
            250);
    }
    const auto answerTook = Clock::now() - ended;
    std::vector<Clock::duration> after;
    for (int i = 0; i < 10; ++i) {
        const auto posted = Clock::now();
        bool handled = false;
        QMetaObject::invokeMethod(
            &probe, [&, posted] { after.push_back(Clock::now() - posted), handled = true; },
            Qt::QueuedConnection);
        SpinUntil([&] { return handled; }, 10000);
    }

    using std::chrono::milliseconds;
    ASSERT_FALSE(during.empty());
    std::sort(during.begin(), during.end());
    EXPECT_LT(during[during.size() / 2], milliseconds(100)) << "the median during the flood";
    EXPECT_LT(during.back(), milliseconds(500)) << "the worst during the flood";
    EXPECT_LT(*std::max_element(after.begin(), after.end()), milliseconds(100));
    EXPECT_TRUE(answered);
    EXPECT_LT(answerTook, milliseconds(1000));
    // What was taken is within the quota, and the window holds no more than the history.
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(ended - started).count() + 2;
    EXPECT_LE(view->History().Filed(),
              static_cast<std::size_t>(MessageQuota::kAllBurst +
                                       MessageQuota::kAllPerSecond * static_cast<double>(seconds)));
    EXPECT_GT(view->History().Filed(), 0u);
    EXPECT_LE(InChat<QListWidget>("conversation1019")->count(), 1000);
}

// Only a loopback interface: the entry cannot go out, the box says so and the view runs
// without a chat.
class PeerChatStartTest : public test::ViewTest {
protected:
    PrivateNetwork network{PrivateNetwork::Shape::LoopbackOnly};
};

TEST_F(PeerChatStartTest, AFailedStartLeavesTheViewWithoutAChat) {
    ASSERT_TRUE(network.Ok()) << PrivateNetwork::kWhy;
    store->Write(key::Chating, 1);
    store->Write(key::MailCheck, 0);
    int made = 0;
    makePeerChat = [&](const PeerChatSetup& setup) {
        ++made;
        return std::make_unique<PeerChatSession>(setup, identity, boxes, frame.get(),
                                                 Timing{}.Scaled(0.05));
    };
    Build();
    EXPECT_EQ(made, 1);
    EXPECT_FALSE(view->PeerChatActive());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8().rfind("エントリのブロードキャストに失敗しました。", 0), 0u);
    EXPECT_FALSE(view->Form().MemberListButton()->isEnabled());
}

}  // namespace
}  // namespace kestrel
