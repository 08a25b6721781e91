#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ident/CIdentificationWnd.h"
#include "tests/support/Spin.h"
#include "tests/support/WorkerTestSupport.h"

namespace kestrel {
namespace {

using test::RecordingLogSink;
using test::SpinFor;
using test::SpinUntil;
using Strings = std::vector<std::string>;

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

// One asking server's connection to the responder. The responder lives on this thread's
// event loop, so the client never blocks: it reads while the loop spins.
class IdentClient {
public:
    // wait = false leaves the connect in progress (for floods, where the backlog is small);
    // from: the loopback address to connect from, when not the system's choice.
    explicit IdentClient(int port, bool wait = true, const char* from = nullptr) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (from) {
            sockaddr_in local{};
            local.sin_family = AF_INET;
            ::inet_pton(AF_INET, from, &local.sin_addr);
            ::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);
        }
        const sockaddr_in address = Loopback(port);
        ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (wait) SpinUntil([this] { return Writable(); });
    }
    ~IdentClient() { Close(); }
    IdentClient(const IdentClient&) = delete;
    IdentClient& operator=(const IdentClient&) = delete;

    bool Send(const std::string& bytes) {
        return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    // Everything the responder sent until it closed the connection; none when it stayed
    // open.
    std::optional<std::string> UntilClosed(int timeoutMs = 5000) {
        if (!SpinUntil([this] { return Pump(); }, timeoutMs)) return std::nullopt;
        return m_received;
    }
    bool ClosedByPeer() { return Pump(); }
    void Close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    bool Writable() {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(m_fd, &set);
        timeval zero{};
        return ::select(m_fd + 1, nullptr, &set, nullptr, &zero) > 0;
    }
    // Reads what is there; true once the peer has closed.
    bool Pump() {
        if (m_closed) return true;
        char buffer[512];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                m_received.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOTCONN)) {
                m_closed = true;
            }
            return m_closed;
        }
    }

    int m_fd = -1;
    std::string m_received;
    bool m_closed = false;
};

class IdentificationWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(wnd.Start(0, "alice"));
        ASSERT_GT(wnd.Port(), 0);
    }
    // The texts the handler logged (after the start's own).
    Strings HandlerLog() const {
        Strings texts = log.Texts();
        texts.erase(texts.begin());
        return texts;
    }
    static bool IsReplyLog(const std::string& text, const std::string& reply) {
        return text.rfind("(socket = ", 0) == 0 && text.size() > reply.size() &&
               text.compare(text.size() - reply.size() - 2, std::string::npos, ") " + reply) == 0;
    }

    RecordingLogSink log;
    CIdentificationWnd wnd{WorkerContext{nullptr, &log, nullptr}};
};

TEST_F(IdentificationWndTest, AnswersTheQueryAndClosesTheConnection) {
    EXPECT_EQ(wnd.objectName(), QStringLiteral("Identification Window"));
    IdentClient client(wnd.Port());
    ASSERT_TRUE(client.Send("6193, 23\r\n"));
    EXPECT_EQ(client.UntilClosed(), "6193, 23:USERID:MS-DOS:alice\r\n");
    EXPECT_TRUE(SpinUntil([&] { return wnd.OpenConnections() == 0; }));

    const Strings texts = log.Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], "ident socket ready\r\n");
    EXPECT_EQ(texts[1], "6193, 23\r\n");
    EXPECT_TRUE(IsReplyLog(texts[2], "6193, 23:USERID:MS-DOS:alice\r\n")) << texts[2];
}

TEST_F(IdentificationWndTest, TextAfterTheQueryLineIsNeitherEchoedNorALineOfTheLog) {
    IdentClient client(wnd.Port());
    ASSERT_TRUE(client.Send("1, 2\r\n05/19 09:30:05  forged\r\n\x1b[2J\r\n"));
    EXPECT_EQ(client.UntilClosed(), "1, 2:USERID:MS-DOS:alice\r\n");
    EXPECT_TRUE(SpinUntil([&] { return HandlerLog().size() == 2; }));
    const Strings texts = HandlerLog();
    EXPECT_EQ(texts[0], "1, 2\\r\\n05/19 09:30:05  forged\\r\\n\\x1b[2J\r\n");
    EXPECT_TRUE(IsReplyLog(texts[1], "1, 2:USERID:MS-DOS:alice\r\n")) << texts[1];
}

TEST_F(IdentificationWndTest, TheFirstDataAreAnsweredEvenWhenTheLineIsNotComplete) {
    struct Case {
        std::string first;
        std::string reply;
    } cases[] = {
        {"6193, ", "6193:USERID:MS-DOS:alice\r\n"},         // split: the rest comes too late
        {"6193, 23\n", "6193, 2:USERID:MS-DOS:alice\r\n"},  // bare line feed
    };
    for (const auto& c : cases) {
        IdentClient client(wnd.Port());
        ASSERT_TRUE(client.Send(c.first));
        EXPECT_EQ(client.UntilClosed(), c.reply) << c.first;
        client.Send("23\r\n");  // the rest of a split query finds the connection closed
    }
    SpinFor(50);
    const Strings texts = HandlerLog();
    EXPECT_EQ(texts.size(), 4u);  // one received text and one reply per connection
    EXPECT_EQ(wnd.OpenConnections(), 0u);
}

