// The member list, the chat window, the message window and the seat notices, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <cmath>
#include <cstring>
#include <memory>

#include "chat/CChatHistory.h"
#include "chat/CPeerChat.h"
#include "chat/ChatIds.h"
#include "chat/PeerText.h"
#include "chat_ui/CMemberListDlg.h"
#include "chat_ui/CMessageViewDlg.h"
#include "chat_ui/CPeerChatDlg.h"
#include "chat_ui/CSeatNoticeDlg.h"
#include "chat_ui/ChatWindowHost.h"
#include "chat_ui/ToneBeeper.h"
#include "identity/LocalIdentity.h"
#include "res/Cp932.h"
#include "tests/fakes/ChatRecorders.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/support/Spin.h"

namespace kestrel {
namespace {

using test::SpinFor;
using test::SpinUntil;

std::string U(const std::string& utf8) {
    return utf8ToCp932(utf8);
}
std::string Utf8(const QString& text) {
    return text.toStdString();
}

class FakeHost final : public ChatWindowHost {
public:
    CChatHistory& ChatHistory() override { return history; }
    void ForgetChatDialog() override { ++chatForgotten; }
    void ForgetMemberList() override { ++listForgotten; }
    CPeerChatDlg* ChatDialog() override { return chat.get(); }
    void OpenChatDialog() override {
        ++opened;
        if (makeChat) chat = makeChat();
    }
    void StoreAutoUpdate(int value) override { stored.push_back(value); }

    CChatHistory history;
    int chatForgotten = 0;
    int listForgotten = 0;
    int opened = 0;
    std::vector<int> stored;
    std::function<std::unique_ptr<CPeerChatDlg>()> makeChat;
    std::unique_ptr<CPeerChatDlg> chat;
};

// A peer chat without a socket, its table filled by entries handed straight to it.
class ChatWindowTest : public ::testing::Test {
protected:
    ChatWindowTest() {
        CopyField(identity.nickname, "Taro");
        CopyField(identity.userName, "taro");
        CopyField(identity.hostName, "PC01");
        PeerChatContext context;
        context.view = &view;
        context.boxes = &chatBoxes;
        context.writeLog = [](std::string_view) {};
        chat =
            std::make_unique<CPeerChat>(context, identity, ChatSettings{}, Timing{}.Scaled(0.01));
    }

    // Hand the chat a packet from address:2425 and let it act.
    void From(const std::string& address, const std::string& text, unsigned message) {
        SocketEvent sender;
        CopyField(sender.peerAddress, address);
        sender.peerPort = 2425;
        PostMessage(chat.get(), message, 0, 0, nullptr, own(ParsePacket(text, sender)));
        QCoreApplication::sendPostedEvents(chat.get());
        QCoreApplication::sendPostedEvents(&view);
    }
    void Enters(const std::string& address, const std::string& extra, int command = 1) {
        From(address, "1:1:u:" + host(address) + ":" + std::to_string(command) + ":" + extra,
             WM_CHAT_ENTRY);
    }
    static std::string host(const std::string& address) {
        return "host" + address.substr(address.rfind('.') + 1);
    }

    // Hand the member events the chat posted to a window, as the view does.
    void Forward(QObject* window) {
        QCoreApplication::sendPostedEvents(&view);
        for (auto& r : view.Of(WM_MEMBER_EVENT))
            PostMessage(window, WM_MEMBER_EVENT, r.wParam, 0, nullptr, own(*r.record));
        view.received.clear();
        QCoreApplication::sendPostedEvents(window);
        QCoreApplication::sendPostedEvents(window);  // and what the window posted itself
    }

