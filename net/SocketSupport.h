#pragma once

// Small pieces the socket layer shares: the per-thread socket error, the shapes of identities,
// addresses and data in trace texts, host look-up, and the read rule of a data event.

#include <functional>
#include <string>

#include <netinet/in.h>

namespace kestrel::net {

// The calling thread's most recent socket error, as the socket layer left it.
int ThreadSocketError();
void SetThreadSocketError(int error);

// Would-block and in-progress are never failures of create, listen, connect or broadcast.
bool IsWouldBlock(int error);

// The 32-bit identity printed with "%08X": the low half of the object's address.
unsigned SocketId(const void* object);

// Data bytes as text for a trace line: up to the first zero byte, never more than length,
// control bytes escaped (LogSafeText).
std::string DataText(const char* data, int length);

// Peer of a connected socket; empty and 0 when it cannot be determined.
struct PeerAddress {
    std::string address;
    int port = 0;
};
PeerAddress PeerOf(int fd);
PeerAddress FromSockaddr(const sockaddr_in& addr);

// Local port a socket is bound to; 0 when unknown.
int LocalPortOf(int fd);

// Host as a dotted IPv4 address, else looked up as a name (first IPv4 address). 0 or EINVAL.
int ResolveHost(const std::string& host, int port, sockaddr_in& out);

// printf into a std::string, for trace texts.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Trace through WriteTrace, formatted only when tracing is on.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The read of a data event: read up to readSize bytes (never more than 256, the size of
// SocketData); when fewer than 256 came, read once more for the rest of readSize and append
// it. read(buffer, want) is one non-blocking read returning its count, 0 or -1. Returns the
// total when anything was read, else the first read's own result (0 = peer closed, -1 =
// failed).
int ReadWithTopUp(char* buffer, int readSize, const std::function<int(char*, int)>& read);

// The largest read a data event makes: the size of SocketData's data.
constexpr int kEventDataSize = 256;

}  // namespace kestrel::net
