#include "mail/ReplyWait.h"

#include "mail/ReplyBuffer.h"
#include "net/ReplyPoll.h"
#include "platform/Timing.h"

namespace kestrel {

WaitResult WaitForReply(SocketChannel& channel, ReplyBuffer& reply, const std::atomic<int>* stop,
                        const Timing& timing) {
    reply.Clear();
    // One byte short of the area, so a full read still ends in a zero byte.
    const PollResult poll =
        PollForReply(channel, stop, timing.pollSlices, timing.pollSliceMs, ReplyBuffer::kMaxText,
                     [&reply](const char* data, std::size_t length) {
                         reply.Append(data, length);
                         return reply.HasLineEnd();
                     });
    WaitResult result;
    result.lastRead = poll.lastRead;
    result.lastError = poll.lastError;
    result.outcome = poll.outcome == PollOutcome::Taken     ? WaitOutcome::Reply
                     : poll.outcome == PollOutcome::Stopped ? WaitOutcome::Stopped
                                                            : WaitOutcome::Failed;
    return result;
}

}  // namespace kestrel