    template <class T>
    static T* Child(QWidget& parent, const char* name) {
        T* child = parent.findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    static std::vector<std::string> Lines(QListWidget* list) {
        std::vector<std::string> lines;
        for (int i = 0; i < list->count(); ++i) lines.push_back(Utf8(list->item(i)->text()));
        return lines;
    }
    static void Select(QListWidget* list, const std::string& contains) {
        for (int i = 0; i < list->count(); ++i)
            if (Utf8(list->item(i)->text()).find(contains) != std::string::npos) {
                list->setCurrentRow(i);
                return;
            }
        ADD_FAILURE() << "no line with " << contains;
    }

    LocalIdentity identity;
    test::RecordingWindow view;
    test::RecordingMessageBoxes chatBoxes;
    test::RecordingMessageBoxes boxes;
    std::unique_ptr<CPeerChat> chat;
    FakeHost host_;
};

TEST_F(ChatWindowTest, MemberListFillsBothListsAndReadsLongLinesWhole) {
    Enters("10.0.0.1", "Hana[Lunch]", 0x101);
    Enters("10.0.0.2", "Jiro");
    const std::string longNick(127, 'N');
    Enters("10.0.0.3", longNick);
    chat->SeatWait().push_back("10.0.0.1:2425");
    view.received.clear();
    CMemberListDlg list(host_, chat.get(), boxes, 1);
    auto* participants = Child<QListWidget>(list, "participants1041");
    auto* waiting = Child<QListWidget>(list, "waiting1047");
    EXPECT_EQ(participants->count(), 3);
    ASSERT_EQ(waiting->count(), 1);
    EXPECT_NE(Utf8(waiting->item(0)->text()).find("Hana"), std::string::npos);
    EXPECT_EQ(Utf8(Child<QLabel>(list, "count1068")->text()), "メンバ数：3");

    // The long line's key is still found, so it can be waited for.
    From("10.0.0.3", "1:2:u:h:260:" + longNick + "[" + std::string(60, 'w') + "]", WM_CHAT_ABSENCE);
    Forward(&list);
    Select(participants, longNick);
    Child<QPushButton>(list, "register1048")->click();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(chat->SeatWait().back(), "10.0.0.3:2425");
    EXPECT_EQ(waiting->count(), 2);
}

TEST_F(ChatWindowTest, MemberListWithoutAutomaticUpdateOnlyCounts) {
    Enters("10.0.0.1", "Hana");
    view.received.clear();
    CMemberListDlg list(host_, chat.get(), boxes, 0);
    auto* participants = Child<QListWidget>(list, "participants1041");
    Enters("10.0.0.2", "Jiro");
    Enters("10.0.0.1", "Hana[Out]", 0x101);
    Forward(&list);
    EXPECT_EQ(participants->count(), 1);
    EXPECT_EQ(Utf8(Child<QLabel>(list, "count1068")->text()), "メンバ数：1");

    Child<QPushButton>(list, "register1048")->click();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(), "メンバ自動更新をオンにしてください");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "お願い");

    // Switching it on rebuilds and enables registering again.
    Child<QCheckBox>(list, "autoUpdate1072")->click();
    EXPECT_EQ(participants->count(), 2);
    EXPECT_TRUE(Child<QPushButton>(list, "register1048")->isEnabled());
    Child<QCheckBox>(list, "autoUpdate1072")->click();
    EXPECT_FALSE(Child<QPushButton>(list, "register1048")->isEnabled());
}

TEST_F(ChatWindowTest, SeatWaitRegistrationRefusalsAndReturn) {
    Enters("10.0.0.1", "Hana[Lunch]", 0x101);
    Enters("10.0.0.2", "Jiro");
    view.received.clear();
    CMemberListDlg list(host_, chat.get(), boxes, 1);
    auto* participants = Child<QListWidget>(list, "participants1041");
    auto* waiting = Child<QListWidget>(list, "waiting1047");
    auto* registerButton = Child<QPushButton>(list, "register1048");

    registerButton->click();
    Select(participants, "Jiro");
    registerButton->click();
    Select(participants, "Hana");
    registerButton->click();
    registerButton->click();
    Child<QPushButton>(list, "unregister1049")->click();
    std::vector<std::string> shown;
    for (const auto& b : boxes.boxes) shown.push_back(b.textUtf8() + "|" + b.captionUtf8());
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "着席待ちをするメンバを選択してください|お願い",
                         "在席中のメンバを着席待ちの対象にすることはできません|お願い",
                         "対象者はすでに登録されています|お知らせ",
                         "着席待ちを解除するメンバを選択してください|お願い",
                     }));
    EXPECT_EQ(chat->SeatWait(), (std::vector<std::string>{"10.0.0.1:2425"}));
    EXPECT_EQ(waiting->count(), 1);

    // Hana comes back: the chat takes the entry, and the next updated event clears the box.
    From("10.0.0.1", "1:3:u:h:4:Hana", WM_CHAT_ABSENCE);
    EXPECT_TRUE(chat->SeatWait().empty());
    Forward(&list);
    EXPECT_EQ(waiting->count(), 0);
    EXPECT_NE(Utf8(participants->item(0)->text()).find("] 在席"), std::string::npos);
}

TEST_F(ChatWindowTest, RemovingAStaleSeatWaitLineStillDeletesIt) {
    Enters("10.0.0.1", "Hana[Lunch]", 0x101);
    chat->SeatWait().push_back("10.0.0.1:2425");
    view.received.clear();
    CMemberListDlg list(host_, chat.get(), boxes, 1);
    auto* waiting = Child<QListWidget>(list, "waiting1047");
    chat->SeatWait().clear();
    waiting->setCurrentRow(0);
    Child<QPushButton>(list, "unregister1049")->click();
    EXPECT_EQ(waiting->count(), 0);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ChatWindowTest, RefreshEmptiesAtOnceAndRebuildsAtTheEnd) {
    Enters("10.0.0.1", "Hana");
    chat->SeatWait().push_back("10.0.0.9:2425");
    CMemberListDlg list(host_, chat.get(), boxes, 0, Timing{}.Scaled(0.02));
    auto* refresh = Child<QPushButton>(list, "refresh1018");
    refresh->click();
    EXPECT_EQ(chat->Members().Size(), 0u);
    EXPECT_EQ(chat->SeatWait().size(), 1u);  // kept by the refresh
    EXPECT_EQ(Utf8(Child<QLabel>(list, "count1068")->text()), "メンバ数：0");
    EXPECT_EQ(Utf8(refresh->text()), "更新中...!");
    Enters("10.0.0.1", "Hana");
    Enters("10.0.0.2", "Jiro");
    ASSERT_TRUE(SpinUntil([&] { return Utf8(refresh->text()) == "リスト更新"; }, 2000));
    EXPECT_EQ(Child<QListWidget>(list, "participants1041")->count(), 2);
    EXPECT_EQ(Utf8(Child<QLabel>(list, "count1068")->text()), "メンバ数：2");
}

