// The TCP server form with an owner window, as the ident responder uses it.
#include <cerrno>
#include <iterator>
#include <memory>
#include <optional>
#include <set>

#include <sys/resource.h>

#include "res/Ids.h"
#include "tests/net/NetSocketTestKit.h"

namespace kestrel {
namespace {

using test::LogHas;
using test::RawSocket;
using test::SocketOwner;

class ServerTest : public test::SocketTest {
protected:
    SocketOwner owner;
    std::unique_ptr<CNetSocket> server =
        std::make_unique<CNetSocket>(0, &owner, WM_IDENT_SOCKET, 0, 256);

    // Connect a peer and wait until the server has taken it.
    RawSocket Connect() {
        const size_t before = server->AcceptedCount();
        RawSocket peer = RawSocket::ConnectTo(server->Port());
        EXPECT_TRUE(test::SpinUntil([&] { return server->AcceptedCount() == before + 1; }));
        return peer;
    }
    // A copy: later events move the recorder's storage.
    std::optional<SocketOwner::Got> WaitEvent(size_t index) {
        if (!test::SpinUntil([&] { return owner.got.size() > index; })) return std::nullopt;
        return owner.got[index];
    }
};

TEST_F(ServerTest, AConnectionAcceptedAfterAnotherClosedNeverTakesItsIdentity) {
    // A peer that sends and leaves at once: its data event may still be queued when its
    // connection is gone and the next one is accepted, so identities must not repeat.
    std::set<const void*> seen;
    for (int i = 0; i < 40; ++i) {
        RawSocket peer = Connect();
        peer.Send("1, 2\r\n");
        const auto data = WaitEvent(owner.got.size());
        ASSERT_TRUE(data);
        ASSERT_TRUE(seen.insert(data->event.socket).second) << "identity reused at " << i;
        ASSERT_TRUE(server->CloseConnection(data->event.socket));
        ASSERT_TRUE(WaitEvent(owner.got.size()));
        EXPECT_EQ(server->SendOne("x", 1, data->event.socket), -1);
    }
}

TEST_F(ServerTest, AcceptsDeliversAnswersAndSeesThePeerLeave) {
    ASSERT_EQ(server->GetLastError(), 0);
    ASSERT_NE(server->Port(), 0);
    RawSocket peer = Connect();
    peer.Send("6193, 23\r\n");
    const auto data = WaitEvent(0);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->message, WM_IDENT_SOCKET);
    EXPECT_EQ(data->event.kind, SOCKEVT_DATA);
    EXPECT_STREQ(data->event.peerAddress, "127.0.0.1");
    EXPECT_EQ(data->event.peerPort, peer.port());
    ASSERT_TRUE(data->hasData);
    EXPECT_EQ(std::string(data->data.data, data->data.length), "6193, 23\r\n");
    EXPECT_EQ(data->data.data[data->data.length], '\0');
    const void* connection = data->event.socket;

    const std::string reply = "6193, 23 : USERID : UNIX : kestrel\r\n";
    EXPECT_EQ(server->SendOne(reply.data(), static_cast<int>(reply.size()), connection),
              static_cast<int>(reply.size()));
    EXPECT_EQ(peer.Read(), reply);

    peer.Close();
    const auto closed = WaitEvent(1);
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->event.kind, SOCKEVT_CLOSED);
    EXPECT_EQ(closed->event.socket, connection);
    EXPECT_FALSE(closed->hasData);
    EXPECT_EQ(server->AcceptedCount(), 0u);
    EXPECT_EQ(server->SendOne("x", 1, connection), -1);
    EXPECT_EQ(server->GetLastError(), ENOTCONN);

