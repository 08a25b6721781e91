#pragma once

// The peer chat in a namespace of its own, with a scripted peer across a veth pair.

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>

#include "chat/CPeerChat.h"
#include "chat/ChatIds.h"
#include "identity/LocalIdentity.h"
#include "net/NetSocket.h"
#include "net/SocketSupport.h"
#include "res/Cp932.h"
#include "tests/fakes/ChatRecorders.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/RecordingMessageBoxes.h"
#include "tests/fakes/ScriptedChatPeer.h"
#include "tests/support/PrivateNetwork.h"
#include "tests/support/Spin.h"

namespace kestrel::test {

inline const std::string kArrowLeft = "\x81\xA9";
inline const std::string kArrowRight = "\x81\xA8";
inline constexpr int kPeerPort = 2425;

class PeerChatTest : public ::testing::Test {
protected:
    explicit PeerChatTest(PrivateNetwork::Shape shape = PrivateNetwork::Shape::VethPair)
        : network(shape) {}

    void SetUp() override {
        ASSERT_TRUE(network.Ok()) << PrivateNetwork::kWhy;
        CopyField(identity.nickname, "Taro");
        CopyField(identity.userName, "taro");
        CopyField(identity.hostName, "PC01");
        timing = Timing{}.Scaled(0.05);
        network.InPeer([this] { peer = std::make_unique<ScriptedChatPeer>(kPeerPort); });
        ASSERT_TRUE(peer && peer->Ok());
    }

    PeerChatContext Context() {
        PeerChatContext context;
        context.view = &view;
        context.log = &posted;
        context.boxes = &boxes;
        context.beeper = &beeper;
        context.seatNotices = &notices;
        context.writeLog = [this](std::string_view line) { written.emplace_back(line); };
        context.clock = &clock;
        return context;
    }

    std::unique_ptr<CPeerChat> Make(int port = 2425) {
        ChatSettings settings;
        settings.chatPort = port;
        settings.broadIPs = [this] { return broadIPs; };
        return std::make_unique<CPeerChat>(Context(), identity, settings, timing);
    }

    // Start the chat and wait until its own entry has come back and been listed.
    std::unique_ptr<CPeerChat> Started() {
        auto chat = Make();
        EXPECT_TRUE(chat->Start());
        EXPECT_TRUE(
            SpinUntil([&] { return chat->Members().Find(PrivateNetwork::kProgramAddress); }));
        return chat;
    }

    // Wait until the peer has at least count datagrams with the command.
    bool PeerGets(int command, size_t count = 1, int timeoutMs = 3000) {
        return SpinUntil(
            [&] {
                peer->Poll();
                return peer->WithCommand(command).size() >= count;
            },
            timeoutMs);
    }

    void PeerSays(const std::string& text) {
        ASSERT_TRUE(peer->SendText(text, PrivateNetwork::kProgramAddress, 2425));
    }

    // Make the peer a member: its entry, answered, listed.
    void PeerJoins(const std::string& extra = "Hana", int command = 1) {
        PeerSays("1:500:hana:PC02:" + std::to_string(command) + ":" + extra);
        ASSERT_TRUE(SpinUntil([&] { return !PeerEvents().empty(); }));
    }

    // Member events about the peer (the program also lists itself).
    std::vector<RecordingWindow::Received> PeerEvents() const {
        std::vector<RecordingWindow::Received> found;
        for (const auto& r : view.Of(WM_MEMBER_EVENT))
            if (r.record && FieldText(r.record->address) == PrivateNetwork::kPeerAddress)
                found.push_back(r);
        return found;
    }

    // A packet text without its version and number: "user:host:command:extra".
    static std::string Body(const std::string& text) {
        const size_t first = text.find(':');
        const size_t second = first == std::string::npos ? first : text.find(':', first + 1);
        return second == std::string::npos ? std::string() : text.substr(second + 1);
    }

    std::string SocketIdOf(const CPeerChat& chat) const {
        return net::Format("%08X", net::SocketId(chat.Socket()));
    }

    PrivateNetwork network;
    LocalIdentity identity;
    Timing timing;
    std::string broadIPs;
    RecordingWindow view;
    RecordingLogSink posted;
    RecordingMessageBoxes boxes;
    RecordingBeeper beeper;
    RecordingSeatNotifier notices;
    std::vector<std::string> written;
    // The chat's time: its answers to one address are spaced by it, so a test moves it on.
    FakeClock clock{std::time(nullptr)};
    std::unique_ptr<ScriptedChatPeer> peer;
};

}  // namespace kestrel::test