TEST_F(ChatWindowTest, ChatButtonOpensTheChatWindowOnTheSelection) {
    Enters("10.0.0.1", "Hana");
    Enters("10.0.0.2", "Jiro");
    host_.makeChat = [this] { return std::make_unique<CPeerChatDlg>(host_, chat.get(), boxes); };
    auto list = std::make_unique<CMemberListDlg>(host_, chat.get(), boxes, 1);
    Child<QPushButton>(*list, "chat1")->click();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(), "ピアチャトをするメンバを選択してください");

    Select(Child<QListWidget>(*list, "participants1041"), "Jiro");
    Child<QPushButton>(*list, "chat1")->click();
    EXPECT_EQ(host_.opened, 1);
    EXPECT_EQ(host_.listForgotten, 1);
    EXPECT_TRUE(host_.stored.empty());  // not saved on this road
    ASSERT_TRUE(host_.chat);
    QCoreApplication::sendPostedEvents(host_.chat.get());
    auto* targets = Child<QComboBox>(*host_.chat, "targets1017");
    EXPECT_NE(Utf8(targets->currentText()).find("Jiro [host2(10.0.0.2:2425)]"), std::string::npos);

    // Closing the list stores the switch.
    CMemberListDlg again(host_, chat.get(), boxes, 1);
    Child<QCheckBox>(again, "autoUpdate1072")->click();
    Child<QPushButton>(again, "close2")->click();
    EXPECT_EQ(host_.stored, std::vector<int>{0});
}

TEST_F(ChatWindowTest, ChatWindowOpensWithHistoryAndMembers) {
    host_.history.Add(U("受[Hana(host1)]  two\nlines"));
    Enters("10.0.0.1", "Hana");
    Enters("10.0.0.2", "Jiro[Out]", 0x101);
    CPeerChatDlg dlg(host_, chat.get(), boxes);
    auto* conversation = Child<QListWidget>(dlg, "conversation1019");
    EXPECT_EQ(Lines(conversation), std::vector<std::string>{"受[Hana(host1)]  two lines"});
    auto* targets = Child<QComboBox>(dlg, "targets1017");
    ASSERT_EQ(targets->count(), 2);
    EXPECT_EQ(targets->currentIndex(), -1);
    EXPECT_EQ(Utf8(targets->itemText(0)), "Hana [host1(10.0.0.1:2425)] 在席");
    EXPECT_EQ(Utf8(targets->itemText(1)), "Jiro [host2(10.0.0.2:2425)] 離席:Out");
}

TEST_F(ChatWindowTest, SendFilesTheLineOnlyForAMessageThatWentOut) {
    Enters("10.0.0.1", "Hana");
    Enters("10.0.0.2", "Jiro");
    CPeerChatDlg dlg(host_, chat.get(), boxes);
    auto* targets = Child<QComboBox>(dlg, "targets1017");
    auto* text = Child<QLineEdit>(dlg, "text1006");
    auto* send = Child<QPushButton>(dlg, "send1025");
    auto* conversation = Child<QListWidget>(dlg, "conversation1019");
    text->setText(QStringLiteral("hello"));
    send->click();  // no target: nothing
    EXPECT_TRUE(host_.history.Empty());

    targets->setCurrentIndex(0);
    send->click();
    EXPECT_TRUE(chat->AwaitingAcknowledgement());
    EXPECT_EQ(host_.history.Lines(), std::vector<std::string>{U("送[Hana(host1)]  hello")});
    EXPECT_TRUE(text->text().isEmpty());
    EXPECT_EQ(conversation->count(), 1);

    // A second send while the first awaits its acknowledgement: refused with the chat's box;
    // nothing is filed and the text stays to be sent again.
    text->setText(QStringLiteral("again"));
    QTest::keyClick(text, Qt::Key_Return);
    ASSERT_EQ(chatBoxes.boxes.size(), 1u);
    EXPECT_EQ(chatBoxes.boxes[0].captionUtf8(), "お願い");
    EXPECT_EQ(host_.history.Lines().size(), 1u);
    EXPECT_EQ(conversation->count(), 1);
    EXPECT_EQ(text->text(), QStringLiteral("again"));

    // Once the wait is over it goes.
    ASSERT_TRUE(SpinUntil([&] { return !chat->AwaitingAcknowledgement(); }, 2000));
    send->click();
    EXPECT_EQ(host_.history.Lines().size(), 2u);
    EXPECT_EQ(conversation->currentRow(), 1);

    // A member who left without the window hearing of it yet: nothing goes, nothing is filed.
    ASSERT_TRUE(SpinUntil([&] { return !chat->AwaitingAcknowledgement(); }, 2000));
    From("10.0.0.2", "1:9:u:h:2:Jiro", WM_CHAT_EXIT);
    targets->setCurrentIndex(1);
    text->setText(QStringLiteral("lost"));
    send->click();
    EXPECT_FALSE(chat->AwaitingAcknowledgement());
    EXPECT_EQ(host_.history.Lines().size(), 2u);

    // Nothing typed: nothing.
    text->clear();
    targets->setCurrentIndex(0);
    send->click();
    EXPECT_EQ(host_.history.Lines().size(), 2u);

    // As much as the edit takes goes whole: 150 double-byte characters are 300 bytes.
    ASSERT_TRUE(SpinUntil([&] { return !chat->AwaitingAcknowledgement(); }, 2000));
    QString full;
    for (int i = 0; i < 200; ++i) full += QStringLiteral("あ");
    text->setText(full);
    send->click();
    ASSERT_EQ(host_.history.Lines().size(), 3u);
    EXPECT_EQ(host_.history.Lines()[2], U("送[Hana(host1)]  ") + U(full.left(150).toStdString()));
}

