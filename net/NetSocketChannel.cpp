#include "net/NetSocketChannel.h"

#include "net/NetSocket.h"

namespace kestrel {

NetSocketChannel::NetSocketChannel(std::shared_ptr<CNetSocket> socket)
    : m_socket(std::move(socket)) {}

int NetSocketChannel::Send(const char* data, int length) {
    return m_socket->Send(data, length);
}

int NetSocketChannel::WaitReadable(int timeoutMs) {
    return m_socket->WaitReadable(timeoutMs);
}

int NetSocketChannel::Receive(char* buffer, int size) {
    SocketEvent peer;
    return m_socket->Receive(&peer, buffer, size);
}

int NetSocketChannel::GetLastError() {
    return m_socket->GetLastError();
}

}  // namespace kestrel
