#include "net/NetSocket.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/CNetConnection.h"
#include "net/SocketSupport.h"
#include "platform/MessageEvent.h"
#include "platform/Timing.h"
#include "res/Ids.h"
#include "res/TextsNet.h"

namespace kestrel {

using net::SocketId;
using net::Trace;

namespace {

constexpr int kListenBacklog = 5;

void CopyPeer(SocketEvent& event, const net::PeerAddress& peer) {
    std::strncpy(event.peerAddress, peer.address.c_str(), sizeof event.peerAddress - 1);
    event.peerAddress[sizeof event.peerAddress - 1] = '\0';
    event.peerPort = peer.port;
}

}  // namespace

// The datagram socket of the UDP form; the idle check of a server's accepted connections.
struct CNetSocket::Impl {
    int fd = -1;
    QSocketNotifier* notifier = nullptr;
    std::vector<char> buffer;  // one datagram, as large as the read size allows
    std::unique_ptr<QTimer> idleCheck;
};

CNetSocket::CNetSocket(int port, QObject* owner, unsigned eventMessage, int datagram, int readSize,
                       const Timing& timing)
    : m_serverForm(1),
      m_readSize(readSize),
      m_datagram(datagram ? 1 : 0),
      m_owner(owner),
      m_port(port),
      m_eventMessage(eventMessage),
      m_acceptRetryMs(timing.acceptRetryMs),
      m_idleConnectionMs(timing.idleConnectionMs),
      m_impl(std::make_unique<Impl>()) {
    net::SetThreadSocketError(0);
    if (m_datagram)
        CreateDatagram();
    else
        CreateServer();
}

CNetSocket::CNetSocket(const std::string& host, int port, QObject* owner, unsigned eventMessage,
                       int /*datagram: the client form is always a stream*/, int readSize)
    : m_serverForm(0),
      m_readSize(readSize),
      m_owner(owner),
      m_host(host),
      m_port(port),
      m_eventMessage(eventMessage),
      m_impl(std::make_unique<Impl>()) {
    net::SetThreadSocketError(0);
    CreateClient();
}

void CNetSocket::CreateServer() {
    auto listening = std::make_shared<CNetConnection>(m_owner ? 1 : 0, this, m_readSize);
    if (const int error = listening->Create(m_port, true); error && !net::IsWouldBlock(error)) {
        Fail(error);
        Trace(txt::kTraceServerCreateError, m_port, 0u, error);
        return;
    }
    if (m_port == 0) m_port = listening->LocalPort();
    Trace(txt::kTraceServerCreate, m_port, SocketId(listening.get()));
    if (const int error = listening->Listen(kListenBacklog); error && !net::IsWouldBlock(error)) {
        Fail(error);
        Trace(txt::kTraceListenError, m_port, 0u, error);
        return;
    }
    Trace(txt::kTraceListen, m_port, SocketId(listening.get()));
    if (m_owner) {
        m_impl->idleCheck = std::make_unique<QTimer>();
        m_impl->idleCheck->setSingleShot(true);
        QObject::connect(m_impl->idleCheck.get(), &QTimer::timeout, m_impl->idleCheck.get(),
                         [this] { CloseIdleConnections(); });
    }
    listening->StartEvents();
    std::lock_guard guard(m_primaryLock);
    m_primary = std::move(listening);
}

void CNetSocket::CreateDatagram() {
    int error = 0;
    int fd = -1;
    if (m_port < 0 || m_port > 65535) {
        error = EINVAL;
    } else if ((fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) < 0) {
        error = errno;
    } else {
        // No SO_REUSEADDR here: on this system it would let two programs share the chat
        // port silently instead of the second one learning that the port is taken.
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        local.sin_port = htons(static_cast<std::uint16_t>(m_port));
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            error = errno;
            ::close(fd);
            fd = -1;
        }
    }
    if (error) {
        Fail(error);
        Trace(txt::kTraceUdpCreateError, m_port, SocketId(this), error);
        return;
    }
    m_impl->fd = fd;
    // Room for the answers of a large office to one entry broadcast; the kernel may give less.
    const int receiveBuffer = kDatagramReceiveBuffer;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    if (m_port == 0) m_port = net::LocalPortOf(fd);
    Trace(txt::kTraceUdpCreate, m_port, SocketId(this));
    // Without an event message the datagrams stay queued; a notifier would only spin.
    if (m_owner && m_eventMessage != 0) {
        m_impl->notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
        QObject::connect(m_impl->notifier, &QSocketNotifier::activated, m_impl->notifier,
                         [this] { OnDatagram(); });
    }
}