TEST_F(ChatWindowTest, SendToACorvidClientIsRefused) {
    // The old client announced itself with its name where the whereabouts stand.
    Enters("10.0.0.1", "Old[Corvid32]", 0x101);
    CPeerChatDlg dlg(host_, chat.get(), boxes);
    Child<QComboBox>(dlg, "targets1017")->setCurrentIndex(0);
    Child<QLineEdit>(dlg, "text1006")->setText(QStringLiteral("hi"));
    Child<QPushButton>(dlg, "send1025")->click();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(),
              "KestrelまたはIP Messangerにしかメッセージを送信できません");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "注意");
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Information);
    EXPECT_TRUE(host_.history.Empty());
    QCoreApplication::sendPostedEvents(chat.get());
    EXPECT_FALSE(chat->AwaitingAcknowledgement());
}

TEST_F(ChatWindowTest, UpdatedMemberIsReplacedAndReselected) {
    Enters("10.0.0.1", "Hana");
    Enters("10.0.0.2", "Jiro");
    CPeerChatDlg dlg(host_, chat.get(), boxes);
    view.received.clear();
    auto* targets = Child<QComboBox>(dlg, "targets1017");
    targets->setCurrentIndex(1);  // Jiro
    From("10.0.0.2", "1:2:u:h:260:Jiro[Out]", WM_CHAT_ABSENCE);
    Forward(&dlg);
    ASSERT_EQ(targets->count(), 2);
    EXPECT_EQ(Utf8(targets->currentText()), "Jiro [host2(10.0.0.2:2425)] 離席:Out");

    From("10.0.0.2", "1:3:u:h:2:Jiro", WM_CHAT_EXIT);
    Forward(&dlg);
    EXPECT_EQ(targets->count(), 1);
}

TEST_F(ChatWindowTest, ClickingAReceivedLinePicksItsSenderWhateverTheCase) {
    Enters("10.0.0.1", "Hana");
    Enters("10.0.0.2", "Jiro");
    CPeerChatDlg dlg(host_, chat.get(), boxes);
    auto* conversation = Child<QListWidget>(dlg, "conversation1019");
    auto* targets = Child<QComboBox>(dlg, "targets1017");
    const std::string received = U("受[Jiro(HOST2)]  hi\nthere");
    host_.history.Add(received);
    PostMessage(&dlg, WM_SHOW_PEER_MESSAGE, 0, 0, own(MemberRecord{}), own(received));
    QCoreApplication::sendPostedEvents(&dlg);
    EXPECT_EQ(Lines(conversation).back(), "受[Jiro(HOST2)]  hi there");
    conversation->setCurrentRow(-1);
    conversation->setCurrentRow(0);
    EXPECT_NE(Utf8(targets->currentText()).find("Jiro"), std::string::npos);

    // Clicked again once another member has been chosen, the line picks its sender again.
    dlg.show();
    targets->setCurrentIndex(0);
    ASSERT_NE(Utf8(targets->currentText()).find("Hana"), std::string::npos);
    const QRect line = conversation->visualItemRect(conversation->item(0));
    QTest::mouseClick(conversation->viewport(), Qt::LeftButton, {}, line.center());
    EXPECT_EQ(conversation->currentRow(), 0);
    EXPECT_NE(Utf8(targets->currentText()).find("Jiro"), std::string::npos);

    // Double-click shows the history's line whole.
    std::vector<std::string> shown;
    dlg.showLine = [&](const std::string& line) { shown.push_back(line); };
    emit conversation->itemDoubleClicked(conversation->item(0));
    EXPECT_EQ(shown, std::vector<std::string>{received});
}

