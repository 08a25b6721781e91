#include "mail/ServedReplyWait.h"

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

}  // namespace kestrel