void CNetSocket::CreateClient() {
    auto connection = std::make_shared<CNetConnection>(m_owner ? 1 : 0, this, m_readSize);
    if (const int error = connection->Create(0, false); error && !net::IsWouldBlock(error)) {
        Fail(error);
        Trace(txt::kTraceClientCreateError, m_port, 0u, error);
        return;
    }
    Trace(txt::kTraceClientCreate, m_port, SocketId(connection.get()));
    const int error = connection->Connect(m_host, m_port);
    if (error && !net::IsWouldBlock(error)) {
        Fail(error);
        Trace(txt::kTraceConnectError, m_port, 0u, error);
        return;
    }
    net::SetThreadSocketError(error);
    Trace(txt::kTraceConnect, m_port, SocketId(connection.get()));
    connection->StartEvents();
    std::lock_guard guard(m_primaryLock);
    m_primary = std::move(connection);
}

CNetSocket::~CNetSocket() {
    m_impl->idleCheck.reset();
    std::vector<std::unique_ptr<CNetConnection>> accepted;
    std::shared_ptr<CNetConnection> primary;
    {
        std::lock_guard guard(m_primaryLock);
        accepted.swap(m_accepted);
        primary = std::move(m_primary);
    }
    for (auto& connection : accepted) {
        const unsigned id = SocketId(connection.get());
        connection->Close();
        connection.reset();
        Trace(txt::kTraceShortClose, id);
    }
    if (primary) {
        const unsigned id = SocketId(primary.get());
        primary->Close();
        primary.reset();
        Trace(txt::kTracePrimaryClose, id);
    }
    if (m_impl->notifier) {
        // A resume still queued must not wake a notifier whose descriptor is closed.
        QCoreApplication::removePostedEvents(m_impl->notifier, QEvent::MetaCall);
        m_impl->notifier->setEnabled(false);
        QObject::disconnect(m_impl->notifier, nullptr, nullptr, nullptr);
        m_impl->notifier->deleteLater();
    }
    if (m_impl->fd >= 0) ::close(m_impl->fd);
    if (m_interruptFd >= 0) ::close(m_interruptFd);
}

std::shared_ptr<CNetConnection> CNetSocket::Primary() const {
    std::lock_guard guard(m_primaryLock);
    return m_primary;
}

size_t CNetSocket::AcceptedCount() const {
    std::lock_guard guard(m_primaryLock);
    return m_accepted.size();
}

CNetConnection* CNetSocket::FindAccepted(const void* connection) const {
    std::lock_guard guard(m_primaryLock);
    const auto it = std::find_if(m_accepted.begin(), m_accepted.end(), [connection](const auto& c) {
        return c->Identity() == connection;
    });
    return it == m_accepted.end() ? nullptr : it->get();
}

int CNetSocket::DatagramFd() const {
    return m_impl->fd;
}

int CNetSocket::Fail(int error) {
    m_lastError = error;
    net::SetThreadSocketError(error);
    return -1;
}

int CNetSocket::NotConnected() {
    return Fail(ENOTCONN);
}

int CNetSocket::GetLastError() const {
    if (Primary()) return net::ThreadSocketError();
    return m_lastError.load();
}

void CNetSocket::AddConnection(std::unique_ptr<CNetConnection> connection) {
    CNetConnection* added = connection.get();
    {
        std::lock_guard guard(m_primaryLock);
        const auto fromSameAddress = std::count_if(
            m_accepted.begin(), m_accepted.end(),
            [added](const auto& c) { return c->RemoteAddress() == added->RemoteAddress(); });
        if (m_accepted.size() < kMaxAccepted &&
            static_cast<size_t>(fromSameAddress) < kMaxAcceptedPerAddress) {
            m_accepted.push_back(std::move(connection));
        }
    }
    if (connection) {
        connection->Close();
        return;
    }
    added->StartEvents();
    // The running check is due no later than this connection's own time-out.
    if (m_impl->idleCheck && !m_impl->idleCheck->isActive())
        m_impl->idleCheck->start(m_idleConnectionMs);
}

bool CNetSocket::CloseLongestSilent() {
    const void* silent = nullptr;
    {
        std::lock_guard guard(m_primaryLock);
        const auto it = std::min_element(
            m_accepted.begin(), m_accepted.end(),
            [](const auto& a, const auto& b) { return a->LastHeard() < b->LastHeard(); });
        if (it != m_accepted.end() && std::chrono::steady_clock::now() - (*it)->LastHeard() >=
                                          std::chrono::milliseconds(m_acceptRetryMs))
            silent = (*it)->Identity();
    }
    return silent && CloseConnection(silent);
}