TEST_F(ChatWindowTest, NamesWithBracketBytesAreSentToPickedAndShownWhole) {
    // ー and 江 end in the bytes of "[" and "]".
    From("10.0.0.1", "1:1:u:" + U("深夕PC") + ":257:" + U("ユーザー[江戸川]"), WM_CHAT_ENTRY);
    Enters("10.0.0.2", "Jiro");
    CPeerChatDlg dlg(host_, chat.get(), boxes);
    auto* targets = Child<QComboBox>(dlg, "targets1017");
    ASSERT_EQ(targets->count(), 2);
    EXPECT_EQ(Utf8(targets->itemText(1)), "ユーザー [深夕PC(10.0.0.1:2425)] 離席:江戸川");

    targets->setCurrentIndex(1);
    Child<QLineEdit>(dlg, "text1006")->setText(QStringLiteral("hi"));
    Child<QPushButton>(dlg, "send1025")->click();
    QCoreApplication::sendPostedEvents(chat.get());
    EXPECT_TRUE(chat->AwaitingAcknowledgement());  // the address was read from the line
    ASSERT_EQ(host_.history.Lines().size(), 1u);
    EXPECT_EQ(cp932ToUtf8(host_.history.Lines()[0]), "送[ユーザー(深夕PC)]  hi");

    const std::string received = U("受[ユーザー(深夕PC)]  yo");
    host_.history.Add(received);
    PostMessage(&dlg, WM_SHOW_PEER_MESSAGE, 0, 0, own(MemberRecord{}), own(received));
    QCoreApplication::sendPostedEvents(&dlg);
    targets->setCurrentIndex(0);
    auto* conversation = Child<QListWidget>(dlg, "conversation1019");
    conversation->setCurrentRow(0);  // a sent line picks nobody
    EXPECT_EQ(targets->currentIndex(), 0);
    conversation->setCurrentRow(1);
    EXPECT_EQ(Utf8(targets->currentText()), "ユーザー [深夕PC(10.0.0.1:2425)] 離席:江戸川");

    const auto parts = CMessageViewDlg::Split(received);
    EXPECT_EQ(cp932ToUtf8(parts.who), "ユーザー(深夕PC)");
    EXPECT_EQ(parts.message, "yo");
}

TEST_F(ChatWindowTest, TheConversationKeepsAsManyLinesAsTheHistoryAndEachWhole) {
    for (std::size_t i = 0; i < CChatHistory::kKeptLines + 20; ++i)
        host_.history.Add("old " + std::to_string(i));
    CPeerChatDlg dlg(host_, chat.get(), boxes);
    auto* conversation = Child<QListWidget>(dlg, "conversation1019");
    ASSERT_EQ(static_cast<std::size_t>(conversation->count()), CChatHistory::kKeptLines);
    EXPECT_EQ(Utf8(conversation->item(0)->text()), "old 20");
    for (int i = 0; i < 30; ++i) {
        const std::string line = U("受[Hana(host1)]  new ") + std::to_string(i) + "\nmore";
        host_.history.Add(line);
        PostMessage(&dlg, WM_SHOW_PEER_MESSAGE, 0, 0, own(MemberRecord{}), own(line));
    }
    QCoreApplication::sendPostedEvents(&dlg);
    ASSERT_EQ(static_cast<std::size_t>(conversation->count()), CChatHistory::kKeptLines);
    EXPECT_EQ(Utf8(conversation->item(0)->text()), "old 50");
    EXPECT_EQ(Utf8(conversation->currentItem()->text()), "受[Hana(host1)]  new 29 more");
    // Double-clicked, a line shows itself whole, whatever has gone above it.
    std::vector<std::string> shown;
    dlg.showLine = [&](const std::string& line) { shown.push_back(line); };
    emit conversation->itemDoubleClicked(conversation->item(conversation->count() - 1));
    EXPECT_EQ(shown, std::vector<std::string>{U("受[Hana(host1)]  new 29\nmore")});
}

// Clicks on a line of a list, as the user makes them.
void ClickLine(QListWidget* list, const std::string& contains) {
    for (int i = 0; i < list->count(); ++i)
        if (Utf8(list->item(i)->text()).find(contains) != std::string::npos) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(i)).center());
            return;
        }
    ADD_FAILURE() << "no line with " << contains;
}

