#include "net/ReplyPoll.h"

#include <algorithm>

#include "net/SocketChannel.h"

namespace kestrel {

PollResult PollForReply(SocketChannel& channel, const std::atomic<int>* stop, int slices,
                        int sliceMs, std::size_t chunkSize,
                        const std::function<bool(const char* data, std::size_t length)>& take) {
    PollResult result;
    char chunk[1024];
    const int size = static_cast<int>(std::min(chunkSize, sizeof chunk));
    for (int slice = 0; slice < slices; ++slice) {
        if (stop && stop->load() != 0) {
            result.outcome = PollOutcome::Stopped;
            return result;
        }
        channel.WaitReadable(sliceMs);
        result.lastRead = channel.Receive(chunk, size);
        if (result.lastRead > 0 && take(chunk, static_cast<std::size_t>(result.lastRead))) {
            result.outcome = PollOutcome::Taken;
            return result;
        }
    }
    result.lastError = channel.GetLastError();
    return result;
}

}  // namespace kestrel
