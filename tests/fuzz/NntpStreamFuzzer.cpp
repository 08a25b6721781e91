// An NNTP server's byte stream, split anyhow on its way: the reader hands out one line per
// reply, never more than its area, and never the start of the next reply.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "news/NntpReplyReader.h"
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
    const std::atomic<int> closing{0};
    NntpReplyReader reader;
    for (int replies = 0; replies <= static_cast<int>(size); ++replies) {
        const auto result = reader.Read(channel, closing, timing);
        if (result.outcome != NntpReplyReader::Outcome::Reply) break;
        const std::string_view reply = reader.Text();
        FUZZ_CHECK(!reply.empty() && reply.size() <= NntpReplyReader::kMaxText);
        const std::size_t lineEnd = reply.find('\n');
        FUZZ_CHECK(lineEnd == std::string_view::npos || lineEnd == reply.size() - 1);
    }
    return 0;
}