// The member a message goes to is the one the user chose and sees chosen, or nobody.
TEST_F(ChatWindowTest, AMemberWhoLeavesOrChangesIsNeverSwappedForANeighbour) {
    Enters("10.0.0.1", "Hana");
    Enters("10.0.0.2", "Jiro");
    Enters("10.0.0.3", "Saburo");
    CPeerChatDlg dlg(host_, chat.get(), boxes);
    dlg.show();
    view.received.clear();
    auto* targets = Child<QComboBox>(dlg, "targets1017");
    auto* text = Child<QLineEdit>(dlg, "text1006");
    auto* send = Child<QPushButton>(dlg, "send1025");
    auto sendTyped = [&](const char* typed) {
        text->setText(QString::fromUtf8(typed));
        QTest::mouseClick(send, Qt::LeftButton);
    };
    // The user picks Jiro with the keyboard: Hana, then Jiro.
    targets->setFocus();
    QTest::keyClick(targets, Qt::Key_Down);
    QTest::keyClick(targets, Qt::Key_Down);
    ASSERT_EQ(Utf8(targets->currentText()).substr(0, 4), "Jiro");

    // Jiro changes his presence: the updated line is chosen again, and the message is his.
    From("10.0.0.2", "1:2:u:h:260:Jiro[Out]", WM_CHAT_ABSENCE);
    Forward(&dlg);
    EXPECT_EQ(Utf8(targets->currentText()), "Jiro [host2(10.0.0.2:2425)] 離席:Out");
    sendTyped("to jiro");
    ASSERT_EQ(host_.history.Lines().size(), 1u);
    EXPECT_EQ(host_.history.Lines()[0], U("送[Jiro(host2)]  to jiro"));
    ASSERT_TRUE(SpinUntil([&] { return !chat->AwaitingAcknowledgement(); }, 2000));

    // The refresh button empties the drop-down; the answers bring Jiro back, chosen.
    QTest::mouseClick(Child<QPushButton>(dlg, "refresh1018"), Qt::LeftButton);
    EXPECT_EQ(targets->count(), 0);
    Enters("10.0.0.1", "Hana");
    Enters("10.0.0.2", "Jiro");
    Enters("10.0.0.3", "Saburo");
    Forward(&dlg);
    EXPECT_EQ(Utf8(targets->currentText()).substr(0, 4), "Jiro");

    // Jiro leaves: nobody is chosen, and Send sends to nobody.
    From("10.0.0.2", "1:3:u:h:2:Jiro", WM_CHAT_EXIT);
    Forward(&dlg);
    EXPECT_EQ(targets->count(), 2);
    EXPECT_EQ(targets->currentIndex(), -1);
    sendTyped("to whom");
    EXPECT_EQ(host_.history.Lines().size(), 1u);
    EXPECT_FALSE(chat->AwaitingAcknowledgement());
    EXPECT_EQ(text->text(), QStringLiteral("to whom"));
}

TEST_F(ChatWindowTest, MemberListButtonsActOnAHighlightedLineOnly) {
    Enters("10.0.0.1", "Hana[Lunch]", 0x101);
    Enters("10.0.0.2", "Jiro[Out]", 0x101);
    Enters("10.0.0.3", "Saburo[Home]", 0x101);
    host_.makeChat = [this] { return std::make_unique<CPeerChatDlg>(host_, chat.get(), boxes); };
    CMemberListDlg list(host_, chat.get(), boxes, 1);
    list.show();
    view.received.clear();
    auto* participants = Child<QListWidget>(list, "participants1041");
    auto* waiting = Child<QListWidget>(list, "waiting1047");
    auto* registerButton = Child<QPushButton>(list, "register1048");
    auto* unregisterButton = Child<QPushButton>(list, "unregister1049");

    // Hana and Saburo are waited for, each chosen with a click.
    for (const char* name : {"Hana", "Saburo"}) {
        ClickLine(participants, name);
        QTest::mouseClick(registerButton, Qt::LeftButton);
    }
    EXPECT_EQ(chat->SeatWait(), (std::vector<std::string>{"10.0.0.1:2425", "10.0.0.3:2425"}));
    ASSERT_EQ(waiting->count(), 2);

    // The chosen Jiro leaves: his neighbour is not chosen in his place, so neither button
    // acts on a line the user did not pick.
    ClickLine(participants, "Jiro");
    From("10.0.0.2", "1:2:u:h:2:Jiro", WM_CHAT_EXIT);
    Forward(&list);
    EXPECT_EQ(participants->count(), 2);
    EXPECT_TRUE(participants->selectedItems().isEmpty());
    QTest::mouseClick(registerButton, Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(list, "chat1"), Qt::LeftButton);
    std::vector<std::string> shown;
    for (const auto& b : boxes.boxes) shown.push_back(b.textUtf8());
    EXPECT_EQ(shown, (std::vector<std::string>{"着席待ちをするメンバを選択してください",
                                               "ピアチャトをするメンバを選択してください"}));
    EXPECT_EQ(host_.opened, 0);

    // A second removal click removes nothing more.
    ClickLine(waiting, "Hana");
    QTest::mouseClick(unregisterButton, Qt::LeftButton);
    QTest::mouseClick(unregisterButton, Qt::LeftButton);
    EXPECT_EQ(chat->SeatWait(), std::vector<std::string>{"10.0.0.3:2425"});
    ASSERT_EQ(waiting->count(), 1);
    EXPECT_NE(Utf8(waiting->item(0)->text()).find("Saburo"), std::string::npos);
    EXPECT_EQ(boxes.boxes.back().textUtf8(), "着席待ちを解除するメンバを選択してください");
}