void CNetSocket::CloseIdleConnections() {
    using Clock = std::chrono::steady_clock;
    const auto now = Clock::now();
    const auto limit = std::chrono::milliseconds(m_idleConnectionMs);
    std::vector<const void*> idle;
    auto next = Clock::time_point::max();
    {
        std::lock_guard guard(m_primaryLock);
        for (const auto& c : m_accepted) {
            if (now - c->LastHeard() >= limit)
                idle.push_back(c->Identity());
            else
                next = std::min(next, c->LastHeard() + limit);
        }
    }
    // The owner hears of each close as of any other.
    for (const void* connection : idle) CloseConnection(connection);
    if (next != Clock::time_point::max() && m_impl->idleCheck) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now);
        m_impl->idleCheck->start(static_cast<int>(std::max<long long>(1, wait.count())));
    }
}

void CNetSocket::PostReceived(const CNetConnection& connection, const char* data, int length) {
    if (!m_owner) return;
    SocketEvent event;
    event.kind = SOCKEVT_DATA;
    event.socket = connection.Identity();
    CopyPeer(event, net::PeerOf(connection.Fd()));
    SocketData block;
    block.length = std::clamp(length, 0, static_cast<int>(sizeof block.data));
    std::memcpy(block.data, data, static_cast<std::size_t>(block.length));
    PostMessage(m_owner, m_eventMessage, 0, 0, own(event), own(block));
}

void CNetSocket::OnDatagram() {
    // A burst (every member answering one entry broadcast) is taken in one go, up to a cap so
    // that one readiness does not hold the loop too long. Then the socket rests until the
    // owner has handled the burst: a flood then waits in the kernel's bounded buffer, where the
    // excess is dropped, instead of piling up in the event queue faster than it is handled.
    int taken = 0;
    while (taken < kDatagramsPerReadiness && ReceiveDatagram()) ++taken;
    if (taken > 0) ResumeAfterPosted();
}

void CNetSocket::ResumeAfterPosted() {
    QSocketNotifier* notifier = m_impl->notifier;
    if (!notifier) return;
    notifier->setEnabled(false);
    // Queued behind the events just posted: it runs once the owner has had them.
    QMetaObject::invokeMethod(
        notifier, [notifier] { notifier->setEnabled(true); }, Qt::QueuedConnection);
}

bool CNetSocket::ReceiveDatagram() {
    const bool whole = m_readSize > static_cast<int>(sizeof SocketData::data);
    std::vector<char>& buffer = m_impl->buffer;
    buffer.resize(static_cast<std::size_t>(whole ? m_readSize : 1024));
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n = ::recvfrom(m_impl->fd, buffer.data(), buffer.size(), 0,
                                 reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK) net::SetThreadSocketError(errno);
        return false;
    }
    const net::PeerAddress peer = net::FromSockaddr(from);
    SocketEvent event;
    event.kind = SOCKEVT_DATA;
    event.socket = Identity();
    CopyPeer(event, peer);
    const std::string text = net::DataText(buffer.data(), static_cast<int>(n));
    if (whole) {
        PostMessage(m_owner, m_eventMessage, 0, 0, own(event),
                    own(SocketDatagram{std::string(buffer.data(), static_cast<std::size_t>(n))}));
    } else {
        // A datagram longer than the block is cut to it.
        SocketData block;
        block.length = static_cast<int>(std::min<ssize_t>(n, sizeof block.data));
        std::memcpy(block.data, buffer.data(), static_cast<std::size_t>(block.length));
        PostMessage(m_owner, m_eventMessage, 0, 0, own(event), own(block));
    }
    Trace(txt::kTraceReceiveFrom, peer.address.c_str(), peer.port, SocketId(this), text.c_str());
    return true;
}

bool CNetSocket::CloseConnection(const void* connection) {
    std::unique_ptr<CNetConnection> accepted;
    std::shared_ptr<CNetConnection> primary;
    CNetConnection* closing = nullptr;
    {
        std::lock_guard guard(m_primaryLock);
        if (m_serverForm) {
            const auto it =
                std::find_if(m_accepted.begin(), m_accepted.end(),
                             [connection](const auto& c) { return c->Identity() == connection; });
            if (it == m_accepted.end()) return false;
            accepted = std::move(*it);
            m_accepted.erase(it);
            closing = accepted.get();
        } else {
            if (!m_primary || m_primary->Identity() != connection) return false;
            primary = std::move(m_primary);
            closing = primary.get();
        }
    }
    net::PeerAddress peer;
    if (m_owner) {
        peer = net::PeerOf(closing->Fd());
        SocketEvent event;
        event.kind = SOCKEVT_CLOSED;
        event.socket = closing->Identity();
        CopyPeer(event, peer);
        PostMessage(m_owner, m_eventMessage, 0, 0, own(event), nullptr);
    }
    closing->Close();
    Trace(txt::kTraceClose, peer.address.c_str(), peer.port, SocketId(closing));
    return true;
}

}  // namespace kestrel