    const std::string port = std::to_string(server->Port());
    const std::string peerPort = std::to_string(data->event.peerPort);
    const std::string id = test::Id(connection);
    EXPECT_TRUE(LogHas("T [TCP Server Socket Listen] port = " + port + ", socket = "));
    EXPECT_TRUE(
        LogHas("T [TCP Socket Accept] ipaddr = 127.0.0.1, port = " + peerPort + ", SrvSocket = "));
    EXPECT_TRUE(LogHas(", newSocket = " + id + "\r\n"));
    EXPECT_TRUE(LogHas("T [TCP Socket Receive(size = 10)] ipaddr = 127.0.0.1, port = " + peerPort +
                       ", socket = " + id + " (6193, 23\r\n"));
    EXPECT_TRUE(LogHas("T [TCP Socket Closed (0)] ipaddr = 127.0.0.1, port = " + peerPort +
                       ", socket = " + id + "\r\n"));
    EXPECT_TRUE(LogHas("T [TCP Socket Close] ipaddr = 127.0.0.1, port = " + peerPort +
                       ", socket = " + id + "\r\n"));
}

TEST_F(ServerTest, OwnerClosingAConnectionHearsOfIt) {
    RawSocket peer = Connect();
    RawSocket other = Connect();
    peer.Send("1, 2\r\n");
    const auto data = WaitEvent(0);
    ASSERT_TRUE(data);
    const void* connection = data->event.socket;

    EXPECT_TRUE(server->CloseConnection(connection));
    EXPECT_FALSE(server->CloseConnection(connection));
    EXPECT_EQ(server->AcceptedCount(), 1u);
    const auto closed = WaitEvent(1);
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->event.kind, SOCKEVT_CLOSED);
    EXPECT_EQ(closed->event.socket, connection);
    EXPECT_EQ(closed->event.peerPort, peer.port());
    EXPECT_TRUE(peer.AtEnd());
    // The other connection is untouched.
    other.Send("3, 4\r\n");
    const auto still = WaitEvent(2);
    ASSERT_TRUE(still);
    EXPECT_EQ(still->event.kind, SOCKEVT_DATA);
    EXPECT_NE(still->event.socket, connection);
}

TEST_F(ServerTest, DataEventsNeverExceedTheReadSize) {
    struct Case {
        int readSize;
        int sent;
        std::vector<int> lengths;
    } const cases[] = {
        {256, 266, {256, 10}},
        {300, 266, {256, 10}},
        {16, 40, {16, 16, 8}},
    };
    for (const auto& c : cases) {
        SocketOwner sized;
        CNetSocket small(0, &sized, WM_IDENT_SOCKET, 0, c.readSize);
        RawSocket peer = RawSocket::ConnectTo(small.Port());
        ASSERT_TRUE(test::SpinUntil([&] { return small.AcceptedCount() == 1; }));
        std::string bytes;
        for (int i = 0; i < c.sent; ++i) bytes.push_back(static_cast<char>('A' + i % 26));
        peer.Send(bytes);
        ASSERT_TRUE(test::SpinUntil([&] { return sized.got.size() == c.lengths.size(); }))
            << c.readSize;
        std::string received;
        for (size_t i = 0; i < c.lengths.size(); ++i) {
            EXPECT_EQ(sized.got[i].data.length, c.lengths[i]) << c.readSize << " event " << i;
            received.append(sized.got[i].data.data, sized.got[i].data.length);
        }
        EXPECT_EQ(received, bytes);
    }
}

