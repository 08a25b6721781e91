// The TCP client form: polled by a worker (no owner) and with an owner window.
#include <cerrno>
#include <regex>
#include <thread>

#include "res/Ids.h"
#include "tests/net/NetSocketTestKit.h"

namespace kestrel {
namespace {

using test::LogHas;
using test::RawSocket;
using test::SocketLog;
using test::SocketOwner;

constexpr unsigned kEvents = WM_USER + 500;

// The identity the log gave the client's connection.
std::string ConnectionId(int port) {
    const std::regex create("T \\[TCP Client Socket Create\\] port = " + std::to_string(port) +
                            ", socket = ([0-9A-F]{8})");
    std::smatch found;
    const std::string log = SocketLog();
    return std::regex_search(log, found, create) ? found[1].str() : std::string("?");
}

class PolledClientTest : public test::SocketTest {};

TEST_F(PolledClientTest, ConnectsReadsAndSends) {
    RawSocket listener = RawSocket::Listener();
    const int port = listener.port();
    CNetSocket client("127.0.0.1", port, nullptr, 0, 0, 256);
    const int created = client.GetLastError();
    EXPECT_TRUE(created == 0 || created == EINPROGRESS) << created;

    SocketEvent event;
    char buffer[256];
    EXPECT_EQ(client.Receive(&event, buffer, sizeof buffer), -1);

    RawSocket server = listener.Accept();
    ASSERT_GE(server.fd(), 0);
    server.Send("+OK ready\r\n");
    ASSERT_EQ(client.WaitReadable(5000), 1);
    ASSERT_EQ(client.Receive(&event, buffer, sizeof buffer), 11);
    EXPECT_EQ(std::string(buffer, 11), "+OK ready\r\n");
    EXPECT_STREQ(event.peerAddress, "127.0.0.1");
    EXPECT_EQ(event.peerPort, port);

    EXPECT_EQ(client.Send("user kestrel\r\n", 14), 14);
    EXPECT_EQ(server.Read(), "user kestrel\r\n");

    const std::string id = ConnectionId(port);
    const std::string p = std::to_string(port);
    EXPECT_TRUE(LogHas("T [TCP Client Socket Connect] port = " + p + ", socket = " + id + "\r\n"));
    EXPECT_TRUE(LogHas("T [TCP Socket Connected (0)] ipaddr = 127.0.0.1, port = " + p +
                       ", socket = " + id + "\r\n"));
    // The data's own line end ends the line: the closing parenthesis falls behind it.
    EXPECT_TRUE(LogHas("T [TCP Socket Receive(size = 11)] ipaddr = 127.0.0.1, port = " + p +
                       ", socket = " + id + " (+OK ready\r\n"));
    EXPECT_TRUE(LogHas("T [TCP Socket Send(size = 14)] ipaddr = 127.0.0.1, port = " + p +
                       ", socket = " + id + " (user kestrel\r\n"));
}

TEST_F(PolledClientTest, PeerCloseEndsTheConnection) {
    RawSocket listener = RawSocket::Listener();
    const int port = listener.port();
    CNetSocket client("127.0.0.1", port, nullptr, 0, 0, 256);
    RawSocket server = listener.Accept();
    server.Send("+OK bye\r\n");
    server.Close();

    char buffer[256];
    ASSERT_EQ(client.WaitReadable(5000), 1);
    EXPECT_EQ(client.Receive(nullptr, buffer, sizeof buffer), 9);
    ASSERT_EQ(client.WaitReadable(5000), 1);
    EXPECT_EQ(client.Receive(nullptr, buffer, sizeof buffer), -1);
    EXPECT_EQ(client.GetLastError(), ENOTCONN);
    EXPECT_EQ(client.Send("quit\r\n", 6), -1);
    EXPECT_EQ(client.GetLastError(), ENOTCONN);
    EXPECT_EQ(client.Receive(nullptr, buffer, sizeof buffer), -1);
    EXPECT_EQ(client.WaitReadable(0), -1);

    const std::string id = ConnectionId(port);
    const std::string p = std::to_string(port);
    EXPECT_TRUE(LogHas("T [TCP Socket Closed (0)] ipaddr = 127.0.0.1, port = " + p +
                       ", socket = " + id + "\r\n"));
    // Without an owner the close line shows no peer.
    EXPECT_TRUE(LogHas("T [TCP Socket Close] ipaddr = , port = 0, socket = " + id + "\r\n"));
    EXPECT_TRUE(LogHas("T [TCP Socket Receive(size = -1)] ipaddr = 127.0.0.1, port = " + p +
                       ", socket = " + id + " ()\r\n"));
    // The closing read is the last one traced: later calls fail before reading.
    EXPECT_EQ(test::Count(SocketLog(), "Receive(size = -1)"), 1);
}

TEST_F(PolledClientTest, EveryEmptyReadIsTraced) {
    RawSocket listener = RawSocket::Listener();
    CNetSocket client("127.0.0.1", listener.port(), nullptr, 0, 0, 256);
    RawSocket server = listener.Accept();
    char buffer[256];
    for (int i = 0; i < 100; ++i) ASSERT_EQ(client.Receive(nullptr, buffer, sizeof buffer), -1);
    EXPECT_EQ(test::Count(SocketLog(), "T [TCP Socket Receive(size = -1)] ipaddr = 127.0.0.1"),
              100);
    EXPECT_TRUE(client.GetLastError() == EAGAIN || client.GetLastError() == EWOULDBLOCK);
}

TEST_F(PolledClientTest, FailedConnectsNeverRead) {
    RawSocket gone = RawSocket::Listener();
    const int freedPort = gone.port();
    gone.Close();
    struct Case {
        const char* host;
        int port;
        int error;  // 0: any, the connect may still be under way
        const char* trace;
    } const cases[] = {
        {"no-such-host.invalid", 110, EINVAL,
         "T [TCP Client Socket Connect Error!] port = 110, socket = 00000000, err = 22\r\n"},
        {"127.0.0.1", 70000, EINVAL,
         "T [TCP Client Socket Connect Error!] port = 70000, socket = 00000000, err = 22\r\n"},
        {"127.0.0.1", freedPort, 0, nullptr},
    };
    for (const auto& c : cases) {
        CNetSocket client(c.host, c.port, nullptr, 0, 0, 256);
        if (c.error) {
            EXPECT_EQ(client.GetLastError(), c.error) << c.host;
        }
        if (c.trace) {
            EXPECT_TRUE(LogHas(c.trace)) << c.trace;
        }
        char buffer[16];
        for (int i = 0; i < 3; ++i) {
            client.WaitReadable(1000);
            EXPECT_EQ(client.Receive(nullptr, buffer, sizeof buffer), -1) << c.host;
        }
        EXPECT_EQ(client.Send("x", 1), -1) << c.host;
        EXPECT_NE(client.GetLastError(), 0) << c.host;
    }
}

TEST_F(PolledClientTest, DatagramAndServerOperationsDoNotFit) {
    RawSocket listener = RawSocket::Listener();
    CNetSocket client("127.0.0.1", listener.port(), nullptr, 0, 0, 256);
    const int dummy = 0;
    EXPECT_EQ(client.SendTo("x", 1, "127.0.0.1", 9), -1);
    EXPECT_EQ(client.GetLastError(), ENOTCONN);
    EXPECT_EQ(client.SendTextTo("x", "127.0.0.1", 9), -1);
    EXPECT_EQ(client.BroadcastText("x"), -1);
    EXPECT_EQ(client.SendOne("x", 1, &dummy), -1);
    EXPECT_EQ(client.GetLastError(), ENOTCONN);
    EXPECT_FALSE(client.CloseConnection(&dummy));
}

// The mail and news checks poll their socket from a thread of their own.
TEST_F(PolledClientTest, WorkerThreadRunsADialogue) {
    RawSocket listener = RawSocket::Listener();
    CNetSocket client("127.0.0.1", listener.port(), nullptr, 0, 0, 256);
    std::string heard;
    int finalError = 0;
    std::thread worker([&] {
        char buffer[256];
        for (int slice = 0; slice < 100; ++slice) {
            if (client.WaitReadable(50) < 0) break;
            const int n = client.Receive(nullptr, buffer, sizeof buffer);
            if (n > 0) {
                heard.append(buffer, n);
                client.Send("quit\r\n", 6);
            }
            if (n < 0 && client.GetLastError() == ENOTCONN) break;
        }
        finalError = client.GetLastError();
    });
    RawSocket server = listener.Accept();
    server.Send("+OK\r\n");
    EXPECT_EQ(server.Read(), "quit\r\n");
    server.Close();
    worker.join();
    EXPECT_EQ(heard, "+OK\r\n");
    EXPECT_EQ(finalError, ENOTCONN);
}

class OwnedClientTest : public test::SocketTest {};

TEST_F(OwnedClientTest, DeliversDataThenTheClose) {
    SocketOwner owner;
    RawSocket listener = RawSocket::Listener();
    const int port = listener.port();
    CNetSocket client("127.0.0.1", port, &owner, kEvents, 0, 256);
    RawSocket server = listener.Accept();

    char buffer[16];
    EXPECT_EQ(client.Receive(nullptr, buffer, sizeof buffer), -1);
    EXPECT_EQ(client.GetLastError(), 0);
    ASSERT_TRUE(test::SpinUntil([] { return LogHas("T [TCP Socket Connected (0)]"); }));

    server.Send("hello");
    ASSERT_TRUE(test::SpinUntil([&] { return owner.got.size() == 1; }));
    const auto data = owner.got[0];
    EXPECT_EQ(data.message, kEvents);
    EXPECT_EQ(data.event.kind, SOCKEVT_DATA);
    ASSERT_TRUE(data.hasData);
    EXPECT_EQ(std::string(data.data.data, data.data.length), "hello");
    EXPECT_STREQ(data.event.peerAddress, "127.0.0.1");
    EXPECT_EQ(data.event.peerPort, port);

    server.Close();
    ASSERT_TRUE(test::SpinUntil([&] { return owner.got.size() == 2; }));
    const auto closed = owner.got[1];
    EXPECT_EQ(closed.event.kind, SOCKEVT_CLOSED);
    EXPECT_EQ(closed.event.socket, data.event.socket);
    EXPECT_FALSE(closed.hasData);
    EXPECT_EQ(client.Send("x", 1), -1);
    EXPECT_EQ(client.GetLastError(), ENOTCONN);

    const std::string id = test::Id(data.event.socket);
    EXPECT_EQ(ConnectionId(port), id);
    EXPECT_TRUE(LogHas("T [TCP Socket Closed (0)] ipaddr = 127.0.0.1, port = " +
                       std::to_string(port) + ", socket = " + id + "\r\n"));
}

}  // namespace
}  // namespace kestrel