TEST_F(ChatWindowTest, MemberLinesStandInColumnsWhateverTheScript) {
    ASSERT_TRUE(QFontDatabase::hasFamily(QStringLiteral("IPAGothic")))
        << "IPAGothic is missing: scripts/setup.sh installs fonts-ipafont-gothic";
    Enters("10.0.0.1", "Taro");
    Enters("10.0.0.2", U("山田太郎"));
    CMemberListDlg list(host_, chat.get(), boxes, 1);
    CPeerChatDlg dlg(host_, chat.get(), boxes);
    auto* participants = Child<QListWidget>(list, "participants1041");
    for (QWidget* w :
         std::initializer_list<QWidget*>{participants, Child<QListWidget>(list, "waiting1047"),
                                         Child<QComboBox>(dlg, "targets1017")})
        EXPECT_EQ(w->font().family(), QStringLiteral("IPAGothic")) << w->objectName().toStdString();
    // The bracket after the padded nickname stands at the same place in both lines.
    const QFontMetrics metrics(participants->font());
    std::vector<int> brackets;
    for (int i = 0; i < participants->count(); ++i) {
        const QString line = participants->item(i)->text();
        brackets.push_back(metrics.horizontalAdvance(line.left(line.indexOf(QLatin1Char('[')))));
    }
    ASSERT_EQ(brackets.size(), 2u);
    EXPECT_EQ(brackets[0], brackets[1]);
}

TEST_F(ChatWindowTest, MessageWindowSplitsTheLine) {
    const auto received = CMessageViewDlg::Split(U("受[Hana(host1)]  a\nb"));
    EXPECT_EQ(cp932ToUtf8(received.label), "送信元");
    EXPECT_EQ(cp932ToUtf8(received.who), "Hana(host1)");
    EXPECT_EQ(received.message, "a\r\nb");
    const auto sent = CMessageViewDlg::Split(U("送[Jiro(h)]  x"));
    EXPECT_EQ(cp932ToUtf8(sent.label), "送信先");
    EXPECT_EQ(sent.message, "x");
    EXPECT_EQ(CMessageViewDlg::Split("").message, "");

    CMessageViewDlg dlg(U("受[Hana(host1)]  a\nb"));
    EXPECT_EQ(Utf8(Child<QLineEdit>(dlg, "who1046")->text()), "Hana(host1)");
    EXPECT_EQ(Utf8(Child<QPlainTextEdit>(dlg, "message1006")->toPlainText()), "a\nb");
}

TEST_F(ChatWindowTest, ChatWindowLayoutFollowsTheSize) {
    CPeerChatDlg dlg(host_, chat.get(), boxes);
    dlg.show();
    auto* conversation = Child<QListWidget>(dlg, "conversation1019");
    auto* send = Child<QPushButton>(dlg, "send1025");
    auto* text = Child<QLineEdit>(dlg, "text1006");
    const QRect list = conversation->geometry();
    const QPoint button = send->pos();
    dlg.resize(dlg.width() + 100, dlg.height() + 80);
    QCoreApplication::processEvents();
    EXPECT_EQ(conversation->width(), list.width() + 100);
    EXPECT_EQ(conversation->height(), list.height() + 80);
    EXPECT_EQ(send->pos(), button + QPoint(0, 80));
    EXPECT_EQ(text->width(), conversation->width());
    EXPECT_EQ(conversation->x(), dlg.width() - conversation->geometry().right() - 1);

    // The cancel key closes it and the view forgets it.
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_EQ(host_.chatForgotten, 1);
    EXPECT_FALSE(dlg.isVisible());
}

TEST(SeatNotice, EachNoticeIsAWindowOfItsOwn) {
    SeatNoticeWindows windows;
    const std::string text = utf8ToCp932("Hana さんは席に戻られたようです\r\n(12:00:00 現在)");
    windows.ShowSeatNotice(text);
    CSeatNoticeDlg* first = windows.Last();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(first->isModal());
    EXPECT_EQ(first->findChild<QPlainTextEdit*>()->toPlainText().toStdString(),
              "Hana さんは席に戻られたようです\n(12:00:00 現在)");
    windows.ShowSeatNotice(text);
    ASSERT_NE(windows.Last(), first);
    EXPECT_TRUE(first->isVisible());
    QPointer<CSeatNoticeDlg> closing = first;
    first->findChild<QPushButton*>(QStringLiteral("ok1"))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closing.isNull());
    windows.Last()->close();
}

TEST(Tone, ThousandHertzForHalfASecond) {
    const QByteArray tone = MakeTone(1000, 500, 22050);
    ASSERT_EQ(tone.size(), 22050 / 2 * 2);
    const auto* s = reinterpret_cast<const std::int16_t*>(tone.constData());
    int crossings = 0;
    for (int i = 1; i < tone.size() / 2; ++i)
        if ((s[i - 1] < 0) != (s[i] < 0)) ++crossings;
    // Two crossings a period: 1,000 periods in the half second.
    EXPECT_NEAR(crossings, 1000, 4);
    EXPECT_TRUE(MakeTone(0, 500, 22050).isEmpty());
}

}  // namespace
}  // namespace kestrel