TEST_F(ServerTest, ConnectionBeyondTheCapIsClosedAtOnce) {
    SetTraceEnabled(false);
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t needed = 2 * CNetSocket::kMaxAccepted + 200;
    if (limit.rlim_cur < needed) {
        limit.rlim_cur = std::min(needed, limit.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur < needed) GTEST_SKIP() << "descriptor limit too low for the cap test";

    std::vector<RawSocket> peers;
    peers.reserve(CNetSocket::kMaxAccepted + 1);
    // From as many addresses as it takes to fill the cap within each one's share.
    const char* const from[] = {"127.0.0.11", "127.0.0.12", "127.0.0.13", "127.0.0.14"};
    static_assert(std::size(from) * CNetSocket::kMaxAcceptedPerAddress >= CNetSocket::kMaxAccepted);
    for (size_t i = 0; i < CNetSocket::kMaxAccepted; ++i) {
        peers.push_back(test::ConnectFrom(from[i % std::size(from)], server->Port()));
        ASSERT_TRUE(test::SpinUntil([&] { return server->AcceptedCount() == i + 1; })) << i;
    }
    SetTraceEnabled(true);
    RawSocket extra = RawSocket::ConnectTo(server->Port());
    ASSERT_GE(extra.fd(), 0);
    ASSERT_TRUE(test::SpinUntil([&] { return extra.AtEnd(0); }));
    EXPECT_EQ(server->AcceptedCount(), CNetSocket::kMaxAccepted);
    EXPECT_TRUE(owner.got.empty());
    EXPECT_TRUE(
        LogHas("T [TCP Socket Accept] ipaddr = 127.0.0.1, port = " + std::to_string(extra.port())));

    // The kept connections still work.
    peers.front().Send("1, 2\r\n");
    ASSERT_TRUE(test::SpinUntil([&] { return owner.got.size() == 1; }));
    SetTraceEnabled(false);
    peers.clear();
    EXPECT_TRUE(test::SpinUntil([&] { return server->AcceptedCount() == 0; }, 20000));
}

TEST_F(ServerTest, DestructionClosesEverythingQuietly) {
    RawSocket first = Connect();
    RawSocket second = Connect();
    first.Send("x");
    const auto data = WaitEvent(0);
    ASSERT_TRUE(data);
    const std::string firstId = test::Id(data->event.socket);
    server.reset();
    EXPECT_TRUE(first.AtEnd());
    EXPECT_TRUE(second.AtEnd());
    test::SpinFor(50);
    EXPECT_EQ(owner.got.size(), 1u);

    const std::string log = test::SocketLog();
    const auto shortClose = log.find("T [TCP Socket Close] socket = " + firstId + "\r\n");
    const auto primaryClose = log.find("* [*** Socket Close] socket = ");
    ASSERT_NE(shortClose, std::string::npos);
    ASSERT_NE(primaryClose, std::string::npos);
    EXPECT_LT(shortClose, primaryClose);
    EXPECT_EQ(test::Count(log, "T [TCP Socket Close] socket = "), 2);
}

TEST_F(ServerTest, PortInUseIsAStoredError) {
    const int port = server->Port();
    {
        CNetSocket second(port, &owner, WM_IDENT_SOCKET, 0, 256);
        EXPECT_EQ(second.GetLastError(), EADDRINUSE);
        EXPECT_TRUE(LogHas("T [TCP Server Socket Create Error!] port = " + std::to_string(port) +
                           ", socket = 00000000, err = " + std::to_string(EADDRINUSE) + "\r\n"));
        EXPECT_EQ(second.SendOne("x", 1, &second), -1);
        EXPECT_EQ(second.GetLastError(), ENOTCONN);
    }
    // The first server still takes connections.
    RawSocket peer = Connect();
    EXPECT_GE(peer.fd(), 0);
}

TEST_F(ServerTest, StreamOperationsOfAClientDoNotFit) {
    char buffer[16];
    EXPECT_EQ(server->Send("x", 1), -1);
    EXPECT_EQ(server->GetLastError(), ENOTCONN);
    CNetSocket polled(0, nullptr, 0, 0, 256);
    EXPECT_EQ(polled.Receive(nullptr, buffer, sizeof buffer), -1);
    EXPECT_EQ(polled.GetLastError(), ENOTCONN);
    EXPECT_EQ(server->SendTo("x", 1, "127.0.0.1", 9), -1);
    EXPECT_EQ(server->GetLastError(), ENOTCONN);
}

}  // namespace
}  // namespace kestrel
