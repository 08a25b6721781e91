#pragma once

#include <memory>

#include "mail/Pop3Channel.h"

namespace kestrel {

class CNetSocket;

// A polling CNetSocket client as a Pop3Channel. Holds its own reference, so the socket stays
// alive for as long as the dialogue using it.
class NetSocketChannel final : public Pop3Channel {
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
