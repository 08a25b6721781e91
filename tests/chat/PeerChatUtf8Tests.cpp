// CPeerChat with peers that speak UTF-8, on a real UDP socket inside network namespaces of the
// test's own: a scripted peer that announces UTF-8 and one that does not.
#include <string>

#include "chat/PeerText.h"
#include "tests/chat/PeerChatTestKit.h"

namespace kestrel {
namespace {

using namespace std::string_literals;
using test::PeerChatTest;
using test::PrivateNetwork;
using test::SpinUntil;

constexpr int kUtf8Message = IPMSG_SENDMSG | IPMSG_SENDCHECKOPT | IPMSG_UTF8OPT;

std::string U(const std::string& utf8) {
    return utf8ToCp932(utf8);
}
std::string Command(int command) {
    return std::to_string(command);
}
SocketEvent Target(const std::string& address) {
    SocketEvent target;
    CopyField(target.peerAddress, address);
    target.peerPort = 2425;
    return target;
}
// The number of a packet text: "1:<number>:...".
std::string NumberOf(const std::string& text) {
    return text.substr(2, text.find(':', 2) - 2);
}

class Utf8PeerChatTest : public PeerChatTest {
protected:
    std::unique_ptr<CPeerChat> MakeUtf8() {
        ChatSettings settings;
        settings.chatPort = 2425;
        settings.broadIPs = [this] { return broadIPs; };
        settings.utf8 = true;
        return std::make_unique<CPeerChat>(Context(), identity, settings, timing);
    }

    std::unique_ptr<CPeerChat> StartedUtf8() {
        auto chat = MakeUtf8();
        EXPECT_TRUE(chat->Start());
        EXPECT_TRUE(
            SpinUntil([&] { return chat->Members().Find(PrivateNetwork::kProgramAddress); }));
        return chat;
    }

