#pragma once

// Loopback peers and an owner window stand-in for the socket tests.

#include <QObject>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/NetSocket.h"
#include "net/TraceLog.h"
#include "platform/MessageEvent.h"
#include "tests/support/Spin.h"

namespace kestrel::test {

// The owner window: keeps every socket event posted to it.
class SocketOwner : public QObject {
public:
    struct Got {
        unsigned message = 0;
        SocketEvent event;
        bool hasData = false;
        SocketData data;
    };
    std::vector<Got> got;
    std::vector<std::string> datagrams;  // handed over whole

protected:
    bool event(QEvent* e) override {
        auto* m = asMessage(e);
        if (!m) return QObject::event(e);
        Got g;
        g.message = m->message();
        if (auto ev = m->takeFirst<SocketEvent>()) g.event = *ev;
        if (auto data = m->takeSecond<SocketData>()) {
            g.hasData = true;
            g.data = *data;
        }
        if (auto whole = m->takeSecond<SocketDatagram>()) datagrams.push_back(whole->data);
        got.push_back(g);
        return true;
    }
};

inline std::string Id(const void* object) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X",
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(object) & 0xFFFFFFFFu));
    return text;
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string SocketLog() {
    return ReadAll(SocketLogPath());
}

inline bool LogHas(const std::string& text) {
    return SocketLog().find(text) != std::string::npos;
}

inline int Count(const std::string& haystack, const std::string& needle) {
    int n = 0;
    for (auto at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + needle.size()))
        ++n;
    return n;
}

inline int LocalPort(int fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

inline sockaddr_in Loopback(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    return addr;
}

// A blocking loopback socket of the test's own; closed with the object.
class RawSocket {
public:
    explicit RawSocket(int type) : m_fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0)) {}
    explicit RawSocket(int fd, bool) : m_fd(fd) {}
    RawSocket(RawSocket&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    ~RawSocket() { Close(); }
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;

    static RawSocket Listener() {
        RawSocket s(SOCK_STREAM);
        const sockaddr_in addr = Loopback(0);
        ::bind(s.m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
        ::listen(s.m_fd, 16);
        return s;
    }
    static RawSocket Udp() {
        RawSocket s(SOCK_DGRAM);
        const sockaddr_in addr = Loopback(0);
        ::bind(s.m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
        return s;
    }
    static RawSocket ConnectTo(int port) {
        RawSocket s(SOCK_STREAM);
        const sockaddr_in addr = Loopback(port);
        if (::connect(s.m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
            s.Close();
        return s;
    }

    int fd() const { return m_fd; }
    int port() const { return LocalPort(m_fd); }
    bool Readable(int timeoutMs) const {
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, timeoutMs) > 0;
    }
    RawSocket Accept(int timeoutMs = 5000) const {
        if (!Readable(timeoutMs)) return RawSocket(-1, true);
        return RawSocket(::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC), true);
    }
    void Send(const std::string& bytes) const {
        ASSERT_EQ(::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // One read after waiting for data; "" on end of stream or time-out.
    std::string Read(int timeoutMs = 5000) const {
        if (!Readable(timeoutMs)) return {};
        char buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, n) : std::string();
    }
    bool AtEnd(int timeoutMs = 5000) const {
        if (!Readable(timeoutMs)) return false;
        char c;
        return ::recv(m_fd, &c, 1, MSG_PEEK) == 0;
    }
    void Close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// A blocking TCP socket bound to a chosen loopback address (127.0.0.0/8 is all loopback),
// connecting to port.
inline RawSocket ConnectFrom(const char* from, int port) {
    RawSocket s(SOCK_STREAM);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &local.sin_addr);
    const sockaddr_in remote = test::Loopback(port);
    if (::bind(s.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(s.fd(), reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0)
        s.Close();
    return s;
}

// Every socket test writes the socket trace into a fresh file, from before the sockets of
// its fixture are made.
class SocketTest : public ::testing::Test {
protected:
    SocketTest() {
        std::remove(SocketLogPath().c_str());
        SetTraceEnabled(true);
    }
    ~SocketTest() override { SetTraceEnabled(false); }
};

}  // namespace kestrel::test
