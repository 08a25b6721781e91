#pragma once

#include <atomic>

namespace kestrel {

class SocketChannel;
class ReplyBuffer;
struct Timing;

enum class WaitOutcome { Reply, Failed, Stopped };

struct WaitResult {
    WaitOutcome outcome = WaitOutcome::Failed;
    int lastRead = -1;  // the last read's result
    int lastError = 0;  // the channel's error after it
};

// Wait for one reply line into reply (cleared first): up to timing.pollSlices slices of
// timing.pollSliceMs, each a stop test (when stop is given), a readiness wait and one read,
// so the reply is taken as soon as it arrives and a stop is seen within one slice. The reply
// is complete once it holds "\r\n" after at least one byte; a wait that runs out before that
// has failed.
WaitResult WaitForReply(SocketChannel& channel, ReplyBuffer& reply, const std::atomic<int>* stop,
                        const Timing& timing);

}  // namespace kestrel
