#include "net/CNetConnection.h"

#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <memory>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/NetSocket.h"
#include "net/SocketSupport.h"
#include "res/TextsNet.h"

namespace kestrel {

using net::SocketId;
using net::Trace;

namespace {

// Failures of accept that say the process or the system has no room for one more
// connection now; the connection stays pending, so the notifier would fire again at once.
bool IsOutOfResources(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

const void* NextIdentity() {
    static std::atomic<std::uintptr_t> next{0x10000000};
    return reinterpret_cast<const void*>(next.fetch_add(0x10));
}

}  // namespace

unsigned SocketId(const CNetConnection* connection) {
    return connection ? net::SocketId(connection->Identity()) : 0;
}

CNetConnection::CNetConnection(int deliver, CNetSocket* parent, int readSize)
    : m_identity(NextIdentity()), m_deliver(deliver), m_parent(parent), m_readSize(readSize) {}

CNetConnection::~CNetConnection() {
    StopNotifiers();
    if (m_fd >= 0) ::close(m_fd);
}

int CNetConnection::Create(int port, bool reuseAddress) {
    if (port < 0 || port > 65535) return EINVAL;
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) return errno;
    if (reuseAddress) {
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    return ::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 ? 0 : errno;
}

int CNetConnection::Listen(int backlog) {
    m_role = Role::Listening;
    return ::listen(m_fd, backlog) == 0 ? 0 : errno;
}

int CNetConnection::Connect(const std::string& host, int port) {
    sockaddr_in remote{};
    if (const int error = net::ResolveHost(host, port, remote); error != 0) return error;
    m_connecting = true;
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) return 0;
    const int error = errno;
    if (!net::IsWouldBlock(error)) m_connecting = false;
    return error;
}

int CNetConnection::LocalPort() const {
    return net::LocalPortOf(m_fd);
}

void CNetConnection::StartEvents() {
    if (!m_deliver || m_fd < 0 || m_closed) return;
    m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read);
    if (m_role == Role::Listening) {
        QObject::connect(m_readNotifier, &QSocketNotifier::activated, m_readNotifier,
                         [this] { OnConnectionPending(); });
        return;
    }
    QObject::connect(m_readNotifier, &QSocketNotifier::activated, m_readNotifier,
                     [this] { OnReadable(); });
    if (m_connecting) {
        m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write);
        QObject::connect(m_writeNotifier, &QSocketNotifier::activated, m_writeNotifier,
                         [this] { OnWritable(); });
    }
}

void CNetConnection::StopNotifiers() {
    // A notifier may be the very one whose signal is running: cut it off now, delete it later.
    for (QSocketNotifier** slot : {&m_readNotifier, &m_writeNotifier}) {
        if (QSocketNotifier* notifier = *slot) {
            notifier->setEnabled(false);
            QObject::disconnect(notifier, nullptr, nullptr, nullptr);
            notifier->deleteLater();
            *slot = nullptr;
        }
    }
    if (m_acceptRetry) {
        m_acceptRetry->stop();
        QObject::disconnect(m_acceptRetry, nullptr, nullptr, nullptr);
        m_acceptRetry->deleteLater();
        m_acceptRetry = nullptr;
    }
}

void CNetConnection::PauseAccepting() {
    // The pending connection stays in the backlog and is taken on the next try, once a
    // closed or timed-out connection has given a descriptor back.
    if (!m_readNotifier) return;
    m_readNotifier->setEnabled(false);
    if (!m_acceptRetry) {
        m_acceptRetry = new QTimer;
        m_acceptRetry->setSingleShot(true);
        QObject::connect(m_acceptRetry, &QTimer::timeout, m_acceptRetry, [this] {
            if (m_readNotifier) m_readNotifier->setEnabled(true);
        });
    }
    m_acceptRetry->start(m_parent->AcceptRetryMs());
}

void CNetConnection::Close() {
    if (m_closed.exchange(true)) return;
    StopNotifiers();
    if (m_fd >= 0) ::shutdown(m_fd, SHUT_RDWR);
}

void CNetConnection::ReportConnected(int error) {
    const net::PeerAddress peer = net::PeerOf(m_fd);
    Trace(txt::kTraceConnected, error, peer.address.c_str(), peer.port, SocketId(this));
}

void CNetConnection::CheckConnected() {
    if (!m_connecting.load() || m_closed) return;
    pollfd p{m_fd, POLLOUT, 0};
    if (::poll(&p, 1, 0) <= 0 || p.revents == 0) return;
    if (!m_connecting.exchange(false)) return;
    int error = 0;
    socklen_t len = sizeof error;
    ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &len);
    ReportConnected(error);
}

void CNetConnection::OnWritable() {
    if (m_writeNotifier) m_writeNotifier->setEnabled(false);
    if (!m_connecting.exchange(false)) return;
    int error = 0;
    socklen_t len = sizeof error;
    ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &len);
    ReportConnected(error);
}

void CNetConnection::OnReadable() {
    if (!m_deliver) return;
    int readError = 0;
    char buffer[net::kEventDataSize] = {};
    const int total = net::ReadWithTopUp(buffer, m_readSize, [&](char* into, int want) {
        const ssize_t n = ::recv(m_fd, into, static_cast<std::size_t>(want), 0);
        if (n < 0) readError = errno;
        return static_cast<int>(n);
    });
    if (total == 0) return OnPeerClosed(0);
    if (total < 0) {
        net::SetThreadSocketError(readError);
        // A reset or a failed connect ends the connection; a spurious wake-up does not.
        if (!net::IsWouldBlock(readError) && readError != EINTR) OnPeerClosed(readError);
        return;
    }
    m_lastHeard = std::chrono::steady_clock::now();
    m_parent->PostReceived(*this, buffer, total);
    const net::PeerAddress peer = net::PeerOf(m_fd);
    Trace(txt::kTraceReceive, total, peer.address.c_str(), peer.port, SocketId(this),
          net::DataText(buffer, total).c_str());
}

void CNetConnection::OnConnectionPending() {
    auto accepted = std::make_unique<CNetConnection>(m_deliver, m_parent, m_readSize);
    sockaddr_in from{};
    socklen_t len = sizeof from;
    accepted->m_fd =
        ::accept4(m_fd, reinterpret_cast<sockaddr*>(&from), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (accepted->m_fd < 0) {
        // Out of descriptors: give up the connection that has been silent longest, so the
        // pending one (perhaps a real query among a flood of idle ones) is taken on the next
        // wake-up; with none to give up, wait. Either way the notifier cannot spin: each
        // wake-up either accepts or is followed by a pause.
        if (IsOutOfResources(errno) && !m_parent->CloseLongestSilent()) PauseAccepting();
        return;
    }
    accepted->m_remoteAddress = from.sin_addr.s_addr;
    const net::PeerAddress peer = net::FromSockaddr(from);
    const void* identity = accepted->Identity();
    m_parent->AddConnection(std::move(accepted));
    Trace(txt::kTraceAccept, peer.address.c_str(), peer.port, SocketId(this), SocketId(identity));
}

void CNetConnection::OnPeerClosed(int error) {
    const net::PeerAddress peer = net::PeerOf(m_fd);
    Trace(txt::kTraceClosed, error, peer.address.c_str(), peer.port, SocketId(this));
    // This releases the connection: nothing may touch it after the call.
    m_parent->CloseConnection(Identity());
}

}  // namespace kestrel