    // The peer's last datagram with the command, whole.
    std::string Last(int command) {
        const auto found = peer->WithCommand(command);
        return found.empty() ? std::string() : found.back().bytes;
    }
};

TEST_F(Utf8PeerChatTest, EntryAnswerAndAbsenceAnnounceUtf8AndCarryTheNamesAsLines) {
    CopyField(identity.nickname, U("太郎"));
    auto chat = MakeUtf8();
    ASSERT_TRUE(chat->Start());
    // Old peers read up to the first zero byte: the nickname in CP932, as ever.
    ASSERT_TRUE(PeerGets(IPMSG_BR_ENTRY | IPMSG_CAPUTF8OPT));
    EXPECT_EQ(Last(IPMSG_BR_ENTRY | IPMSG_CAPUTF8OPT),
              "1:101:taro:PC01:16777217:" + U("太郎") + "\0\0\nNN:太郎\n\0"s);
    ASSERT_TRUE(SpinUntil([&] { return chat->Members().Find(PrivateNetwork::kProgramAddress); }));
    // It reads its own entry as a UTF-8 member.
    EXPECT_TRUE(chat->Members().Find(PrivateNetwork::kProgramAddress)->utf8);

    // Away: the answer and the absence carry the whereabouts in both.
    identity.present = 0;
    CopyField(identity.whereabouts, U("会議室"));
    PeerSays("1:500:hana:PC02:1:Hana");
    const int answer = IPMSG_ANSENTRY | IPMSG_ABSENCEOPT | IPMSG_CAPUTF8OPT;
    ASSERT_TRUE(PeerGets(answer));
    const std::string away = U("太郎[会議室]") + "\0\0\nNN:太郎[会議室]\n\0"s;
    EXPECT_EQ(Body(Last(answer)), "taro:PC01:" + Command(answer) + ":" + away);
    PostMessage(chat.get(), WM_PRESENCE_CHANGED);
    const int absence = IPMSG_BR_ABSENCE | IPMSG_ABSENCEOPT | IPMSG_CAPUTF8OPT;
    ASSERT_TRUE(PeerGets(absence));
    EXPECT_EQ(Body(Last(absence)), "taro:PC01:" + Command(absence) + ":" + away);

    // The exit announces nothing.
    chat.reset();
    ASSERT_TRUE(PeerGets(IPMSG_BR_EXIT));
    EXPECT_EQ(Body(Last(IPMSG_BR_EXIT)), "taro:PC01:2:" + U("太郎") + "\0"s);
}

TEST_F(Utf8PeerChatTest, PlainAsciiNamesNeedNoLines) {
    auto chat = MakeUtf8();
    ASSERT_TRUE(chat->Start());
    ASSERT_TRUE(PeerGets(IPMSG_BR_ENTRY | IPMSG_CAPUTF8OPT));
    EXPECT_EQ(Last(IPMSG_BR_ENTRY | IPMSG_CAPUTF8OPT), "1:101:taro:PC01:16777217:Taro\0"s);
}

TEST_F(Utf8PeerChatTest, AUtf8PeersNamesAndMessagesGoBothWays) {
    auto chat = StartedUtf8();
    ASSERT_TRUE(peer->Send("1:500:hana:PC02:16777217:Hana\0\0\nUN:张三\nHN:主机😀\nNN:张😀ハナ\n\0"s,
                           PrivateNetwork::kProgramAddress, 2425));
    ASSERT_TRUE(SpinUntil([&] { return !PeerEvents().empty(); }));
    const MemberRecord joined = *PeerEvents().front().record;
    EXPECT_TRUE(joined.utf8);
    EXPECT_EQ(NicknameText(joined).toStdString(), "张😀ハナ");
    EXPECT_EQ(HostText(joined).toStdString(), "主机😀");
    EXPECT_EQ(joined.userText.toStdString(), "张三");

    struct Case {
        const char* text;
        std::string filed;  // the CP932 the history gets
    };
    const Case cases[] = {
        {"张三 你好", U("〓三 〓好")},
        {"😀", U("〓")},
        {"こんにちは、日本語", U("こんにちは、日本語")},
    };
    int number = 600;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        // In: read as UTF-8, acknowledged.
        view.received.clear();
        ++number;
        ASSERT_TRUE(peer->SendText(
            "1:" + std::to_string(number) + ":hana:PC02:" + Command(kUtf8Message) + ":" + c.text,
            PrivateNetwork::kProgramAddress, 2425));
        ASSERT_TRUE(SpinUntil([&] { return !view.Of(WM_PEER_MESSAGE).empty(); }));
        const auto got = view.Of(WM_PEER_MESSAGE).front();
        EXPECT_EQ(got.messageUnicode.toStdString(), c.text);
        EXPECT_EQ(got.messageText, c.filed);
        ASSERT_TRUE(SpinUntil([&] {
            peer->Poll();
            for (const auto& d : peer->WithCommand(IPMSG_RECVMSG))
                if (Body(d.text()) == "taro:PC01:33:" + std::to_string(number)) return true;
            return false;
        }));

        // Out: in UTF-8 with its option, and the acknowledgement ends the wait.
        const std::size_t before = peer->WithCommand(kUtf8Message).size();
        ASSERT_TRUE(
            chat->SendText(Target(PrivateNetwork::kPeerAddress), QString::fromUtf8(c.text)));
        ASSERT_TRUE(PeerGets(kUtf8Message, before + 1));
        const std::string sent = peer->WithCommand(kUtf8Message).back().bytes;
        EXPECT_EQ(Body(sent), "taro:PC01:" + Command(kUtf8Message) + ":" + c.text + "\0"s);
        PeerSays("1:" + std::to_string(++number) + ":hana:PC02:33:" + NumberOf(sent));
        ASSERT_TRUE(SpinUntil([&] { return !chat->AwaitingAcknowledgement(); }, 2000));
    }

    // A CP932 text for it is sent as UTF-8 too.
    ASSERT_TRUE(chat->Send(Target(PrivateNetwork::kPeerAddress), U("日本語")));
    ASSERT_TRUE(PeerGets(kUtf8Message, 4));
    EXPECT_EQ(Body(peer->WithCommand(kUtf8Message).back().text()),
              "taro:PC01:" + Command(kUtf8Message) + ":日本語");
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Utf8PeerChatTest, AMemberWithoutUtf8GetsCp932WithMarks) {
    auto chat = StartedUtf8();
    PeerJoins("Hana");
    EXPECT_FALSE(chat->Members().Find(PrivateNetwork::kPeerAddress)->utf8);
    ASSERT_TRUE(
        chat->SendText(Target(PrivateNetwork::kPeerAddress), QString::fromUtf8("张 😀 日本語")));
    ASSERT_TRUE(PeerGets(IPMSG_SENDMSG | IPMSG_SENDCHECKOPT));
    EXPECT_EQ(peer->WithCommand(IPMSG_SENDMSG | IPMSG_SENDCHECKOPT).front().bytes,
              "1:" + NumberOf(peer->WithCommand(0x120).front().text()) +
                  ":taro:PC01:288:" + U("〓 〓 日本語") + "\0"s);
    // Its CP932 message is read as CP932.
    PeerSays("1:900:hana:PC02:288:" + U("やあ"));
    ASSERT_TRUE(SpinUntil([&] { return !view.Of(WM_PEER_MESSAGE).empty(); }));
    EXPECT_EQ(view.Of(WM_PEER_MESSAGE).front().messageText, U("やあ"));
    EXPECT_TRUE(view.Of(WM_PEER_MESSAGE).front().messageUnicode.isNull());
}

}  // namespace
}  // namespace kestrel
