// A POP3 (or poppassd) server's byte stream, split anyhow on its way: each wait gives one
// reply with its line end, within the reply area.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mail/ReplyBuffer.h"
#include "mail/ReplyWait.h"
#include "platform/Timing.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/StreamChannel.h"

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = std::min<std::size_t>(size, 16);
    StreamChannel channel(input.substr(0, split), input.substr(split));
    Timing timing;
    timing.pollSlices = 3;
    timing.pollSliceMs = 0;
    const std::atomic<int> stop{0};
    ReplyBuffer reply;
    for (std::size_t replies = 0; replies <= size; ++replies) {
        const WaitResult result = WaitForReply(channel, reply, &stop, timing);
        FUZZ_CHECK(reply.Text().size() <= ReplyBuffer::kMaxText);
        if (result.outcome != WaitOutcome::Reply) break;
        FUZZ_CHECK(reply.HasLineEnd());
    }
    return 0;
}
