#include "mail/ServedReplyWait.h"

#include "net/NetSocket.h"
#include "net/ServedWait.h"
#include "net/SocketChannel.h"

namespace kestrel {

WaitResult WaitForReplyServingEvents(SocketChannel& channel, ReplyBuffer& reply,
                                     const Timing& timing) {
    WaitResult result;
    RunServingEvents([&](const std::atomic<int>& stop) {
        result = WaitForReply(channel, reply, &stop, timing);
    });
    return result;
}

void WaitReadableServingEvents(SocketChannel& channel, int timeoutMs) {
    RunServingEvents([&](const std::atomic<int>&) { channel.WaitReadable(timeoutMs); });
}

std::shared_ptr<CNetSocket> ConnectServingEvents(const std::string& host, int port, int readSize) {
    std::shared_ptr<CNetSocket> socket;
    RunServingEvents([&](const std::atomic<int>&) {
        socket = std::make_shared<CNetSocket>(host, port, nullptr, 0, 0, readSize);
    });
    return socket;
}

}  // namespace kestrel
