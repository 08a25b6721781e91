#pragma once

#include <memory>

#include "net/SocketChannel.h"

namespace kestrel {

class CNetSocket;

// A polling CNetSocket client as a SocketChannel. Holds its own reference, so the socket stays
// alive for as long as the dialogue using it.
class NetSocketChannel final : public SocketChannel {
public:
    explicit NetSocketChannel(std::shared_ptr<CNetSocket> socket);
    int Send(const char* data, int length) override;
    int WaitReadable(int timeoutMs) override;
    int Receive(char* buffer, int size) override;
    int GetLastError() override;

private:
    std::shared_ptr<CNetSocket> m_socket;
};

}  // namespace kestrel
