#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

namespace kestrel {

class SocketChannel;

enum class PollOutcome { Taken, RanOut, Stopped };

struct PollResult {
    PollOutcome outcome = PollOutcome::RanOut;
    int lastRead = -1;  // the last read's result
    int lastError = 0;  // the channel's error after the last slice, when the wait ran out
};

// The wait for one protocol reply, as every dialogue polls for it: up to slices slices, each a
// stop test (when stop is given), a readiness wait of sliceMs and one read of at most
// chunkSize bytes (1,024 at most). What a read brings goes to take, which answers true once
// the reply is whole; the wait ends there, so a reply is taken as soon as it arrives and a
// stop is seen within one slice.
PollResult PollForReply(SocketChannel& channel, const std::atomic<int>* stop, int slices,
                        int sliceMs, std::size_t chunkSize,
                        const std::function<bool(const char* data, std::size_t length)>& take);

}  // namespace kestrel
