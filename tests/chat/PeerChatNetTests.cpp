// CPeerChat on a real UDP socket, inside network namespaces of the test's own.
#include <cerrno>
#include <ctime>
#include <map>

#include "tests/chat/PeerChatTestKit.h"
#include "tests/support/HeldResolver.h"

namespace kestrel {
namespace {

using test::kArrowLeft;
using test::kArrowRight;
using test::PeerChatTest;
using test::PrivateNetwork;
using test::SpinFor;
using test::SpinUntil;

SocketEvent Target(const std::string& address, int port) {
    SocketEvent target;
    CopyField(target.peerAddress, address);
    target.peerPort = port;
    return target;
}

TEST_F(PeerChatTest, StartBroadcastsEntry101AndTracesAtOnce) {
    identity.present = 0;
    CopyField(identity.whereabouts, "Lab");
    auto chat = Make();
    ASSERT_TRUE(chat->Start());
    ASSERT_TRUE(PeerGets(IPMSG_BR_ENTRY));
    const auto entry = peer->WithCommand(IPMSG_BR_ENTRY).front();
    // The start entry of an away user is still command 1 with the plain nickname.
    EXPECT_EQ(entry.bytes, std::string("1:101:taro:PC01:1:Taro\0", 23));
    EXPECT_EQ(entry.address, PrivateNetwork::kProgramAddress);
    EXPECT_EQ(entry.port, 2425);
    ASSERT_EQ(written.size(), 2u);
    const std::string id = SocketIdOf(*chat);
    EXPECT_EQ(written[0], "U [Chat Reciever Socket Create] port=2425, pSocket=" + id);
    EXPECT_EQ(written[1],
              "U [***********:2425(" + id + ")]" + kArrowLeft + " 1:101:taro:PC01:1:Taro");
    EXPECT_TRUE(boxes.boxes.empty());

    // Its own entry comes back: it lists itself, answers itself, and the peer is answered
    // too once it enters.
    ASSERT_TRUE(SpinUntil([&] { return chat->Members().Find(PrivateNetwork::kProgramAddress); }));
    EXPECT_TRUE(
        posted.Has("U [192.0.2.1:2425(" + id + ")]" + kArrowRight + " 1:101:taro:PC01:1:Taro"));
}

TEST_F(PeerChatTest, EveryPacketToAllLeavesOncePerDestination) {
    broadIPs = "192.0.2.255~:_192.0.2.2~:_";
    auto chat = Make();
    ASSERT_TRUE(chat->Start());
    ASSERT_TRUE(PeerGets(IPMSG_BR_ENTRY, 3));
    SpinFor(100);
    peer->Poll();
    EXPECT_EQ(peer->WithCommand(IPMSG_BR_ENTRY).size(), 3u);
    for (const auto& d : peer->WithCommand(IPMSG_BR_ENTRY))
        EXPECT_EQ(d.text(), "1:101:taro:PC01:1:Taro");

    // An away refresh: command 257 with the whereabouts, to all three again, traced later.
    identity.present = 0;
    CopyField(identity.whereabouts, "Lab");
    chat->Refresh();
    EXPECT_EQ(chat->Members().Size(), 0u);
    ASSERT_TRUE(PeerGets(IPMSG_BR_ENTRY | IPMSG_ABSENCEOPT, 3));
    const std::string refresh = peer->WithCommand(0x101).front().text();
    EXPECT_EQ(Body(refresh), "taro:PC01:257:Taro[Lab]");
    EXPECT_TRUE(
        posted.Has("U [***********:2425(" + SocketIdOf(*chat) + ")]" + kArrowLeft + " " + refresh));

    // The presence announcement.
    PostMessage(chat.get(), WM_PRESENCE_CHANGED);
    ASSERT_TRUE(PeerGets(IPMSG_BR_ABSENCE | IPMSG_ABSENCEOPT, 3));
    const std::string absence = peer->WithCommand(0x104).front().text();
    EXPECT_EQ(Body(absence), "taro:PC01:260:Taro[Lab]");
    // Every packet takes the next number.
    EXPECT_GT(std::stoul(absence.substr(2)), std::stoul(refresh.substr(2)));
    EXPECT_EQ(written.back(),
              "U [***********:2425(" + SocketIdOf(*chat) + ")]" + kArrowLeft + " " + absence);

    // The list changed: read again at the next send.
    broadIPs = "";
    identity.present = 1;
    PostMessage(chat.get(), WM_BROADCAST_LIST_CHANGED);
    ASSERT_TRUE(PeerGets(IPMSG_BR_ENTRY, 4));
    SpinFor(100);
    peer->Poll();
    EXPECT_EQ(peer->WithCommand(IPMSG_BR_ENTRY).size(), 4u);

    // The exit at the end, after which the socket is gone.
    chat.reset();
    ASSERT_TRUE(PeerGets(IPMSG_BR_EXIT));
    EXPECT_EQ(Body(peer->WithCommand(IPMSG_BR_EXIT).front().text()), "taro:PC01:2:Taro");
}

TEST_F(PeerChatTest, EntriesAreAnsweredAndAskedForTheirVersion) {
    identity.present = 0;
    CopyField(identity.whereabouts, "Lab");
    auto chat = Started();
    PeerJoins(std::string("Hana\0group\0", 12), 1);  // the text ends at its zero byte
    ASSERT_TRUE(PeerGets(IPMSG_ANSENTRY | IPMSG_ABSENCEOPT));
    ASSERT_TRUE(PeerGets(IPMSG_GETINFO));
    const auto answer = peer->WithCommand(0x103).front();
    EXPECT_EQ(Body(answer.text()), "taro:PC01:259:Taro[Lab]");
    EXPECT_EQ(answer.address, PrivateNetwork::kProgramAddress);
    EXPECT_EQ(answer.port, 2425);
    EXPECT_NE(peer->WithCommand(IPMSG_GETINFO).front().text().find(":64:Taro"), std::string::npos);
    ASSERT_EQ(PeerEvents().size(), 1u);
    const auto added = PeerEvents().back();
    EXPECT_EQ(added.wParam, MEMBER_ADDED);
    EXPECT_EQ(FieldText(added.record->nickname), "Hana");
    EXPECT_TRUE(posted.Has("U [192.0.2.2:2425(" + SocketIdOf(*chat) + ")]" + kArrowLeft + " " +
                           answer.text()));

    // The version answer completes the record; an answer to our entry gets no answer back.
    PeerSays("1:501:hana:PC02:65:iptux 0.8.3");
    ASSERT_TRUE(SpinUntil([&] { return PeerEvents().size() == 2; }));
    EXPECT_EQ(PeerEvents().back().wParam, MEMBER_UPDATED);
    EXPECT_EQ(FieldText(chat->Members().Find("192.0.2.2")->version), "iptux 0.8.3");
    peer->received.clear();
    PeerSays("1:502:hana:PC02:259:Hana[Home]");
    ASSERT_TRUE(SpinUntil([&] { return PeerEvents().size() == 3; }));
    EXPECT_EQ(PeerEvents().back().wParam, MEMBER_UPDATED);
    EXPECT_EQ(PeerEvents().back().record->present, 0);
    EXPECT_EQ(FieldText(PeerEvents().back().record->version), "iptux 0.8.3");
    SpinFor(100);
    peer->Poll();
    EXPECT_TRUE(peer->received.empty());
}

TEST_F(PeerChatTest, MessagesFromMembersReachTheViewAndAreAcknowledged) {
    auto chat = Started();
    // Not a member yet: ignored, not acknowledged.
    PeerSays("1:600:hana:PC02:288:hello");
    SpinFor(150);
    peer->Poll();
    EXPECT_TRUE(view.Of(WM_PEER_MESSAGE).empty());
    EXPECT_TRUE(peer->WithCommand(IPMSG_RECVMSG).empty());

    PeerJoins();
    PeerSays("1:601:hana:PC02:288:a:b::c\r\nline");
    ASSERT_TRUE(SpinUntil([&] { return !view.Of(WM_PEER_MESSAGE).empty(); }));
    const auto message = view.Of(WM_PEER_MESSAGE).front();
    ASSERT_TRUE(message.messageText && message.record);
    EXPECT_EQ(*message.messageText, "a:b::c\nline");
    EXPECT_EQ(FieldText(message.record->nickname), "Hana");
    ASSERT_TRUE(PeerGets(IPMSG_RECVMSG));
    const std::string ack = peer->WithCommand(IPMSG_RECVMSG).front().text();
    EXPECT_EQ(Body(ack), "taro:PC01:33:601");

    // Without the check option there is no acknowledgement.
    PeerSays("1:602:hana:PC02:32:quiet");
    ASSERT_TRUE(SpinUntil([&] { return view.Of(WM_PEER_MESSAGE).size() == 2; }));
    SpinFor(100);
    peer->Poll();
    EXPECT_EQ(peer->WithCommand(IPMSG_RECVMSG).size(), 1u);
}

TEST_F(PeerChatTest, NamesAndPlacesWithBracketBytesGoAndComeWhole) {
    // ー ゼ 深 end in the byte of "[", 江 ゾ in that of "]".
    CopyField(identity.nickname, utf8ToCp932("ユーザー"));
    auto chat = Started();
    EXPECT_EQ(
        cp932ToUtf8(FieldText(chat->Members().Find(PrivateNetwork::kProgramAddress)->nickname)),
        "ユーザー");
    // Away at a place: its own refresh comes back and reads the same.
    identity.present = 0;
    CopyField(identity.whereabouts, utf8ToCp932("江戸川ゾーン"));
    chat->Refresh();
    ASSERT_TRUE(SpinUntil([&] { return chat->Members().Find(PrivateNetwork::kProgramAddress); }));
    const MemberRecord* self = chat->Members().Find(PrivateNetwork::kProgramAddress);
    EXPECT_EQ(cp932ToUtf8(FieldText(self->nickname)), "ユーザー");
    EXPECT_EQ(cp932ToUtf8(FieldText(self->whereabouts)), "江戸川ゾーン");
    ASSERT_TRUE(PeerGets(IPMSG_BR_ENTRY | IPMSG_ABSENCEOPT));
    EXPECT_EQ(Body(peer->WithCommand(0x101).front().text()),
              utf8ToCp932("taro:PC01:257:ユーザー[江戸川ゾーン]"));

    PeerJoins(utf8ToCp932("田中ゼミ[深夕]"), 0x101);
    const auto added = PeerEvents().back();
    EXPECT_EQ(cp932ToUtf8(FieldText(added.record->nickname)), "田中ゼミ");
    EXPECT_EQ(cp932ToUtf8(FieldText(added.record->whereabouts)), "深夕");
    PeerSays("1:610:hana:PC02:288:" + utf8ToCp932("ソース表示"));
    ASSERT_TRUE(SpinUntil([&] { return !view.Of(WM_PEER_MESSAGE).empty(); }));
    const auto message = view.Of(WM_PEER_MESSAGE).front();
    EXPECT_EQ(cp932ToUtf8(FieldText(message.record->nickname)), "田中ゼミ");
    EXPECT_EQ(cp932ToUtf8(*message.messageText), "ソース表示");
}

TEST_F(PeerChatTest, MessagesArriveWholeAndAreTakenOnceWhateverTheResends) {
    auto chat = Started();
    PeerJoins();
    // Longer than any block the socket once read: 1,000 bytes of text, and a datagram near
    // the largest UDP payload.
    std::string thousand;
    for (int i = 0; i < 500; ++i) thousand += utf8ToCp932("あ");
    const std::string huge(60000, 'x');
    PeerSays("1:700:hana:PC02:288:" + thousand);
    ASSERT_TRUE(PeerGets(IPMSG_RECVMSG));
    PeerSays("1:701:hana:PC02:288:" + huge);
    ASSERT_TRUE(PeerGets(IPMSG_RECVMSG, 2));
    ASSERT_TRUE(SpinUntil([&] { return view.Of(WM_PEER_MESSAGE).size() == 2; }));
    EXPECT_EQ(*view.Of(WM_PEER_MESSAGE)[0].messageText, thousand);
    EXPECT_EQ(view.Of(WM_PEER_MESSAGE)[1].messageText->size(), huge.size());

    // The acknowledgement was lost and the peer sends again with the same number: acknowledged
    // each time, taken once.
    for (int resend = 1; resend <= 2; ++resend) {
        clock.now += 5;
        PeerSays("1:700:hana:PC02:288:" + thousand);
        ASSERT_TRUE(PeerGets(IPMSG_RECVMSG, 2 + resend));
    }
    SpinFor(100);
    EXPECT_EQ(view.Of(WM_PEER_MESSAGE).size(), 2u);
    std::map<std::string, int> acks;
    for (const auto& ack : peer->WithCommand(IPMSG_RECVMSG)) ++acks[Body(ack.text())];
    EXPECT_EQ(acks, (std::map<std::string, int>{{"taro:PC01:33:700", 3}, {"taro:PC01:33:701", 1}}));

    // A number is remembered for ten minutes, not for ever.
    clock.now += 601;
    PeerSays("1:700:hana:PC02:288:again");
    ASSERT_TRUE(SpinUntil([&] { return view.Of(WM_PEER_MESSAGE).size() == 3; }));
}

TEST_F(PeerChatTest, BroadcastAndAutomaticAnswersAreNeverAnswered) {
    auto chat = Started();
    // An entry with the broadcast option: listed, neither answered nor asked for its version.
    PeerSays("1:500:hana:PC02:1025:Hana");
    ASSERT_TRUE(SpinUntil([&] { return !PeerEvents().empty(); }));
    PeerSays("1:501:hana:PC02:8256:");        // GETINFO with the automatic-answer option
    PeerSays("1:502:hana:PC02:1312:to all");  // SENDMSG, check and broadcast
    PeerSays("1:503:hana:PC02:8480:away");    // SENDMSG, check and automatic answer
    ASSERT_TRUE(SpinUntil([&] { return view.Of(WM_PEER_MESSAGE).size() == 2; }));
    SpinFor(150);
    peer->Poll();
    for (const int command : {IPMSG_ANSENTRY, IPMSG_GETINFO, IPMSG_SENDINFO, IPMSG_RECVMSG})
        EXPECT_TRUE(peer->WithCommand(command).empty()) << command;

    // The same packets without those options are answered.
    clock.now += 5;
    PeerSays("1:504:hana:PC02:64:");
    PeerSays("1:505:hana:PC02:288:to you");
    ASSERT_TRUE(PeerGets(IPMSG_SENDINFO));
    ASSERT_TRUE(PeerGets(IPMSG_RECVMSG));
}

TEST_F(PeerChatTest, OnlyTheAwaitedAcknowledgementFromItsMemberEndsTheWait) {
    ASSERT_TRUE(network.AddPeerAddress("192.0.2.3"));
    std::unique_ptr<test::ScriptedChatPeer> other;
    network.InPeer([&] { other = std::make_unique<test::ScriptedChatPeer>(2426, "192.0.2.3"); });
    ASSERT_TRUE(other && other->Ok());
    auto chat = Started();
    PeerJoins();
    ASSERT_TRUE(other->SendText("1:1:jiro:PC03:1:Jiro", PrivateNetwork::kProgramAddress, 2425));
    ASSERT_TRUE(SpinUntil([&] { return chat->Members().Find("192.0.2.3"); }));

    ASSERT_TRUE(chat->Send(Target("192.0.2.2", 2425), "hello"));
    ASSERT_TRUE(PeerGets(0x120));
    const std::string sent = peer->WithCommand(0x120).front().text();
    const std::string number = sent.substr(2, sent.find(':', 2) - 2);
    // Another number, and the right number from another member: the wait goes on.
    PeerSays("1:710:hana:PC02:33:" + std::to_string(std::stoul(number) - 1));
    PeerSays("1:711:hana:PC02:33:");
    ASSERT_TRUE(
        other->SendText("1:2:jiro:PC03:33:" + number, PrivateNetwork::kProgramAddress, 2425));
    SpinFor(timing.ackTimeoutMs / 2);
    EXPECT_TRUE(chat->AwaitingAcknowledgement());
    PeerSays("1:712:hana:PC02:33:" + number);
    ASSERT_TRUE(SpinUntil([&] { return !chat->AwaitingAcknowledgement(); }, 1000));
    SpinFor(timing.ackTimeoutMs * 2);
    EXPECT_TRUE(boxes.boxes.empty());

    // A refused send is no send: busy, or to an address that is no member.
    ASSERT_TRUE(chat->Send(Target("192.0.2.2", 2425), "one"));
    EXPECT_FALSE(chat->Send(Target("192.0.2.2", 2425), "two"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "お願い");
    ASSERT_TRUE(SpinUntil([&] { return !chat->AwaitingAcknowledgement(); }, 2000));
    EXPECT_FALSE(chat->Send(Target("192.0.2.77", 2425), "three"));
    EXPECT_FALSE(chat->AwaitingAcknowledgement());
}

TEST_F(PeerChatTest, OneSendOneWaitAndItsBoxes) {
    auto chat = Started();
    PeerJoins();
    PostMessage(chat.get(), WM_CHAT_SEND, 0, 0, own(Target("192.0.2.2", 2425)),
                own(MakeChatText("first")));
    ASSERT_TRUE(PeerGets(IPMSG_SENDMSG | IPMSG_SENDCHECKOPT));
    const std::string sent = peer->WithCommand(0x120).front().text();
    EXPECT_EQ(Body(sent), "taro:PC01:288:first");
    EXPECT_TRUE(chat->AwaitingAcknowledgement());
    EXPECT_TRUE(
        posted.Has("U [192.0.2.2:2425(" + SocketIdOf(*chat) + ")]" + kArrowLeft + " " + sent));

    // A second send while waiting: refused with the request box, nothing sent.
    PostMessage(chat.get(), WM_CHAT_SEND, 0, 0, own(Target("192.0.2.2", 2425)),
                own(MakeChatText("second")));
    ASSERT_TRUE(SpinUntil([&] { return !boxes.boxes.empty(); }, 1000));
    EXPECT_EQ(boxes.boxes[0].textUtf8(),
              "ただいま先ほどのメッセージを送信中です。\n2-"
              "3秒後にメッセージ送信ボタンを押し直してください。");
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "お願い");

    // No acknowledgement: the time-out box, then sending works again.
    ASSERT_TRUE(SpinUntil([&] { return boxes.boxes.size() == 2; }, 2000));
    EXPECT_EQ(boxes.boxes[1].textUtf8(),
              "メッセージは上手く送信されなかったようです。\n相手のマシンがダウンしている可能性があ"
              "ります。");
    EXPECT_EQ(boxes.boxes[1].captionUtf8(), "お知らせ");
    EXPECT_EQ(boxes.boxes[1].icon, BoxIcon::Information);
    EXPECT_FALSE(chat->AwaitingAcknowledgement());
    peer->Poll();
    EXPECT_EQ(peer->WithCommand(0x120).size(), 1u);  // never sent again

    PostMessage(chat.get(), WM_CHAT_SEND, 0, 0, own(Target("192.0.2.2", 2425)),
                own(MakeChatText("third")));
    ASSERT_TRUE(PeerGets(0x120, 2));
    // The acknowledgement of this message ends the wait; no time-out box follows.
    const std::string third = peer->WithCommand(0x120)[1].text();
    const std::string number = third.substr(2, third.find(':', 2) - 2);
    PeerSays("1:700:hana:PC02:33:" + number);
    ASSERT_TRUE(SpinUntil([&] { return !chat->AwaitingAcknowledgement(); }, 1000));
    SpinFor(timing.ackTimeoutMs * 2);
    EXPECT_EQ(boxes.boxes.size(), 2u);

    // Targets that are not members, and empty texts, send nothing and show nothing.
    PostMessage(chat.get(), WM_CHAT_SEND, 0, 0, own(Target("192.0.2.77", 2425)),
                own(MakeChatText("lost")));
    PostMessage(chat.get(), WM_CHAT_SEND, 0, 0, own(Target("192.0.2.2", 2425)),
                own(MakeChatText("")));
    SpinFor(100);
    EXPECT_FALSE(chat->AwaitingAcknowledgement());
    peer->Poll();
    EXPECT_EQ(peer->WithCommand(0x120).size(), 2u);
}

TEST_F(PeerChatTest, VersionAndAbsenceQueriesAreAnswered) {
    identity.present = 0;
    CopyField(identity.whereabouts, "Lab");
    auto chat = Started();
    // Absence query from a stranger: no answer.
    PeerSays("1:800:hana:PC02:80:");
    SpinFor(100);
    peer->Poll();
    EXPECT_TRUE(peer->WithCommand(0x151).empty());

    // Version query from a stranger: answered, but it makes no member (its messages would be
    // taken then), and nothing is asked back.
    PeerSays("1:801:hana:PC02:64:Hana[x]");
    ASSERT_TRUE(PeerGets(IPMSG_SENDINFO));
    const std::string info = peer->WithCommand(IPMSG_SENDINFO).front().text();
    EXPECT_EQ(Body(info), "taro:PC01:65:Kestrel ver3.20");
    SpinFor(100);
    peer->Poll();
    EXPECT_TRUE(peer->WithCommand(IPMSG_GETINFO).empty());
    EXPECT_EQ(chat->Members().Find("192.0.2.2"), nullptr);

    PeerJoins();
    PeerSays("1:802:hana:PC02:80:");
    ASSERT_TRUE(PeerGets(0x151));
    const std::string absence = peer->WithCommand(0x151).front().text();
    EXPECT_EQ(Body(absence), "taro:PC01:337:Taro[Lab]");
}

TEST_F(PeerChatTest, SeatReturnBeepsAndNotifiesOnce) {
    auto chat = Started();
    PeerJoins("Hana[Lunch]", 0x101);
    chat->SeatWait().push_back("192.0.2.2:2425");
    // The time of the notice is the chat's clock's.
    std::tm quarterPast{};
    const std::time_t now = clock.now;
    localtime_r(&now, &quarterPast);
    quarterPast.tm_hour = 13;
    quarterPast.tm_min = 15;
    quarterPast.tm_sec = 7;
    clock.now = std::mktime(&quarterPast);
    PeerSays("1:900:hana:PC02:4:Hana");
    ASSERT_TRUE(SpinUntil([&] { return !notices.notices.empty(); }));
    ASSERT_EQ(beeper.beeps.size(), 1u);
    EXPECT_EQ(beeper.beeps[0], std::make_pair(1000, 500));
    EXPECT_EQ(cp932ToUtf8(notices.notices[0]),
              "Hana さんは席に戻られたようです\r\n(13:15:07 現在)");
    EXPECT_TRUE(chat->SeatWait().empty());
    PeerSays("1:901:hana:PC02:260:Hana[Again]");
    PeerSays("1:902:hana:PC02:4:Hana");
    ASSERT_TRUE(SpinUntil([&] { return PeerEvents().size() == 4; }));
    EXPECT_EQ(beeper.beeps.size(), 1u);
    EXPECT_EQ(notices.notices.size(), 1u);

    // Exit while waited for: the notice, then the member leaves.
    chat->SeatWait().push_back("192.0.2.2:2425");
    PeerSays("1:903:hana:PC02:2:Hana");
    ASSERT_TRUE(SpinUntil([&] { return PeerEvents().back().wParam == MEMBER_LEFT; }));
    EXPECT_EQ(notices.notices.size(), 2u);
    EXPECT_EQ(chat->Members().Find("192.0.2.2"), nullptr);
}

TEST_F(PeerChatTest, MalformedAndFloodedDatagramsNeverFail) {
    auto chat = Started();
    const std::string junk[] = {
        std::string(),
        std::string("\0\0\0", 3),
        std::string("\xff\xfe\x81\x00garbage", 10),
        std::string(1000, ':'),
        "no colons at all",
        "1:1:" + std::string(300, 'u') + ":h:1:" + std::string(300, 'n'),
        "1:2:u:h:3",
        "1:3:u:h:99999999999999999999:x",
    };
    for (const auto& bytes : junk) ASSERT_TRUE(peer->Send(bytes, "192.0.2.1", 2425));
    for (int i = 0; i < 2000; ++i) PeerSays("1:" + std::to_string(i) + ":hana:PC02:3:Hana");
    SpinFor(500);
    // The program itself and the peer: one record per address whatever came.
    EXPECT_LE(chat->Members().Size(), 2u);
    EXPECT_NE(chat->Members().Find("192.0.2.2"), nullptr);
}

// A probe from a second namespace: queries and entries by the thousand, from one address.
TEST_F(PeerChatTest, StrangersAreNotListedAndNoAddressIsAnsweredPacketForPacket) {
    auto chat = Started();
    for (int i = 0; i < 200; ++i) PeerSays("1:" + std::to_string(1000 + i) + ":hana:PC02:64:Hana");
    ASSERT_TRUE(PeerGets(IPMSG_SENDINFO));
    for (int i = 0; i < 200; ++i) PeerSays("1:" + std::to_string(2000 + i) + ":hana:PC02:1:Hana");
    ASSERT_TRUE(SpinUntil([&] { return chat->Members().Find("192.0.2.2"); }));
    for (int i = 0; i < 200; ++i) PeerSays("1:" + std::to_string(3000 + i) + ":hana:PC02:80:");
    ASSERT_TRUE(PeerGets(IPMSG_SENDABSENCEINFO));
    SpinFor(300);
    peer->Poll();
    // The queries made no member; each kind of answer went once.
    EXPECT_EQ(chat->Members().Size(), 2u);
    for (const int command : {IPMSG_SENDINFO, IPMSG_ANSENTRY, IPMSG_GETINFO, IPMSG_SENDABSENCEINFO})
        EXPECT_EQ(peer->WithCommand(command).size(), 1u) << command;
    // A few seconds on, the address is answered again.
    clock.now += AnswerGate::kSeconds;
    PeerSays("1:4000:hana:PC02:64:Hana");
    ASSERT_TRUE(PeerGets(IPMSG_SENDINFO, 2));
}

// Control bytes from a peer: escaped in the trace, spaces in what is shown and filed.
TEST_F(PeerChatTest, NoPeerWritesALineOfItsOwnIntoTheLog) {
    auto chat = Started();
    PeerJoins(
        "Ha\r\nU (forged)\x1b"
        "na");
    PeerSays("1:601:hana:PC02:288:hi\r\n\x1b]0;x\x07there");
    ASSERT_TRUE(SpinUntil([&] { return !view.Of(WM_PEER_MESSAGE).empty(); }));
    const auto message = view.Of(WM_PEER_MESSAGE).front();
    EXPECT_EQ(FieldText(message.record->nickname), "Ha  U (forged) na");
    EXPECT_EQ(*message.messageText, "hi\n ]0;x there");
    ASSERT_TRUE(PeerGets(IPMSG_RECVMSG));
    int traced = 0;
    for (const auto& line : posted.lines) {
        EXPECT_EQ(line.find_first_of("\r\n\x1b\x07"), std::string::npos) << line;
        traced += line.find("hi\\r\\n\\x1b]0;x\\x07there") != std::string::npos;
    }
    EXPECT_EQ(traced, 1);
}

// A host name in BroadIPs would be looked up at every packet to all, holding the windows
// while the resolver waits: it is skipped, with one line in the log.
TEST_F(PeerChatTest, NamesInTheBroadcastListAreNeverLookedUp) {
    test::HeldResolver resolver([] {});
    ASSERT_TRUE(resolver.Ok()) << "needs root to hold the name look-ups (CI runs as root)";
    broadIPs = "192.0.2.255~:_intranet-gw~:_192.0.2.255~:_gw.example.co.jp~:_";
    auto chat = Started();
    chat->Refresh();
    PostMessage(chat.get(), WM_PRESENCE_CHANGED);
    ASSERT_TRUE(PeerGets(IPMSG_BR_ABSENCE));
    SpinFor(100);
    peer->Poll();
    EXPECT_EQ(resolver.Queries(), 0);
    // Each packet to all went to the broadcast and once to the numeric address.
    int toSubnet = 0;
    for (const auto& d : peer->received) toSubnet += d.destination == "192.0.2.255";
    EXPECT_EQ(toSubnet, 3);
    int skipped = 0;
    for (const auto& line : posted.lines)
        skipped += line ==
                   "U [Chat BroadIPs] skipped (not a numeric address, repeated, or beyond 64): "
                   "intranet-gw 192.0.2.255 gw.example.co.jp";
    EXPECT_EQ(skipped, 1);
}

class LonelyPeerChatTest : public PeerChatTest {
protected:
    explicit LonelyPeerChatTest(PrivateNetwork::Shape shape = PrivateNetwork::Shape::LoopbackOnly)
        : PeerChatTest(shape) {}
    void SetUp() override {
        ASSERT_TRUE(network.Ok()) << PrivateNetwork::kWhy;
        CopyField(identity.nickname, "Taro");
        CopyField(identity.userName, "taro");
        CopyField(identity.hostName, "PC01");
        timing = Timing{}.Scaled(0.05);
    }
};

TEST_F(LonelyPeerChatTest, NoRouteForTheEntryIsTheBroadcastBox) {
    auto chat = Make();
    EXPECT_FALSE(chat->Start());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].textUtf8(),
              "エントリのブロードキャストに失敗しました。\nERROR = " + std::to_string(ENETUNREACH));
    EXPECT_EQ(boxes.boxes[0].captionUtf8(), "警告");
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Stop);
}

