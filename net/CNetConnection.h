#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

class QSocketNotifier;
class QTimer;

namespace kestrel {

class CNetSocket;

// One TCP stream socket of a CNetSocket: a client's connection, a server's listening socket or
// a connection the server accepted. With deliver = 1 (the parent has an owner) its readiness
// is watched on the user-interface thread and data are read and posted at once; with
// deliver = 0 it has no notifiers and the parent's Receive polls it.
class CNetConnection {
public:
    CNetConnection(int deliver, CNetSocket* parent, int readSize);
    ~CNetConnection();
    CNetConnection(const CNetConnection&) = delete;
    CNetConnection& operator=(const CNetConnection&) = delete;

    // Make the non-blocking stream socket, bound to port on all local addresses (0: any
    // port). reuseAddress for servers, so a restart finds its port free of old connections.
    // 0 or the error number.
    int Create(int port, bool reuseAddress);
    int Listen(int backlog);
    // Start connecting to host:port; 0, EINPROGRESS, or the error (EINVAL: unknown host).
    int Connect(const std::string& host, int port);

    // Start watching readiness (only when delivering): accepts on a listening socket, data,
    // peer close and connect completion on a stream.
    void StartEvents();

    // Close the socket for good: notifiers stop and the peer sees the close now. The
    // descriptor itself is released with the object, so a worker that still holds the
    // connection never reaches a reused descriptor.
    void Close();

    // A polled connection learns of its connect completion when it is next used.
    void CheckConnected();

    int Fd() const { return m_fd; }
    int LocalPort() const;
    // Never the identity of an earlier connection, so an event still queued for a closed one
    // cannot be taken for a connection accepted after it.
    const void* Identity() const { return m_identity; }

    // An accepted connection's remote IPv4 address (network order) and when data last came
    // from it (or when it was accepted).
    std::uint32_t RemoteAddress() const { return m_remoteAddress; }
    std::chrono::steady_clock::time_point LastHeard() const { return m_lastHeard; }

private:
    enum class Role { Stream, Listening };

    void OnReadable();
    void OnConnectionPending();
    void OnWritable();
    void ReportConnected(int error);
    void OnPeerClosed(int error);
    void StopNotifiers();
    void PauseAccepting();

    const void* m_identity;
    int m_deliver;
    CNetSocket* m_parent;
    int m_readSize;
    int m_fd = -1;
    Role m_role = Role::Stream;
    std::atomic<bool> m_connecting{false};
    std::atomic<bool> m_closed{false};
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    // Listening socket: wakes the paused read notifier after a failed accept.
    QTimer* m_acceptRetry = nullptr;
    std::uint32_t m_remoteAddress = 0;
    std::chrono::steady_clock::time_point m_lastHeard = std::chrono::steady_clock::now();
};

// Traces show a connection by its identity, as its events do.
unsigned SocketId(const CNetConnection* connection);

}  // namespace kestrel
