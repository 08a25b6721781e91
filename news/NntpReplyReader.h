#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace kestrel {

class SocketChannel;
struct Timing;

// Reads the server's reply lines off a channel. A reply is one line; it is taken as soon as
// its line end arrives, however the bytes were split on the way. Bytes after the line end
// are kept for the next reply, so a reply never carries the start of another one.
class NntpReplyReader {
public:
    // A reply is kept in an area of this size, zero byte included; the rest of a longer line
    // is read and dropped.
    static constexpr std::size_t kAreaSize = 1024;
    static constexpr std::size_t kMaxText = kAreaSize - 1;

    enum class Outcome { Reply, Nothing, Stopped };
    struct Result {
        Outcome outcome = Outcome::Nothing;
        int lastRead = -1;  // the last read's result
        int lastError = 0;  // the channel's error after it
    };

    // Wait for one reply: up to timing.pollSlices slices of timing.pollSliceMs, each a test
    // of closing, a readiness wait and one read. A wait that runs out after some bytes but
    // before a line end takes those bytes as the reply; one that got nothing is Nothing.
    Result Read(SocketChannel& channel, const std::atomic<int>& closing, const Timing& timing);

    // The latest reply, its line end included when it came (at most kMaxText bytes).
    std::string_view Text() const { return m_reply; }

private:
    // Move one whole line from the pending bytes to the reply.
    bool TakeLine();
    // At the end of the budget: take the line so far as the reply.
    bool TakePartial();

    std::string m_reply;
    std::string m_pending;
    bool m_cut = false;       // the reply holds all it can; its line's rest is dropped
    bool m_skipRest = false;  // the rest of a line already handed out is still to come
};

}  // namespace kestrel
