// The TCP server form under peers that flood it: descriptors running out, connections that
// never speak, one address taking every slot.
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <sys/resource.h>

#include "platform/Timing.h"
#include "res/Ids.h"
#include "tests/net/NetSocketTestKit.h"

namespace kestrel {
namespace {

using test::ConnectFrom;
using test::RawSocket;
using test::SocketOwner;

// Counts the readiness wake-ups of every socket notifier of this thread.
class NotifierCounter : public QObject {
public:
    NotifierCounter() { QCoreApplication::instance()->installEventFilter(this); }
    ~NotifierCounter() override { QCoreApplication::instance()->removeEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::SockAct) ++count;
        return QObject::eventFilter(watched, e);
    }
};

void RunLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class FloodTest : public test::SocketTest {
protected:
    FloodTest() {
        ::getrlimit(RLIMIT_NOFILE, &m_savedLimit);
        SetTraceEnabled(false);
    }
    ~FloodTest() override { ::setrlimit(RLIMIT_NOFILE, &m_savedLimit); }
    void MakeServer(int acceptRetryMs, int idleMs) {
        Timing timing = ProgramTiming();
        timing.acceptRetryMs = acceptRetryMs;
        timing.idleConnectionMs = idleMs;
        server = std::make_unique<CNetSocket>(0, &owner, WM_IDENT_SOCKET, 0, 256, timing);
        ASSERT_EQ(server->GetLastError(), 0);
    }
    // The data event of the peer on this local port, once it has come.
    std::optional<SocketOwner::Got> DataFrom(int port, int timeoutMs = 5000) {
        std::optional<SocketOwner::Got> found;
        test::SpinUntil(
            [&] {
                for (const auto& g : owner.got)
                    if (g.event.kind == SOCKEVT_DATA && g.event.peerPort == port) found = g;
                return found.has_value();
            },
            timeoutMs);
        return found;
    }
    bool Answers(const RawSocket& peer) {
        peer.Send("6193, 23\r\n");
        const auto data = DataFrom(peer.port());
        if (!data) return false;
        const std::string reply = "6193, 23:USERID:MS-DOS:kestrel\r\n";
        server->SendOne(reply.data(), static_cast<int>(reply.size()), data->event.socket);
        return peer.Read() == reply;
    }

    SocketOwner owner;
    std::unique_ptr<CNetSocket> server;
    rlimit m_savedLimit{};
};

TEST_F(FloodTest, OutOfDescriptorsTheServerWaitsOrGivesUpItsLongestSilentConnection) {
    MakeServer(50, 60000);
    // Every descriptor the test needs is made before the limit drops.
    std::vector<RawSocket> flood;
    for (int i = 0; i < 4; ++i) flood.emplace_back(SOCK_STREAM | SOCK_NONBLOCK);
    RawSocket query(SOCK_STREAM | SOCK_NONBLOCK);

    // No descriptor left at all: the limit a few above the highest one in use (there may be
    // no gap below it), then every free one filled.
    rlimit lowered{};
    ::getrlimit(RLIMIT_NOFILE, &lowered);
    int highest = 0;
    for (int fd = 0; fd < 4096; ++fd)
        if (::fcntl(fd, F_GETFD) != -1) highest = fd;
    lowered.rlim_cur = static_cast<rlim_t>(highest) + 1 + 3;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<RawSocket> ballast;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        ballast.emplace_back(fd, true);
    ASSERT_EQ(errno, EMFILE);
    ASSERT_GE(ballast.size(), 3u);

    const sockaddr_in to = test::Loopback(server->Port());
    for (auto& peer : flood)
        ::connect(peer.fd(), reinterpret_cast<const sockaddr*>(&to), sizeof to);
    {
        // Nothing to give up: the connections wait in the backlog, and the listening
        // notifier must not keep firing for them meanwhile.
        NotifierCounter wakeUps;
        RunLoopFor(1000);
        EXPECT_LT(wakeUps.count, 100) << "the user-interface thread spins on a failed accept";
        EXPECT_EQ(server->AcceptedCount(), 0u);
    }

    // Room for three: the next try takes three; the fourth, once they have been silent a
    // while, replaces the one silent longest.
    for (int i = 0; i < 3; ++i) ballast.pop_back();
    ASSERT_TRUE(test::SpinUntil([&] { return server->AcceptedCount() == 3; }));
    const auto closedByServer = [&] {
        return std::count_if(flood.begin(), flood.end(),
                             [](const RawSocket& peer) { return peer.AtEnd(0); });
    };
    EXPECT_TRUE(test::SpinUntil([&] { return closedByServer() == 1; }));

    // A real query among them is taken and answered while the limit still holds.
    ::connect(query.fd(), reinterpret_cast<const sockaddr*>(&to), sizeof to);
    pollfd p{query.fd(), POLLOUT, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_TRUE(Answers(query));
    EXPECT_EQ(closedByServer(), 2);
    EXPECT_EQ(server->AcceptedCount(), 3u);
    {
        NotifierCounter wakeUps;
        RunLoopFor(500);
        EXPECT_LT(wakeUps.count, 50);
    }
}

TEST_F(FloodTest, ASilentConnectionIsClosedAfterTheIdleTimeOutAndATalkingOneIsKept) {
    MakeServer(200, 600);
    RawSocket silent = RawSocket::ConnectTo(server->Port());
    RawSocket talking = RawSocket::ConnectTo(server->Port());
    ASSERT_TRUE(test::SpinUntil([&] { return server->AcceptedCount() == 2; }));
    // The talking peer sends well within every time-out; the silent one sends nothing.
    for (int i = 0; i < 10; ++i) {
        talking.Send("x");
        test::SpinFor(150);
    }
    EXPECT_TRUE(silent.AtEnd(0));
    EXPECT_FALSE(talking.AtEnd(0));
    ASSERT_EQ(server->AcceptedCount(), 1u);

    const auto closed = std::find_if(owner.got.begin(), owner.got.end(), [&](const auto& g) {
        return g.event.kind == SOCKEVT_CLOSED && g.event.peerPort == silent.port();
    });
    EXPECT_NE(closed, owner.got.end()) << "the owner hears of the idle close";
    EXPECT_TRUE(test::SpinUntil([&] { return talking.AtEnd(0); }));
    EXPECT_TRUE(test::SpinUntil([&] { return server->AcceptedCount() == 0; }));
}

TEST_F(FloodTest, OneAddressHoldsNoMoreThanItsShareAndOthersAreStillAnswered) {
    MakeServer(200, 60000);
    const size_t share = CNetSocket::kMaxAcceptedPerAddress;
    ASSERT_LT(share, CNetSocket::kMaxAccepted);
    std::vector<RawSocket> flood;
    for (size_t i = 0; i < share; ++i) {
        flood.push_back(ConnectFrom("127.0.0.2", server->Port()));
        ASSERT_GE(flood.back().fd(), 0);
        ASSERT_TRUE(test::SpinUntil([&] { return server->AcceptedCount() == i + 1; })) << i;
    }
    RawSocket beyond = ConnectFrom("127.0.0.2", server->Port());
    ASSERT_GE(beyond.fd(), 0);
    EXPECT_TRUE(test::SpinUntil([&] { return beyond.AtEnd(0); }))
        << "one address took more than its share";
    EXPECT_EQ(server->AcceptedCount(), share);

    RawSocket other = ConnectFrom("127.0.0.1", server->Port());
    ASSERT_GE(other.fd(), 0);
    EXPECT_TRUE(Answers(other));
    // A slot the address gives back can be taken again.
    flood.front().Close();
    ASSERT_TRUE(test::SpinUntil([&] { return server->AcceptedCount() == share; }));
    RawSocket again = ConnectFrom("127.0.0.2", server->Port());
    EXPECT_TRUE(Answers(again));
}

}  // namespace
}  // namespace kestrel