TEST_F(LonelyPeerChatTest, PortZeroIsRefusedAsAnImpossiblePortIs) {
    for (const int port : {0, -1}) {
        SCOPED_TRACE(port);
        boxes.boxes.clear();
        auto chat = Make(port);
        EXPECT_FALSE(chat->Start());
        EXPECT_EQ(chat->Socket(), nullptr);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(
            boxes.boxes[0].textUtf8(),
            "チャット用のポートを作れませんでした。(Server)\nERROR = " + std::to_string(EINVAL));
    }
}

TEST_F(LonelyPeerChatTest, TakenPortIsTheSocketBox) {
    CNetSocket holder(2425, nullptr, 0, 1, 256);
    ASSERT_EQ(holder.GetLastError(), 0);
    auto chat = Make();
    EXPECT_FALSE(chat->Start());
    EXPECT_EQ(chat->Socket(), nullptr);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(
        boxes.boxes[0].textUtf8(),
        "チャット用のポートを作れませんでした。(Server)\nERROR = " + std::to_string(EADDRINUSE));
    // Without a socket the handlers still run and send nothing.
    chat->Refresh();
    PostMessage(chat.get(), WM_PRESENCE_CHANGED);
    SpinFor(50);
}

// A network with a route and no other host: the start goes through, the chat hears itself.
class AlonePeerChatTest : public LonelyPeerChatTest {
protected:
    AlonePeerChatTest() : LonelyPeerChatTest(PrivateNetwork::Shape::VethPair) {}
};

TEST_F(AlonePeerChatTest, StartSucceedsWithNobodyElse) {
    auto chat = Make();
    EXPECT_TRUE(chat->Start());
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_TRUE(SpinUntil([&] { return chat->Members().Find(PrivateNetwork::kProgramAddress); }));
    EXPECT_EQ(chat->Members().Size(), 1u);
}

}  // namespace
}  // namespace kestrel