namespace kestrel {
namespace {

// A member that gave its names in UTF-8, with characters CP932 lacks.
class Utf8ChatWindowTest : public ChatWindowTest {
protected:
    void SetUp() override {
        using namespace std::string_literals;
        const std::string entry = "1:1:zhang:PC9:" + std::to_string(IPMSG_CAPUTF8OPT) +
                                  ":Zhang\0\0\nHN:主机\nNN:张😀\n\0"s;
        SocketEvent sender;
        CopyField(sender.peerAddress, "10.0.0.1");
        sender.peerPort = 2425;
        PostMessage(chat.get(), WM_CHAT_ENTRY, 0, 0, nullptr,
                    own(ParseDatagram(entry.data(), static_cast<int>(entry.size()), sender)));
        QCoreApplication::sendPostedEvents(chat.get());
        QCoreApplication::sendPostedEvents(&view);
        Enters("10.0.0.2", "Jiro");
        view.received.clear();
    }
};

TEST_F(Utf8ChatWindowTest, NamesAndMessagesShowAsWrittenAndTheHistoryMarksWhatCp932Lacks) {
    CMemberListDlg list(host_, chat.get(), boxes, 1);
    auto* participants = Child<QListWidget>(list, "participants1041");
    Select(participants, "张😀");
    // Padded to the columns of its CP932 form, as the CP932 lines are.
    EXPECT_EQ(Utf8(participants->currentItem()->text()),
              "张😀" + std::string(16, ' ') + " [主机(10.0.0.1:2425)] 在席    ");

    CPeerChatDlg dlg(host_, chat.get(), boxes);
    auto* targets = Child<QComboBox>(dlg, "targets1017");
    auto* conversation = Child<QListWidget>(dlg, "conversation1019");
    ASSERT_EQ(targets->count(), 2);
    EXPECT_EQ(Utf8(targets->itemText(1)), "张😀 [主机(10.0.0.1:2425)] 在席");

    // Received: the line as the view makes it, shown whole.
    const MemberRecord* sender = chat->Members().Find("10.0.0.1");
    ASSERT_NE(sender, nullptr);
    host_.history.AddShown(ReceivedChatLineText(*sender, QString::fromUtf8("你好😀\nこんにちは")));
    PostMessage(&dlg, WM_SHOW_PEER_MESSAGE, 0, 0, own(*sender),
                own(ChatLine{host_.history.Lines().back(), host_.history.Shown().back()}));
    QCoreApplication::sendPostedEvents(&dlg);
    ASSERT_EQ(conversation->count(), 1);
    EXPECT_EQ(Utf8(conversation->item(0)->text()), "受[张😀(主机)]  你好😀 こんにちは");
    // Clicked, it picks its sender; double-clicked, it shows whole.
    conversation->setCurrentRow(-1);
    conversation->setCurrentRow(0);
    EXPECT_EQ(targets->currentIndex(), 1);
    std::vector<QString> shown;
    dlg.showText = [&](const QString& line) { shown.push_back(line); };
    emit conversation->itemDoubleClicked(conversation->item(0));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(Utf8(shown[0]), "受[张😀(主机)]  你好😀\nこんにちは");
    const auto parts = CMessageViewDlg::SplitShown(shown[0]);
    EXPECT_EQ(Utf8(parts.who), "张😀(主机)");
    EXPECT_EQ(Utf8(parts.message), "你好😀\nこんにちは");

    // Sent: to the member chosen, shown with its names. The file gets "〓" for 张, 😀, 你 and
    // 😀 of the received line and for 张, 😀, 谢, 谢 and 😊 of this one.
    Child<QLineEdit>(dlg, "text1006")->setText(QString::fromUtf8("谢谢😊"));
    Child<QPushButton>(dlg, "send1025")->click();
    EXPECT_TRUE(chat->AwaitingAcknowledgement());
    ASSERT_EQ(conversation->count(), 2);
    EXPECT_EQ(Utf8(conversation->item(1)->text()), "送[张😀(主机)]  谢谢😊");
    ASSERT_EQ(host_.history.Lines().size(), 2u);
    EXPECT_EQ(host_.history.Lines()[0], U("受[〓〓(主机)]  〓好〓\nこんにちは"));
    EXPECT_EQ(host_.history.Lines()[1], U("送[〓〓(主机)]  〓〓〓"));
    EXPECT_EQ(host_.history.Replaced(), 9u);

    // A window opened later shows the history's lines as written.
    CPeerChatDlg again(host_, chat.get(), boxes);
    auto* reopened = Child<QListWidget>(again, "conversation1019");
    ASSERT_EQ(reopened->count(), 2);
    EXPECT_EQ(Utf8(reopened->item(1)->text()), "送[张😀(主机)]  谢谢😊");
}

}  // namespace
}  // namespace kestrel