TEST_F(IdentificationWndTest, SimultaneousConnectionsAreEachAnsweredInTheOrderTheirDataCome) {
    IdentClient first(wnd.Port());
    IdentClient second(wnd.Port());
    ASSERT_TRUE(SpinUntil([&] { return wnd.OpenConnections() == 2; }));

    ASSERT_TRUE(second.Send("2222, 113\r\n"));
    EXPECT_EQ(second.UntilClosed(), "2222, 113:USERID:MS-DOS:alice\r\n");
    EXPECT_EQ(wnd.OpenConnections(), 1u);
    ASSERT_TRUE(first.Send("1111, 113\r\n"));
    EXPECT_EQ(first.UntilClosed(), "1111, 113:USERID:MS-DOS:alice\r\n");

    const Strings texts = HandlerLog();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "2222, 113\r\n");
    EXPECT_TRUE(IsReplyLog(texts[1], "2222, 113:USERID:MS-DOS:alice\r\n"));
    EXPECT_EQ(texts[2], "1111, 113\r\n");
    EXPECT_TRUE(IsReplyLog(texts[3], "1111, 113:USERID:MS-DOS:alice\r\n"));
}

TEST_F(IdentificationWndTest, APeerClosingWithoutDataLeavesNothingInTheLog) {
    IdentClient client(wnd.Port());
    ASSERT_TRUE(SpinUntil([&] { return wnd.OpenConnections() == 1; }));
    client.Close();
    EXPECT_TRUE(SpinUntil([&] { return wnd.OpenConnections() == 0; }));
    SpinFor(20);
    EXPECT_TRUE(HandlerLog().empty());
}

TEST_F(IdentificationWndTest, GarbageTinyDataAndSilentPeersDoNotStopTheAnswers) {
    IdentClient silent(wnd.Port());

    // More than one data event's worth of bytes of every value, zero bytes and line ends
    // among them.
    std::mt19937 random(1413);
    std::string garbage(700, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    garbage[0] = 'x';
    IdentClient noisy(wnd.Port());
    ASSERT_TRUE(noisy.Send(garbage));
    const auto reply = noisy.UntilClosed();
    ASSERT_TRUE(reply.has_value());
    EXPECT_LE(reply->size(), 255u);
    EXPECT_EQ(reply->find('\0'), std::string::npos);
    EXPECT_TRUE(reply->ends_with(":USERID:MS-DOS:alice\r\n")) << *reply;

    IdentClient tiny(wnd.Port());
    ASSERT_TRUE(tiny.Send("7"));
    EXPECT_EQ(tiny.UntilClosed(), "");  // one byte: no reply, but closed

    IdentClient asking(wnd.Port());
    ASSERT_TRUE(asking.Send("80, 4242\r\n"));
    EXPECT_EQ(asking.UntilClosed(), "80, 4242:USERID:MS-DOS:alice\r\n");

    EXPECT_TRUE(SpinUntil([&] { return wnd.OpenConnections() == 1; }));
    EXPECT_FALSE(silent.ClosedByPeer());
    silent.Close();
    EXPECT_TRUE(SpinUntil([&] { return wnd.OpenConnections() == 0; }));
}

TEST_F(IdentificationWndTest, AFloodBeyondTheCapIsTurnedAwayAndEveryClosedConnectionFreed) {
    std::vector<std::unique_ptr<IdentClient>> idle;
    std::size_t turnedAway = 0;
    constexpr std::size_t kFlood = 1030;
    // From four addresses, each within its share of the slots, and the last few from a fifth.
    const char* const from[] = {"127.0.0.11", "127.0.0.12", "127.0.0.13", "127.0.0.14",
                                "127.0.0.15"};
    // A few at a time: the listening backlog is small, and the responder accepts on this
    // thread's loop.
    while (idle.size() < kFlood) {
        const std::size_t batch = std::min<std::size_t>(4, kFlood - idle.size());
        for (std::size_t i = 0; i < batch; ++i) {
            const std::size_t n = idle.size();
            idle.push_back(
                std::make_unique<IdentClient>(wnd.Port(), false, from[n < 1024 ? n % 4 : 4]));
        }
        const std::size_t target = std::min<std::size_t>(idle.size(), 1024);
        ASSERT_TRUE(SpinUntil([&] { return wnd.OpenConnections() == target; }));
    }
    for (std::size_t i = 1024; i < kFlood; ++i) {
        if (idle[i]->UntilClosed(5000)) ++turnedAway;
    }
    EXPECT_EQ(turnedAway, kFlood - 1024);
    EXPECT_EQ(wnd.OpenConnections(), 1024u);

    idle.clear();
    ASSERT_TRUE(SpinUntil([&] { return wnd.OpenConnections() == 0; }, 20000));
    IdentClient asking(wnd.Port());
    ASSERT_TRUE(asking.Send("1, 2\r\n"));
    EXPECT_EQ(asking.UntilClosed(), "1, 2:USERID:MS-DOS:alice\r\n");
}

TEST(IdentificationWnd, APortInUseCannotBeStarted) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 1), 0);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);

    RecordingLogSink log;
    CIdentificationWnd wnd(WorkerContext{nullptr, &log, nullptr});
    EXPECT_FALSE(wnd.Start(ntohs(address.sin_port), "alice"));
    EXPECT_EQ(log.Texts(), Strings{"ident socket ready\r\n"});
    ::close(fd);
}

}  // namespace
}  // namespace kestrel
