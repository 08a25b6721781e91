#include "news/NntpSocketChannel.h"

#include "net/NetSocket.h"

namespace kestrel {

NntpSocketChannel::NntpSocketChannel(std::shared_ptr<CNetSocket> socket)
    : m_socket(std::move(socket)) {}

int NntpSocketChannel::Send(const char* data, int length) {
    return m_socket->Send(data, length);
}

int NntpSocketChannel::WaitReadable(int timeoutMs) {
    return m_socket->WaitReadable(timeoutMs);
}

int NntpSocketChannel::Receive(char* buffer, int size) {
    SocketEvent peer;
    return m_socket->Receive(&peer, buffer, size);
}

int NntpSocketChannel::GetLastError() {
    return m_socket->GetLastError();
}

}  // namespace kestrel
