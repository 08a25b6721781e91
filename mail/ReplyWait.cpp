#include "mail/ReplyWait.h"

#include "mail/ReplyBuffer.h"
#include "net/SocketChannel.h"
#include "platform/Timing.h"

namespace kestrel {

WaitResult WaitForReply(SocketChannel& channel, ReplyBuffer& reply, const std::atomic<int>* stop,
                        const Timing& timing) {
    reply.Clear();
    WaitResult result;
    char chunk[ReplyBuffer::kSize];
    for (int slice = 0; slice < timing.pollSlices; ++slice) {
        if (stop && stop->load() != 0) {
            result.outcome = WaitOutcome::Stopped;
            return result;
        }
        channel.WaitReadable(timing.pollSliceMs);
        // One byte short of the area, so a full read still ends in a zero byte.
        result.lastRead = channel.Receive(chunk, static_cast<int>(ReplyBuffer::kMaxText));
        if (result.lastRead > 0) {
            reply.Append(chunk, static_cast<std::size_t>(result.lastRead));
            if (reply.HasLineEnd()) {
                result.outcome = WaitOutcome::Reply;
                return result;
            }
        }
    }
    result.lastError = channel.GetLastError();
    return result;
}

}  // namespace kestrel
