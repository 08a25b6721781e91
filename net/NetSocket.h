#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Timing.h"

class QObject;

namespace kestrel {

class CNetConnection;

// First block of every socket event posted to the owner (MessageEvent::takeFirst<SocketEvent>).
struct SocketEvent {
    std::int32_t kind = 0;         // SOCKEVT_DATA or SOCKEVT_CLOSED
    const void* socket = nullptr;  // identity of the CNetConnection (TCP) or CNetSocket (UDP)
    char peerAddress[32] = {};
    std::int32_t peerPort = 0;
};

// Second block of a data event (MessageEvent::takeSecond<SocketData>).
struct SocketData {
    std::int32_t length = 0;
    char data[256] = {};
};

// Second block of a data event of a UDP server made with a read size above SocketData's
// (MessageEvent::takeSecond<SocketDatagram>): the datagram whole, up to the read size.
struct SocketDatagram {
    std::string data;
};

// The one socket class of the protocol workers: TCP server, UDP server or TCP client over
// non-blocking IPv4 sockets. With an owner, events are posted to it on the user-interface
// thread (readiness through QSocketNotifier); without one, a worker thread polls Receive.
class CNetSocket {
public:
    // TCP server (datagram 0) or UDP server (datagram 1) on port, all local addresses.
    // A TCP server takes its accept-retry and idle time-outs from timing.
    CNetSocket(int port, QObject* owner, unsigned eventMessage, int datagram, int readSize,
               const Timing& timing = ProgramTiming());
    // TCP client connecting to host:port (dotted address or name).
    CNetSocket(const std::string& host, int port, QObject* owner, unsigned eventMessage,
               int datagram, int readSize);
    ~CNetSocket();
    CNetSocket(const CNetSocket&) = delete;
    CNetSocket& operator=(const CNetSocket&) = delete;

    int Send(const char* data, int length);
    int SendOne(const char* data, int length, const void* connection);
    int SendTo(const char* data, int length, const std::string& host, int port);
    int SendTextTo(const std::string& text, const std::string& host, int port);
    int BroadcastText(const std::string& text);
    // A datagram of the given bytes to 255.255.255.255 on the socket's port, zero bytes and
    // all (a packet with lines after its text).
    int BroadcastData(const char* data, int length);
    int Receive(SocketEvent* event, char* buffer, int size);
    bool CloseConnection(const void* connection);
    int GetLastError() const;

    // For polling workers: wait until the primary connection is readable or closed, at most
    // timeoutMs. 1 readable (or peer closed), 0 timed out, -1 no connection.
    int WaitReadable(int timeoutMs);
    // For polling workers, before the worker starts: make Interrupt() possible. false where
    // the system refused (WaitReadable then waits out its time as before).
    bool EnableInterrupt();
    // Any thread: every WaitReadable from now on returns at once, so a worker that waits in
    // long slices comes to its stop test without waiting one out.
    void Interrupt();

    // Identity shown in traces and events.
    const void* Identity() const { return this; }
    // The remote port of a client; the local port of a server (the one the system chose when
    // the server was made on port 0).
    int Port() const { return m_port; }
    size_t AcceptedCount() const;

    // The most connections a server keeps at once; one more is closed as soon as accepted.
    static constexpr size_t kMaxAccepted = 1024;
    // The most of them one remote address holds at once, so that one host cannot take every
    // slot; a connection beyond it is closed as soon as accepted.
    static constexpr size_t kMaxAcceptedPerAddress = kMaxAccepted / 4;
    // The longest text SendTextTo and BroadcastText send (with its zero byte, 1,024 bytes).
    static constexpr size_t kMaxText = 1023;
    // The largest payload of a UDP datagram over IPv4: the read size that takes any whole.
    static constexpr int kMaxDatagram = 65507;

    // Used by CNetConnection only.
    void AddConnection(std::unique_ptr<CNetConnection> connection);
    int AcceptRetryMs() const { return m_acceptRetryMs; }
    // Close the accepted connection that has sent nothing for longest, if it has been silent
    // for at least the accept retry time (a real client's query comes at once); false when
    // there is none.
    bool CloseLongestSilent();
    void PostReceived(const CNetConnection& connection, const char* data, int length);

private:
    friend class CNetConnection;
    struct Impl;

    void CreateServer();
    void CreateDatagram();
    void CreateClient();
    std::shared_ptr<CNetConnection> Primary() const;
    // The accepted connection with this identity; null when it is not one of ours.
    CNetConnection* FindAccepted(const void* connection) const;
    int Fail(int error);
    int NotConnected();
    int SendOn(CNetConnection& connection, const char* data, int length);
    int SendDatagram(const char* data, int length, const std::string& host, int port, int flags,
                     const char* shownAddress);
    int SendText(const std::string& text, const std::string& host, int port, int flags,
                 const char* shownAddress);
    void OnDatagram();
    // One datagram to the owner; false when none was waiting.
    bool ReceiveDatagram();
    static constexpr int kDatagramsPerReadiness = 256;
    static constexpr int kDatagramReceiveBuffer = 4 * 1024 * 1024;
    int DatagramFd() const;
    // The notifier rests until the owner has handled what was posted (see OnDatagram).
    void ResumeAfterPosted();
    void CloseIdleConnections();

    int m_serverForm = 0;
    int m_readSize = 256;
    int m_datagram = 0;
    // Shared between the user-interface thread and a polling worker: guarded by m_primaryLock;
    // a worker holds a shared_ptr while it uses the connection, so a close on the other
    // thread never releases it under the worker.
    mutable std::mutex m_primaryLock;
    std::shared_ptr<CNetConnection> m_primary;
    std::vector<std::unique_ptr<CNetConnection>> m_accepted;
    QObject* m_owner = nullptr;
    std::string m_host;
    int m_port = 0;
    unsigned m_eventMessage = 0;
    std::atomic<int> m_lastError{0};
    int m_acceptRetryMs = 0;
    int m_idleConnectionMs = 0;
    std::unique_ptr<Impl> m_impl;  // the datagram socket and its notifier; the idle check
    int m_interruptFd = -1;        // eventfd; set before a worker starts, closed at the end
};

}  // namespace kestrel
