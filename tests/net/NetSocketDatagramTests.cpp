// The UDP form, as the peer chat uses it.
#include <cerrno>

#include "res/Ids.h"
#include "tests/net/NetSocketTestKit.h"

namespace kestrel {
namespace {

using test::LogHas;
using test::RawSocket;
using test::SocketOwner;

class DatagramTest : public test::SocketTest {
protected:
    SocketOwner owner;
    CNetSocket chat{0, &owner, WM_CHAT_DATAGRAM, 1, 256};
    RawSocket peer = RawSocket::Udp();

    std::string ReceiveAtPeer() const {
        if (!peer.Readable(5000)) return {};
        char buffer[2048];
        const ssize_t n = ::recv(peer.fd(), buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, n) : std::string();
    }
    void SendFromPeer(const std::string& bytes) const {
        const sockaddr_in to = test::Loopback(chat.Port());
        ASSERT_EQ(::sendto(peer.fd(), bytes.data(), bytes.size(), 0,
                           reinterpret_cast<const sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(bytes.size()));
    }
};

TEST_F(DatagramTest, TextGoesWithItsZeroByte) {
    ASSERT_EQ(chat.GetLastError(), 0);
    EXPECT_EQ(chat.SendTextTo("abc", "127.0.0.1", peer.port()), 4);
    EXPECT_EQ(ReceiveAtPeer(), std::string("abc\0", 4));
    EXPECT_TRUE(
        LogHas("U [UDP Socket SendTo] ipaddr = 127.0.0.1, port = " + std::to_string(peer.port()) +
               ", socket = " + test::Id(&chat) + " (abc)\r\n"));

    EXPECT_EQ(chat.SendTo("raw\0data", 8, "127.0.0.1", peer.port()), 8);
    EXPECT_EQ(ReceiveAtPeer(), std::string("raw\0data", 8));
}

TEST_F(DatagramTest, OverlongTextIsRefusedWhole) {
    const std::string longest(CNetSocket::kMaxText, 'L');
    EXPECT_EQ(chat.SendTextTo(longest + "M", "127.0.0.1", peer.port()), -1);
    EXPECT_EQ(chat.GetLastError(), EMSGSIZE);
    EXPECT_EQ(chat.BroadcastText(longest + "M"), -1);
    EXPECT_EQ(chat.GetLastError(), EMSGSIZE);
    // Nothing went out: the next datagram the peer sees is the one that fits.
    EXPECT_EQ(chat.SendTextTo(longest, "127.0.0.1", peer.port()), 1024);
    EXPECT_EQ(ReceiveAtPeer(), longest + std::string(1, '\0'));
}

TEST_F(DatagramTest, UnknownHostIsAnError) {
    EXPECT_EQ(chat.SendTextTo("abc", "no-such-host.invalid", 2425), -1);
    EXPECT_EQ(chat.GetLastError(), EINVAL);
    EXPECT_TRUE(
        LogHas("U [UDP Socket SendTo Error!] ipaddr = no-such-host.invalid, port = 2425, "
               "socket = " +
               test::Id(&chat) + ", err = 22 (abc)\r\n"));
}

TEST_F(DatagramTest, ArrivingDatagramsAreCutToTheBlock) {
    std::string big;
    for (int i = 0; i < 1000; ++i) big.push_back(static_cast<char>('a' + i % 26));
    SendFromPeer(big);
    SendFromPeer("hi");
    ASSERT_TRUE(test::SpinUntil([&] { return owner.got.size() == 2; }));

    const auto& first = owner.got[0];
    EXPECT_EQ(first.message, WM_CHAT_DATAGRAM);
    EXPECT_EQ(first.event.kind, SOCKEVT_DATA);
    EXPECT_EQ(first.event.socket, chat.Identity());
    EXPECT_STREQ(first.event.peerAddress, "127.0.0.1");
    EXPECT_EQ(first.event.peerPort, peer.port());
    ASSERT_TRUE(first.hasData);
    EXPECT_EQ(first.data.length, 256);
    EXPECT_EQ(std::string(first.data.data, 256), big.substr(0, 256));

    const auto& second = owner.got[1];
    EXPECT_EQ(second.data.length, 2);
    EXPECT_EQ(std::string(second.data.data, 3), std::string("hi\0", 3));
    EXPECT_TRUE(LogHas(
        "U [UDP Socket ReceiveFrom] ipaddr = 127.0.0.1, port = " + std::to_string(peer.port()) +
        ", socket = " + test::Id(&chat) + " (hi)\r\n"));
}

TEST_F(DatagramTest, AServerOfTheLargestReadSizeHandsDatagramsOverWhole) {
    SocketOwner wholeOwner;
    CNetSocket whole(0, &wholeOwner, WM_CHAT_DATAGRAM, 1, CNetSocket::kMaxDatagram);
    ASSERT_EQ(whole.GetLastError(), 0);
    std::string largest(CNetSocket::kMaxDatagram, 'x');
    largest[100] = '\0';  // zero bytes inside are the owner's affair
    const sockaddr_in to = test::Loopback(whole.Port());
    for (const std::string& bytes : {largest, std::string("hi")})
        ASSERT_EQ(::sendto(peer.fd(), bytes.data(), bytes.size(), 0,
                           reinterpret_cast<const sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(bytes.size()));
    ASSERT_TRUE(test::SpinUntil([&] { return wholeOwner.datagrams.size() == 2; }));
    EXPECT_EQ(wholeOwner.datagrams[0], largest);
    EXPECT_EQ(wholeOwner.datagrams[1], "hi");
    EXPECT_FALSE(wholeOwner.got[0].hasData);
    EXPECT_STREQ(wholeOwner.got[0].event.peerAddress, "127.0.0.1");
}

TEST_F(DatagramTest, BroadcastHidesTheAddressAndUsesTheOwnPort) {
    const int sent = chat.BroadcastText("abc");
    const std::string where = "ipaddr = ********, port = " + std::to_string(chat.Port()) +
                              ", socket = " + test::Id(&chat);
    // Whether this machine may broadcast is its own affair; the trace tells either way.
    if (sent == 4) {
        EXPECT_TRUE(LogHas("U [UDP Socket SendTo] " + where + " (abc)\r\n"));
    } else {
        EXPECT_EQ(sent, -1);
        EXPECT_TRUE(LogHas("U [UDP Socket SendTo Error!] " + where +
                           ", err = " + std::to_string(chat.GetLastError()) + " (abc)\r\n"));
    }
}

TEST_F(DatagramTest, PortInUseAndStreamOperations) {
    CNetSocket second(chat.Port(), nullptr, 0, 1, 256);
    EXPECT_EQ(second.GetLastError(), EADDRINUSE);
    EXPECT_TRUE(LogHas("U [UDP Server Socket Create Error!] port = " + std::to_string(chat.Port()) +
                       ", socket = " + test::Id(&second) +
                       ", err = " + std::to_string(EADDRINUSE)));
    EXPECT_EQ(second.SendTextTo("abc", "127.0.0.1", peer.port()), -1);
    EXPECT_EQ(second.GetLastError(), ENOTCONN);

    char buffer[16];
    EXPECT_EQ(chat.Send("x", 1), -1);
    EXPECT_EQ(chat.GetLastError(), ENOTCONN);
    EXPECT_EQ(chat.SendOne("x", 1, &chat), -1);
    EXPECT_FALSE(chat.CloseConnection(&chat));
    EXPECT_EQ(chat.WaitReadable(0), -1);
    CNetSocket polled(0, nullptr, 0, 1, 256);
    EXPECT_EQ(polled.Receive(nullptr, buffer, sizeof buffer), -1);
    EXPECT_EQ(polled.GetLastError(), ENOTCONN);
}

}  // namespace
}  // namespace kestrel
