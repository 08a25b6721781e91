// POP3 replies as a server may send them: the reply area, the meaning of a reply, the
// numbers read from it, and the failure texts that quote it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mail/Pop3Reply.h"
#include "mail/ReplyBuffer.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace kestrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // The reply arrives in pieces whose sizes the first byte chooses.
    ReplyBuffer reply;
    const std::size_t piece = size > 0 ? 1 + data[0] % 64 : 1;
    for (std::size_t at = 0; at < size; at += piece) {
        reply.Append(input.data() + at, std::min(piece, size - at));
        FUZZ_CHECK(reply.Text().size() <= ReplyBuffer::kMaxText);
        FUZZ_CHECK(reply.CStr()[reply.Text().size()] == '\0');
    }
    const std::string_view text = reply.Text();

    (void)pop3::IsPositiveReply(text);
    (void)pop3::ParseMessageTotal(text);
    (void)pop3::ParseLastNumber(text);

    for (const std::size_t area : {pop3::kCheckFailureAreaSize, pop3::kVerifyFailureAreaSize}) {
        const std::string failure =
            pop3::FormatRejection("protocol error\n%s rejected\n%s\n", "alice", text, area);
        FUZZ_CHECK(failure.size() <= area - 1);
        // The quoted reply cannot start a line of its own in the log.
        const std::size_t quoted = failure.find("rejected\n");
        if (quoted != std::string::npos) {
            const std::string_view tail = std::string_view(failure).substr(quoted + 9);
            const std::size_t lineEnd = tail.find_first_of("\r\n");
            FUZZ_CHECK(lineEnd == std::string_view::npos || lineEnd + 3 >= tail.size());
        }
    }

    // A field from outside (a user name) either goes out as one whole line or not at all.
    std::string command;
    if (pop3::BuildCommand("user %s\r\n", input, command) == pop3::CommandFault::None) {
        FUZZ_CHECK(command.size() < pop3::kCommandAreaSize);
        FUZZ_CHECK(command.find_first_of(std::string_view("\r\n\0", 3)) == command.size() - 2);
    }
    return 0;
}
