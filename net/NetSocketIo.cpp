// The operations of CNetSocket that move data: sends, datagrams, the polled read.
#include "net/NetSocket.h"

#include <cerrno>
#include <cstring>

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

#include "net/CNetConnection.h"
#include "net/SocketSupport.h"
#include "res/TextsNet.h"

namespace kestrel {

using net::SocketId;
using net::Trace;

namespace {

const char* const kBroadcastHost = "255.255.255.255";

}  // namespace

int CNetSocket::Send(const char* data, int length) {
    if (m_datagram || m_serverForm) return NotConnected();
    const auto connection = Primary();
    if (!connection) return NotConnected();
    return SendOn(*connection, data, length);
}

int CNetSocket::SendOne(const char* data, int length, const void* connection) {
    if (m_datagram) return NotConnected();
    if (m_serverForm) {
        // Accepted connections live and die on the user-interface thread, as this call does.
        CNetConnection* accepted = FindAccepted(connection);
        if (!accepted) return NotConnected();
        return SendOn(*accepted, data, length);
    }
    const auto primary = Primary();
    if (!primary || primary->Identity() != connection) return NotConnected();
    return SendOn(*primary, data, length);
}

int CNetSocket::SendOn(CNetConnection& connection, const char* data, int length) {
    if (length < 0 || (!data && length > 0)) return Fail(EINVAL);
    connection.CheckConnected();
    // MSG_NOSIGNAL: a peer that has gone away is an error number, not the end of the program.
    const ssize_t sent =
        ::send(connection.Fd(), data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
    const int error = sent < 0 ? errno : 0;
    const net::PeerAddress peer = net::PeerOf(connection.Fd());
    const std::string text = net::DataText(data, length);
    if (sent < 0) {
        Fail(error);
        Trace(txt::kTraceSendError, peer.address.c_str(), peer.port, SocketId(&connection), error,
              text.c_str());
        return -1;
    }
    Trace(txt::kTraceSend, static_cast<int>(sent), peer.address.c_str(), peer.port,
          SocketId(&connection), text.c_str());
    return static_cast<int>(sent);
}

int CNetSocket::SendTo(const char* data, int length, const std::string& host, int port) {
    return SendDatagram(data, length, host, port, 0, host.c_str());
}

int CNetSocket::SendTextTo(const std::string& text, const std::string& host, int port) {
    return SendText(text, host, port, 0, host.c_str());
}

int CNetSocket::BroadcastText(const std::string& text) {
    if (!m_datagram || DatagramFd() < 0) return NotConnected();
    const int on = 1;
    if (::setsockopt(DatagramFd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 &&
        !net::IsWouldBlock(errno))
        return Fail(errno);
    return SendText(text, kBroadcastHost, m_port, MSG_DONTROUTE, txt::kTraceBroadcastAddress);
}

int CNetSocket::BroadcastData(const char* data, int length) {
    if (!m_datagram || DatagramFd() < 0) return NotConnected();
    const int on = 1;
    if (::setsockopt(DatagramFd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 &&
        !net::IsWouldBlock(errno))
        return Fail(errno);
    return SendDatagram(data, length, kBroadcastHost, m_port, MSG_DONTROUTE,
                        txt::kTraceBroadcastAddress);
}

int CNetSocket::SendText(const std::string& text, const std::string& host, int port, int flags,
                         const char* shownAddress) {
    // The text is sent as a C string: it ends at its first zero byte, which goes with it.
    const std::size_t length = ::strnlen(text.c_str(), text.size());
    if (!m_datagram || DatagramFd() < 0) return NotConnected();
    if (length > kMaxText) {
        // Cutting would send a different message than the caller wrote; refuse it whole.
        Fail(EMSGSIZE);
        Trace(txt::kTraceSendToError, shownAddress, port, SocketId(this), EMSGSIZE,
              std::string(text.c_str(), length).c_str());
        return -1;
    }
    char buffer[kMaxText + 1] = {};
    std::memcpy(buffer, text.data(), length);
    return SendDatagram(buffer, static_cast<int>(length) + 1, host, port, flags, shownAddress);
}

int CNetSocket::SendDatagram(const char* data, int length, const std::string& host, int port,
                             int flags, const char* shownAddress) {
    if (!m_datagram || DatagramFd() < 0) return NotConnected();
    if (length < 0 || (!data && length > 0)) return Fail(EINVAL);
    const std::string text = net::DataText(data, length);
    sockaddr_in to{};
    int error = net::ResolveHost(host, port, to);
    ssize_t sent = -1;
    if (error == 0) {
        sent = ::sendto(DatagramFd(), data, static_cast<std::size_t>(length), flags,
                        reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (sent < 0) error = errno;
    }
    if (sent < 0) {
        Fail(error);
        Trace(txt::kTraceSendToError, shownAddress, port, SocketId(this), error, text.c_str());
        return -1;
    }
    Trace(txt::kTraceSendTo, shownAddress, port, SocketId(this), text.c_str());
    return static_cast<int>(sent);
}

int CNetSocket::Receive(SocketEvent* event, char* buffer, int size) {
    if (m_owner) {
        m_lastError = 0;
        net::SetThreadSocketError(0);
        return -1;
    }
    if (m_serverForm || m_datagram) return NotConnected();
    const auto connection = Primary();
    if (!connection) return NotConnected();
    if (!buffer || size <= 0) return Fail(EINVAL);

    connection->CheckConnected();
    const net::PeerAddress peer = net::PeerOf(connection->Fd());
    if (event) {
        std::strncpy(event->peerAddress, peer.address.c_str(), sizeof event->peerAddress - 1);
        event->peerAddress[sizeof event->peerAddress - 1] = '\0';
        event->peerPort = peer.port;
    }
    ssize_t got = ::recv(connection->Fd(), buffer, static_cast<std::size_t>(size), 0);
    if (got <= 0) {
        const int error = got < 0 ? errno : 0;
        net::SetThreadSocketError(error);
        // No notifier watches a polled connection, so the read itself is where the peer's
        // close (an orderly end, a reset, a refused connect) shows. It closes the connection
        // as the event would: later sends and reads fail with not connected.
        if (got == 0 || (!net::IsWouldBlock(error) && error != EINTR)) {
            Trace(txt::kTraceClosed, error, peer.address.c_str(), peer.port,
                  SocketId(connection.get()));
            CloseConnection(connection->Identity());
            Fail(ENOTCONN);
        }
        got = -1;
    }
    const int result = static_cast<int>(got);
    Trace(txt::kTraceReceive, result, peer.address.c_str(), peer.port, SocketId(connection.get()),
          net::DataText(buffer, result).c_str());
    return result;
}

int CNetSocket::WaitReadable(int timeoutMs) {
    const auto connection = Primary();
    if (!connection || m_serverForm) return -1;
    pollfd p[2] = {{connection->Fd(), POLLIN, 0}, {m_interruptFd, POLLIN, 0}};
    const int ready = ::poll(p, m_interruptFd >= 0 ? 2 : 1, timeoutMs < 0 ? 0 : timeoutMs);
    return ready > 0 && p[0].revents != 0 ? 1 : 0;
}

bool CNetSocket::EnableInterrupt() {
    if (m_interruptFd < 0) m_interruptFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return m_interruptFd >= 0;
}

void CNetSocket::Interrupt() {
    if (m_interruptFd < 0) return;
    // The counter stays above zero (nobody reads it), so the fd stays readable.
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_interruptFd, &one, sizeof one);
}

}  // namespace kestrel
