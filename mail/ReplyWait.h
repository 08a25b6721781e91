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

// The same wait for a dialogue that runs on the user-interface thread: the slices are polled
// on a thread of their own while this thread keeps serving its events (RunServingEvents), so
// a slow server does not freeze the windows. Slices, budget and result are those of
// WaitForReply; a quit of the program meanwhile ends the wait as Stopped within one slice.
WaitResult WaitForReplyServingEvents(SocketChannel& channel, ReplyBuffer& reply,
                                     const Timing& timing);

// A pause for a command to go out before the connection closes, ended early by an answer,
// served the same way.
void WaitReadableServingEvents(SocketChannel& channel, int timeoutMs);

}  // namespace kestrel
