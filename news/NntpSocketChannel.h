#pragma once

#include <memory>

#include "news/NntpChannel.h"

namespace kestrel {

class CNetSocket;

// A polling CNetSocket client as an NntpChannel. Holds its own reference, so the socket stays
// alive for as long as the dialogue using it.
class NntpSocketChannel final : public NntpChannel {
public:
    explicit NntpSocketChannel(std::shared_ptr<CNetSocket> socket);
    int Send(const char* data, int length) override;
    int WaitReadable(int timeoutMs) override;
    int Receive(char* buffer, int size) override;
    int GetLastError() override;

private:
    std::shared_ptr<CNetSocket> m_socket;
};

}  // namespace kestrel
